// The arithmetic of the screen during a run, without Windows: the progress percentage,
// the graphic table with its billboard queue, graphic data blocks made from .BMP files,
// the placement of pictures and the start of sliding transitions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

// ---- Progress

// hostFlags bits that choose what progress is measured by.
constexpr uint32_t kProgressByPosition = 0x40;
constexpr uint32_t kProgressByBytes = 0x10000;

struct ProgressCounters {
  uint32_t hostFlags = 0;
  uint32_t bytesDone = 0;
  uint32_t archivePosition = 0;
  uint32_t archiveDataBase = 0;
  uint32_t totalSize = 0;       // of the script header (or TARNPROGMAXBAR)
  uint32_t scriptPosition = 0;  // current record, from the start of the script body
  uint32_t bodyLength = 0;      // script length less the header and message tables
};

struct Progress {
  int32_t done = 0;
  int32_t total = 1;
  uint8_t percent = 0;  // 0..100
};

// Picks done and total, reduces them by tenths until done fits 2,000,000, and rounds the
// percentage to the nearest whole one. A done beyond total counts as complete.
Progress ComputeProgressFrom(const ProgressCounters& c);

// Progress in tenths of a percent (0..1000), as the progress plug-in receives it.
uint32_t ProgressTenths(const Progress& p);

// The remaining-work figure for the progress plug-in: 0 while `rate` is 0.
uint32_t RemainingWork(uint32_t rate, uint32_t bytes);

// The notification tip: the title, with " - N%" when above 0 %, cut to 63 characters.
std::string TrayTipText(const char* title, uint8_t percent);

// Pixels of a bar `width` wide that are filled at done / total (never beyond the bar).
int FilledWidth(int width, const Progress& p);

// ---- Graphic table

constexpr int kGraphicSlots = 32;
constexpr uint8_t kNoThreshold = 255;

// Flags word of the display-graphic record.
constexpr uint16_t kGraphicRemoveAll = 0x0001;
constexpr uint16_t kGraphicTransparent = 0x0002;
constexpr uint16_t kGraphicRemoveOne = 0x0004;
constexpr uint16_t kGraphicCentreX = 0x0008;
constexpr uint16_t kGraphicCentreY = 0x0010;
constexpr uint16_t kGraphicScale = 0x0020;
constexpr uint16_t kGraphicTile = 0x0040;
constexpr uint16_t kGraphicEffectMask = 0x0380;
constexpr int kGraphicEffectShift = 7;
constexpr uint16_t kGraphicMetafile = 0x0400;
constexpr uint16_t kGraphicRemoveTwo = 0x0800;
constexpr uint16_t kGraphicRemoveFour = 0x1000;
constexpr uint16_t kGraphicRemoveEight = 0x2000;
constexpr uint16_t kGraphicCloseProgress = 0x4000;
constexpr uint16_t kGraphicFromFile = 0x8000;
constexpr uint16_t kGraphicRemoveMask =
    kGraphicRemoveAll | kGraphicRemoveOne | kGraphicRemoveTwo | kGraphicRemoveFour | kGraphicRemoveEight;

// x and y words of the record.
constexpr uint16_t kPositionMask = 0x3FFF;
constexpr uint16_t kAlignFarEdge = 0x4000;
constexpr uint16_t kBillboardSeries = 0x8000;

enum Effect { kEffectNone = 0, kEffectDissolve = 1, kEffectFromTop = 2, kEffectFromBottom = 3, kEffectFromLeft = 4,
              kEffectFromRight = 5 };

// screenState bits owned by the screen painting.
constexpr uint8_t kScreenCovered = 0x01;
constexpr uint8_t kScreenPending = 0x02;

// One entry of the graphic table. On the 32-bit engine this is the 56-byte entry of the
// run state's table; handles are kept as plain pointers.
struct GraphicEntry {
  void* data;           // graphic data block; null = free
  int32_t sourceWidth;
  int32_t sourceHeight;
  int32_t colourCount;
  int32_t width;
  int32_t height;
  int32_t bitsOffset;   // from the bitmap header to the pixel bits
  int32_t x;
  int32_t y;
  uint16_t flags;       // transition bits cleared after the first painting
  int32_t series;       // 1 = part of a billboard series
  int32_t pending;      // 1 = painted when only pending graphics are painted
  void* memory;         // global memory handle of the data block
  void* metafile;       // metafile handle of a metafile entry
};

int EffectOf(uint16_t flags);
bool Occupied(const GraphicEntry& e);

// What the table asks of the screen: repaint a rectangle, release an entry's data.
struct GraphicActions {
  void* context = nullptr;
  // Invalidate the entry's area; `transitionArea` stretches it to the edge it slides in from.
  void (*invalidate)(void* context, const GraphicEntry& e, bool transitionArea) = nullptr;
  void (*release)(void* context, GraphicEntry& e) = nullptr;
};

// Number of displayed entries: the first free entry from the start.
int DisplayedCount(const GraphicEntry* table);

// How many of the most recent graphics a flags word removes (32 = all).
int RemovalCount(uint16_t flags);

// Removes up to `count` displayed entries, the most recent first. A removed series
// picture drops every queued billboard as well and clears the threshold.
void RemoveGraphics(GraphicEntry* table, int count, uint8_t* threshold, const GraphicActions& actions);

// The slot a new graphic takes: the next displayed one, or, for a billboard while a
// series is shown, the next queued one from the top (with the new threshold). -1 = full.
int ChooseSlot(const GraphicEntry* table, uint16_t xWord, uint8_t percent, uint8_t* threshold, bool* queued);

// The billboard switch of a new percentage: the oldest queued billboard replaces the
// shown series picture once the threshold is reached, and the next threshold shares the
// rest of the progress among those still queued.
void SwitchBillboard(GraphicEntry* table, uint8_t percent, uint8_t* threshold, const GraphicActions& actions);

// screenState bit 0: some displayed entry (or the new flags) is an opaque tile.
bool CoversBackground(const GraphicEntry* table, uint16_t newFlags, bool hostOpaque);

// Size and position of a picture on a background of `bgWidth` x `bgHeight`.
struct Placement {
  int32_t width, height, x, y;
};
Placement PlaceGraphic(uint16_t flags, uint16_t xWord, uint16_t yWord, int32_t sourceWidth, int32_t sourceHeight,
                       int32_t bgWidth, int32_t bgHeight);

// Where a sliding picture starts: whole steps off the screen on the edge it comes from.
struct Point32 {
  int32_t x, y;
};
Point32 SlideStart(int effect, int32_t x, int32_t y, int32_t width, int32_t height, int32_t bgWidth,
                   int32_t bgHeight, int32_t hstep, int32_t vstep);

// ---- Graphic data blocks

// The 10-byte prefix of a graphic data block.
constexpr size_t kGraphicPrefix = 10;

// Turns the bytes of a .BMP file into a graphic data block; empty when the file is short
// or not a bitmap.
std::vector<uint8_t> GraphicBlockFromBmp(const std::vector<uint8_t>& file);

struct BlockInfo {
  int32_t width = 0, height = 0, bitsOffset = 0, colourCount = 0;
};
// Reads the prefix of a bitmap block (`size` >= 10), or the trailing size of a metafile.
BlockInfo ReadBitmapBlock(const uint8_t* block);
BlockInfo ReadMetafileBlock(const uint8_t* block, size_t size);

}  // namespace tarn
