#include "engine/ui/screen_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarn {
namespace {

constexpr int64_t kReducedLimit = 2000000;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t StepsOff(int32_t distance, int32_t step) {
  if (distance <= 0 || step <= 0) return 0;
  return (distance + step - 1) / step * step;
}

void Clear(GraphicEntry& e) { std::memset(&e, 0, sizeof e); }

}  // namespace

Progress ComputeProgressFrom(const ProgressCounters& c) {
  int64_t done;
  int64_t total;
  if (c.hostFlags & kProgressByBytes) {
    done = c.bytesDone;
    total = c.totalSize;
  } else if (c.hostFlags & kProgressByPosition) {
    done = c.scriptPosition;
    total = c.bodyLength;
  } else {
    done = static_cast<int64_t>(c.bytesDone) + static_cast<int64_t>(c.archivePosition) -
           static_cast<int64_t>(c.archiveDataBase);
    total = c.totalSize;
  }
  while (done > kReducedLimit) {
    done /= 10;
    total /= 10;
  }
  if (total <= 0) total = 1;
  if (done < 0) done = 0;
  // More done than announced (a total set too low) is complete, not a wrapped byte.
  if (done > total) done = total;
  Progress p;
  p.done = static_cast<int32_t>(done);
  p.total = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  // Rounded to the nearest percent. The remainder is compared in hundredths so that small
  // totals round as large ones do (0 of 1 is 0 %, not 1 %).
  int64_t percent = done * 100 / total;
  int64_t remainder = done * 100 - percent * total;
  if (2 * remainder >= total && percent < 100) ++percent;
  p.percent = static_cast<uint8_t>(percent);
  return p;
}

uint32_t ProgressTenths(const Progress& p) {
  if (p.total <= 0) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(p.done) * 1000 / p.total);
}

uint32_t RemainingWork(uint32_t rate, uint32_t bytes) {
  if (rate == 0) return 0;
  uint64_t d = bytes > 2000000 ? 10 : 1;
  uint64_t figure = (bytes / d * 1000 / rate) * d;
  return static_cast<uint32_t>(std::min<uint64_t>(figure, UINT32_MAX));
}

std::string TrayTipText(const char* title, uint8_t percent) {
  std::string tip = title ? title : "";
  if (percent > 0) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, " - %d%%", percent);
    tip += suffix;
  }
  if (tip.size() > 63) tip.resize(63);
  return tip;
}

int FilledWidth(int width, const Progress& p) {
  if (width <= 0 || p.total <= 0) return 0;
  int64_t filled = static_cast<int64_t>(width) * p.done / p.total;
  return static_cast<int>(std::clamp<int64_t>(filled, 0, width));
}

int EffectOf(uint16_t flags) {
  int effect = (flags & kGraphicEffectMask) >> kGraphicEffectShift;
  return effect <= kEffectFromRight ? effect : kEffectNone;
}

bool Occupied(const GraphicEntry& e) { return e.data != nullptr; }

int DisplayedCount(const GraphicEntry* table) {
  int n = 0;
  while (n < kGraphicSlots && Occupied(table[n])) ++n;
  return n;
}

int RemovalCount(uint16_t flags) {
  if (flags & kGraphicRemoveAll) return kGraphicSlots;
  int count = 0;
  if (flags & kGraphicRemoveOne) count += 1;
  if (flags & kGraphicRemoveTwo) count += 2;
  if (flags & kGraphicRemoveFour) count += 4;
  if (flags & kGraphicRemoveEight) count += 8;
  return count;
}

namespace {
void DropQueue(GraphicEntry* table, int lowest, const GraphicActions& actions) {
  for (int k = kGraphicSlots - 1; k >= lowest && Occupied(table[k]); --k) {
    if (actions.release) actions.release(actions.context, table[k]);
    Clear(table[k]);
  }
}
}  // namespace

void RemoveGraphics(GraphicEntry* table, int count, uint8_t* threshold, const GraphicActions& actions) {
  int shown = DisplayedCount(table);
  for (int i = shown - 1; i >= 0 && count > 0; --i, --count) {
    GraphicEntry& e = table[i];
    bool series = e.series != 0;
    if (actions.invalidate) actions.invalidate(actions.context, e, false);
    if (actions.release) actions.release(actions.context, e);
    Clear(e);
    if (series) {
      DropQueue(table, i + 1, actions);
      *threshold = kNoThreshold;
    }
  }
}

int ChooseSlot(const GraphicEntry* table, uint16_t xWord, uint8_t percent, uint8_t* threshold, bool* queued) {
  int shown = DisplayedCount(table);
  *queued = false;
  bool seriesShown = false;
  for (int i = 0; i < shown; ++i) seriesShown = seriesShown || table[i].series != 0;
  if (seriesShown && (xWord & kBillboardSeries)) {
    int slot = kGraphicSlots - 1;
    while (slot >= shown && Occupied(table[slot])) --slot;
    if (slot < shown) return -1;
    *queued = true;
    *threshold = static_cast<uint8_t>(percent + (100 - percent) / (33 - slot));
    return slot;
  }
  return shown < kGraphicSlots ? shown : -1;
}

void SwitchBillboard(GraphicEntry* table, uint8_t percent, uint8_t* threshold, const GraphicActions& actions) {
  if (percent < *threshold) return;
  *threshold = kNoThreshold;
  GraphicEntry* queue = &table[kGraphicSlots - 1];
  if (!Occupied(*queue)) return;
  // The lowest queued entry bounds the search: only a shown entry may be replaced.
  int lowestQueued = kGraphicSlots - 1;
  while (lowestQueued > 0 && Occupied(table[lowestQueued - 1])) --lowestQueued;
  int i = 0;
  while (i < lowestQueued && Occupied(table[i]) && table[i].series == 0) ++i;
  if (i >= lowestQueued) return;
  if (Occupied(table[i])) {
    if (actions.invalidate) actions.invalidate(actions.context, table[i], false);
    if (actions.release) actions.release(actions.context, table[i]);
  }
  table[i] = *queue;
  if (actions.invalidate) actions.invalidate(actions.context, table[i], true);
  int moved = 0;
  int k = kGraphicSlots - 2;
  for (; k > i && Occupied(table[k]); --k, ++moved) table[k + 1] = table[k];
  Clear(table[k + 1]);
  if (moved > 0) *threshold = static_cast<uint8_t>(percent + (100 - percent) / (moved + 1));
}

bool CoversBackground(const GraphicEntry* table, uint16_t newFlags, bool hostOpaque) {
  auto opaqueTile = [](uint16_t f) { return (f & (kGraphicTile | kGraphicTransparent)) == kGraphicTile; };
  if (hostOpaque || opaqueTile(newFlags)) return true;
  int shown = DisplayedCount(table);
  for (int i = 0; i < shown; ++i) {
    if (opaqueTile(table[i].flags)) return true;
  }
  return false;
}

Placement PlaceGraphic(uint16_t flags, uint16_t xWord, uint16_t yWord, int32_t sourceWidth, int32_t sourceHeight,
                       int32_t bgWidth, int32_t bgHeight) {
  Placement p{sourceWidth, sourceHeight, 0, 0};
  if (flags & kGraphicScale) {
    int64_t factor = std::min<int64_t>(int64_t{bgWidth} * 10000 / 640, int64_t{bgHeight} * 10000 / 480);
    p.width = static_cast<uint16_t>(sourceWidth * factor / 10000);
    p.height = static_cast<uint16_t>(sourceHeight * factor / 10000);
  }
  if (flags & kGraphicCentreX) {
    p.x = (bgWidth - p.width) / 2;
  } else if (xWord & kAlignFarEdge) {
    p.x = bgWidth - p.width;
  } else {
    p.x = static_cast<uint16_t>(int64_t{xWord & kPositionMask} * bgWidth / 640);
  }
  if (flags & kGraphicCentreY) {
    p.y = (bgHeight - p.height) / 2;
  } else if (yWord & kAlignFarEdge) {
    p.y = bgHeight - p.height;
  } else {
    p.y = static_cast<uint16_t>(int64_t{yWord & kPositionMask} * bgHeight / 480);
  }
  return p;
}

Point32 SlideStart(int effect, int32_t x, int32_t y, int32_t width, int32_t height, int32_t bgWidth,
                   int32_t bgHeight, int32_t hstep, int32_t vstep) {
  switch (effect) {
    case kEffectFromTop:
      return {x, y - StepsOff(height + y, vstep)};
    case kEffectFromBottom:
      return {x, y + StepsOff(bgHeight - y, vstep)};
    case kEffectFromLeft:
      return {x - StepsOff(width + x, hstep), y};
    case kEffectFromRight:
      return {x + StepsOff(bgWidth - x, hstep), y};
    default:
      return {x, y};
  }
}

std::vector<uint8_t> GraphicBlockFromBmp(const std::vector<uint8_t>& file) {
  constexpr size_t kFileHeader = 14;
  if (file.size() < kFileHeader + 12 || file[0] != 'B' || file[1] != 'M') return {};
  const uint8_t* info = file.data() + kFileHeader;
  uint32_t headerSize = U32(info);
  bool core = headerSize == 12;
  if (!core && headerSize < 16) return {};
  if (kFileHeader + headerSize > file.size()) return {};
  uint16_t width, height, bitCount;
  uint32_t colours;
  uint32_t entrySize;
  if (core) {
    width = U16(info + 4);
    height = U16(info + 6);
    bitCount = U16(info + 10);
    entrySize = 3;
  } else {
    width = static_cast<uint16_t>(U32(info + 4));
    height = static_cast<uint16_t>(U32(info + 8));
    bitCount = U16(info + 14);
    entrySize = 4;
  }
  uint32_t used = !core && headerSize >= 36 ? U32(info + 32) : 0;
  // Pictures of more than 8 bits per pixel carry no colour table: 1 << 24 entries would
  // put the pixel bits far beyond the data.
  uint32_t tableColours = bitCount <= 8 ? 1u << bitCount : 0;
  colours = used != 0 ? used : tableColours;
  uint64_t bitsOffset = uint64_t{colours} * entrySize + headerSize;
  // A colour-masks field follows a 40-byte header of a bit-field picture.
  if (!core && headerSize == 40 && U32(info + 16) == 3) bitsOffset += 12;
  if (bitsOffset > file.size() - kFileHeader || colours > 0x7FFF) return {};
  std::vector<uint8_t> block(file.size() - 4);
  std::memcpy(block.data() + kGraphicPrefix, info, file.size() - kFileHeader);
  PutU16(block.data(), width);
  PutU16(block.data() + 2, height);
  PutU32(block.data() + 4, static_cast<uint32_t>(bitsOffset));
  PutU16(block.data() + 8, static_cast<uint16_t>(colours));
  return block;
}

BlockInfo ReadBitmapBlock(const uint8_t* block) {
  BlockInfo b;
  b.width = U16(block);
  b.height = U16(block + 2);
  b.bitsOffset = static_cast<int32_t>(U32(block + 4));
  b.colourCount = static_cast<int16_t>(U16(block + 8));
  return b;
}

BlockInfo ReadMetafileBlock(const uint8_t* block, size_t size) {
  BlockInfo b;
  if (size < 4) return b;
  b.width = U16(block + size - 4);
  b.height = U16(block + size - 2);
  return b;
}

}  // namespace tarn
