// The display-graphic step and the painter of the host's background: bitmaps and
// metafiles placed on the background, billboards that change with the progress, opaque,
// transparent and tiled painting, palettes, and the dissolve and slide transitions.
#include "engine/ui/graphics.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/entry/archive_read.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "engine/script/variables.h"
#include "engine/ui/progress.h"
#include "engine/ui/screen.h"

namespace tarn {

static_assert(sizeof(GraphicEntry) == kGraphicEntrySize, "a graphic entry is 56 bytes");

namespace {

constexpr size_t kRecordFlags = 1;
constexpr size_t kRecordX = 3;
constexpr size_t kRecordY = 5;
constexpr size_t kRecordLanguages = 7;
constexpr size_t kPerLanguage = 12;
constexpr DWORD kMaskRop = 0xAC0744;  // the pattern chooses destination (1) or source (0)
constexpr int kDissolveFrames = 32;
constexpr DWORD kFrameDelayMs = 10;

HostRecord& Host() { return *g_run.host; }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

RECT EntryRect(const GraphicEntry& e) { return RECT{e.x, e.y, e.x + e.width, e.y + e.height}; }

void InvalidateEntry(void*, const GraphicEntry& e, bool transitionArea) {
  if (g_run.hostWindow == nullptr) return;
  if (e.flags & kGraphicTile) {
    InvalidateRect(g_run.hostWindow, nullptr, FALSE);
    return;
  }
  RECT r = EntryRect(e);
  if (transitionArea) {
    switch (EffectOf(e.flags)) {
      case kEffectFromTop: r.top = 0; break;
      case kEffectFromBottom: r.bottom = g_run.backgroundHeight; break;
      case kEffectFromLeft: r.left = 0; break;
      case kEffectFromRight: r.right = g_run.backgroundWidth; break;
      default: break;
    }
  }
  InvalidateRect(g_run.hostWindow, &r, FALSE);
}

void ReleaseEntry(void*, GraphicEntry& e) {
  if (e.metafile != nullptr) DeleteMetaFile(static_cast<HMETAFILE>(e.metafile));
  if (e.memory != nullptr) {
    GlobalUnlock(static_cast<HGLOBAL>(e.memory));
    GlobalFree(static_cast<HGLOBAL>(e.memory));
  }
  e.metafile = nullptr;
  e.memory = nullptr;
  e.data = nullptr;
}

// A global memory block holding `size` bytes, locked; false when there is no memory.
bool AllocateBlock(size_t size, GraphicEntry& e) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  void* data = memory ? GlobalLock(memory) : nullptr;
  if (data == nullptr) {
    if (memory) GlobalFree(memory);
    return false;
  }
  e.memory = memory;
  e.data = data;
  return true;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& content) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE;
  if (ok) {
    content.resize(size);
    DWORD got = 0;
    ok = ReadFile(file, content.data(), size, &got, nullptr) && got == size;
  }
  CloseHandle(file);
  return ok;
}

// The block from a .BMP file named by the record (variables expanded).
bool LoadFromFile(const char* name, GraphicEntry& e, size_t* size) {
  char path[kValueSize];
  ExpandPath(*g_run.variables, path, name);
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, file)) return false;
  std::vector<uint8_t> block = GraphicBlockFromBmp(file);
  if (block.empty() || !AllocateBlock(block.size(), e)) return false;
  std::memcpy(e.data, block.data(), block.size());
  *size = block.size();
  return true;
}

// The block from the archive: `end - start` packed bytes at `start` expand to `size` bytes.
bool LoadFromArchive(int32_t start, int32_t end, int32_t size, GraphicEntry& e) {
  if (end < start || !AllocateBlock(static_cast<size_t>(size), e)) return false;
  HostRecord& host = Host();
  host.archivePosition = g_run.archiveDataBase + static_cast<uint32_t>(start);
  SeekArchive();
  host.readTarget = e.data;
  ReadEntry(static_cast<HANDLE>(host.archiveHandle), nullptr, static_cast<uint32_t>(end - start), nullptr);
  host.readTarget = nullptr;
  if (host.errorState != kErrorNone || host.cancelState != kCancelNone) {
    ReleaseEntry(nullptr, e);
    return false;
  }
  return true;
}

// A bitmap block whose header and colour table lie inside it.
bool BitmapBlockSound(const GraphicEntry& e, size_t size) {
  if (size < kGraphicPrefix + 12 || e.sourceWidth <= 0 || e.sourceHeight <= 0) return false;
  auto* header = reinterpret_cast<const uint8_t*>(e.data) + kGraphicPrefix;
  uint32_t headerSize = static_cast<uint32_t>(I32(header));
  return headerSize >= 12 && e.bitsOffset >= static_cast<int32_t>(headerSize) &&
         static_cast<size_t>(e.bitsOffset) <= size - kGraphicPrefix;
}

// ---- Painting

struct Painter {
  HDC dc;
  HDC work;
  HDC blend;
  int hstep;
  int vstep;
};

bool IsCoreHeader(const GraphicEntry& e) {
  return I32(reinterpret_cast<const uint8_t*>(e.data) + kGraphicPrefix) == 12;
}

uint8_t* ColourTable(const GraphicEntry& e) {
  uint8_t* header = static_cast<uint8_t*>(e.data) + kGraphicPrefix;
  return header + I32(header);
}

const BITMAPINFO* Info(const GraphicEntry& e) {
  return reinterpret_cast<const BITMAPINFO*>(static_cast<uint8_t*>(e.data) + kGraphicPrefix);
}

const void* Bits(const GraphicEntry& e) { return static_cast<uint8_t*>(e.data) + kGraphicPrefix + e.bitsOffset; }

void StretchBits(HDC target, int x, int y, const GraphicEntry& e, DWORD rop) {
  StretchDIBits(target, x, y, e.width, e.height, 0, 0, e.sourceWidth, e.sourceHeight, Bits(e), Info(e),
                DIB_RGB_COLORS, rop);
}

// Transparent painting: pure blue entries of the colour table let the background through.
void PaintTransparent(HDC target, int x, int y, GraphicEntry& e) {
  int entrySize = IsCoreHeader(e) ? 3 : 4;
  int count = e.colourCount;
  uint8_t* table = ColourTable(e);
  std::vector<uint8_t> saved(table, table + count * entrySize);
  auto transparent = [&](int i) {
    const uint8_t* c = &saved[i * entrySize];  // blue, green, red
    return c[0] == 255 && c[1] == 0 && c[2] == 0;
  };
  for (int i = 0; i < count; ++i) std::memset(table + i * entrySize, transparent(i) ? 255 : 0, 3);
  StretchBits(target, x, y, e, SRCAND);
  for (int i = 0; i < count; ++i) {
    if (transparent(i)) {
      std::memset(table + i * entrySize, 0, 3);
    } else {
      std::memcpy(table + i * entrySize, &saved[i * entrySize], 3);
    }
  }
  StretchBits(target, x, y, e, SRCPAINT);
  std::memcpy(table, saved.data(), saved.size());
}

// The travel area of a sliding picture, in background coordinates.
RECT StripArea(const GraphicEntry& e, int effect) {
  switch (effect) {
    case kEffectFromTop: return RECT{e.x, 0, e.x + e.width, e.y + e.height};
    case kEffectFromBottom: return RECT{e.x, e.y, e.x + e.width, g_run.backgroundHeight};
    case kEffectFromLeft: return RECT{0, e.y, e.x + e.width, e.y + e.height};
    case kEffectFromRight: return RECT{e.x, e.y, g_run.backgroundWidth, e.y + e.height};
    default: return RECT{};
  }
}

void PaintEntry(Painter& p, GraphicEntry& e) {
  bool metafile = (e.flags & kGraphicMetafile) != 0;
  if (!metafile) {
    const BITMAPINFOHEADER* header = &Info(e)->bmiHeader;
    SelectBitmapPalette(p.work, header, reinterpret_cast<HPALETTE*>(&Host().hostPalette));
    SelectBitmapPalette(p.blend, header, &g_run.blendPalette);
    SelectBitmapPalette(p.dc, header, &g_run.targetPalette);
    SetStretchBltMode(p.work, COLORONCOLOR);
    SetStretchBltMode(p.blend, COLORONCOLOR);
  }
  bool tile = (e.flags & kGraphicTile) != 0;
  int effect = tile ? kEffectNone : EffectOf(e.flags);
  bool sliding = effect >= kEffectFromTop;
  bool vertical = effect == kEffectFromTop || effect == kEffectFromBottom;

  // The background the picture travels over, and the trailing margin that repaints it.
  HDC strip = nullptr;
  HBITMAP stripBitmap = nullptr;
  HGDIOBJ stripOld = nullptr;
  RECT area = StripArea(e, effect);
  int marginX = 0, marginY = 0, offsetX = 0, offsetY = 0;
  int x = e.x, y = e.y;
  if (sliding) {
    strip = CreateCompatibleDC(p.dc);
    stripBitmap = CreateCompatibleBitmap(p.dc, area.right - area.left, area.bottom - area.top);
    stripOld = SelectObject(strip, stripBitmap);
    BitBlt(strip, 0, 0, area.right - area.left, area.bottom - area.top, p.dc, area.left, area.top, SRCCOPY);
    Point32 start = SlideStart(effect, e.x, e.y, e.width, e.height, g_run.backgroundWidth, g_run.backgroundHeight,
                               p.hstep, p.vstep);
    x = start.x;
    y = start.y;
    if (vertical) marginY = 2 * p.vstep; else marginX = 2 * p.hstep;
    if (effect == kEffectFromTop) offsetY = marginY;
    if (effect == kEffectFromLeft) offsetX = marginX;
  }
  if (tile) x = y = 0;

  int frames = 0;
  for (;;) {
    int w = e.width + marginX, h = e.height + marginY;
    int imageX = x - offsetX, imageY = y - offsetY;
    HBITMAP image = CreateCompatibleBitmap(p.dc, w, h);
    HGDIOBJ oldImage = SelectObject(p.work, image);
    HBITMAP blendImage = nullptr;
    HGDIOBJ oldBlend = nullptr;
    if (effect == kEffectDissolve) {
      blendImage = CreateCompatibleBitmap(p.dc, w, h);
      oldBlend = SelectObject(p.blend, blendImage);
      BitBlt(p.blend, 0, 0, w, h, p.dc, imageX, imageY, SRCCOPY);
    }
    // The background under the image: from the strip while sliding, else from the screen.
    bool transparent = (e.flags & kGraphicTransparent) != 0;
    if (strip != nullptr) {
      BitBlt(p.work, 0, 0, w, h, strip, imageX - area.left, imageY - area.top, SRCCOPY);
    } else if (metafile || transparent) {
      BitBlt(p.work, 0, 0, w, h, p.dc, imageX, imageY, SRCCOPY);
    }
    if (metafile) {
      int oldMode = SetMapMode(p.work, MM_ANISOTROPIC);
      SIZE oldExtent;
      POINT oldOrigin;
      SetViewportExtEx(p.work, e.width * 50 / e.sourceWidth, e.height * 50 / e.sourceHeight, &oldExtent);
      SetViewportOrgEx(p.work, offsetX, offsetY, &oldOrigin);
      PlayMetaFile(p.work, static_cast<HMETAFILE>(e.metafile));
      SetViewportExtEx(p.work, oldExtent.cx, oldExtent.cy, nullptr);
      SetViewportOrgEx(p.work, oldOrigin.x, oldOrigin.y, nullptr);
      SetMapMode(p.work, oldMode);
    } else if (transparent) {
      PaintTransparent(p.work, offsetX, offsetY, e);
    } else {
      StretchBits(p.work, offsetX, offsetY, e, SRCCOPY);
    }

    if (effect == kEffectDissolve) {
      uint8_t mask[8];
      std::memset(mask, 0xFF, sizeof mask);
      for (int frame = 0; frame < kDissolveFrames; ++frame) {
        for (int cleared = 0; cleared < 2;) {
          int value = std::rand() % 64;
          uint8_t bit = static_cast<uint8_t>(0x80 >> (value % 8));
          if (mask[value / 8] & bit) {
            mask[value / 8] &= static_cast<uint8_t>(~bit);
            ++cleared;
          }
        }
        WORD rows[8];
        for (int r = 0; r < 8; ++r) rows[r] = static_cast<WORD>(mask[r] | (mask[r] << 8));
        HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
        HBRUSH brush = CreatePatternBrush(pattern);
        HGDIOBJ oldBrush = SelectObject(p.blend, brush);
        BitBlt(p.blend, 0, 0, w, h, p.work, 0, 0, kMaskRop);
        BitBlt(p.dc, imageX, imageY, w, h, p.blend, 0, 0, SRCCOPY);
        SelectObject(p.blend, oldBrush);
        DeleteObject(brush);
        DeleteObject(pattern);
        ++frames;
        GdiFlush();
        Sleep(kFrameDelayMs);
      }
    } else {
      BitBlt(p.dc, imageX, imageY, w, h, p.work, 0, 0, SRCCOPY);
      ++frames;
    }
    SelectObject(p.work, oldImage);
    DeleteObject(image);
    if (blendImage != nullptr) {
      SelectObject(p.blend, oldBlend);
      DeleteObject(blendImage);
    }

    if (tile) {
      x += e.sourceWidth;
      if (x >= g_run.backgroundWidth) {
        x = 0;
        y += e.sourceHeight;
      }
      if (y >= g_run.backgroundHeight) break;
      continue;
    }
    if (!sliding || (x == e.x && y == e.y)) break;
    GdiFlush();
    Sleep(kFrameDelayMs);
    if (y != e.y) {
      y += y < e.y ? p.vstep : -p.vstep;
    } else {
      x += x < e.x ? p.hstep : -p.hstep;
    }
  }
  if (strip != nullptr) {
    SelectObject(strip, stripOld);
    DeleteObject(stripBitmap);
    DeleteDC(strip);
  }
  if (EffectOf(e.flags) != kEffectNone) g_run.transitionFrames = frames;
  e.flags &= 0xFC7F;
}

}  // namespace

GraphicEntry* GraphicTable() { return reinterpret_cast<GraphicEntry*>(g_run.graphicTable); }

GraphicActions ScreenGraphicActions() {
  GraphicActions a;
  a.invalidate = &InvalidateEntry;
  a.release = &ReleaseEntry;
  return a;
}

void FreeGraphics() {
  GraphicEntry* table = GraphicTable();
  for (int i = 0; i < kGraphicSlots; ++i) {
    if (Occupied(table[i])) ReleaseEntry(nullptr, table[i]);
    std::memset(&table[i], 0, sizeof table[i]);
  }
  for (HPALETTE* slot : {&g_run.blendPalette, &g_run.targetPalette}) {
    if (*slot != nullptr) DeleteObject(*slot);
    *slot = nullptr;
  }
}

void SelectBitmapPalette(HDC dc, const BITMAPINFOHEADER* header, HPALETTE* slot) {
  if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biBitCount != 8) return;
  int count = header->biClrUsed != 0 ? static_cast<int>(header->biClrUsed) : 256;
  if (count > 256) count = 256;
  const auto* colours = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(header) + header->biSize);
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
  } logical{0x300, static_cast<WORD>(count), {}};
  for (int i = 0; i < count; ++i) {
    logical.entries[i] = PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
  }
  HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
  if (palette == nullptr) return;
  SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);
  if (*slot != nullptr) DeleteObject(*slot);
  *slot = palette;
}

LRESULT HandlePaletteMessage(HWND window, UINT message, WPARAM wParam) {
  if (message == WM_PALETTECHANGED && reinterpret_cast<HWND>(wParam) == window) return 0;
  HPALETTE palette = g_run.dialogPicturePalette;
  if (palette == nullptr && g_run.host != nullptr) palette = static_cast<HPALETTE>(Host().hostPalette);
  if (palette == nullptr && g_run.host != nullptr) palette = static_cast<HPALETTE>(Host().backgroundPalette);
  if (palette == nullptr) return 0;
  HDC dc = GetDC(window);
  HPALETTE old = SelectPalette(dc, palette, FALSE);
  UINT changed = RealizePalette(dc);
  if (changed != GDI_ERROR && changed > 0) {
    InvalidateRect(g_run.hostWindow, nullptr, TRUE);
    if (g_run.currentDialog != nullptr) InvalidateRect(g_run.currentDialog, nullptr, TRUE);
  }
  SelectPalette(dc, old, TRUE);
  RealizePalette(dc);
  ReleaseDC(window, dc);
  return changed == GDI_ERROR ? 0 : static_cast<LRESULT>(changed);
}

int DisplayGraphicStep(const uint8_t* record) {
  uint16_t flags = U16(record + kRecordFlags);
  uint16_t xWord = U16(record + kRecordX);
  uint16_t yWord = U16(record + kRecordY);
  HostRecord& host = Host();
  GraphicEntry* table = GraphicTable();
  GraphicActions actions = ScreenGraphicActions();

  if (flags & kGraphicCloseProgress) CloseProgressWindow();
  bool removing = (flags & kGraphicRemoveMask) != 0;
  if (removing) RemoveGraphics(table, RemovalCount(flags), &g_run.billboardThreshold, actions);
  // Bit 0 follows the table: it is set only while an opaque tile really covers the background.
  bool covered = CoversBackground(table, flags, (g_run.hostFlags & kHostOpaqueBackground) != 0);
  host.screenState = static_cast<uint8_t>((host.screenState & kScreenPending) | (covered ? kScreenCovered : 0));

  bool queued = false;
  int slot = ChooseSlot(table, xWord, g_run.progressPercent, &g_run.billboardThreshold, &queued);
  if (slot < 0) return 0;

  const uint8_t* language = record + kRecordLanguages + kPerLanguage * static_cast<size_t>(g_run.languageIndex);
  int32_t start = I32(language), end = I32(language + 4), size = I32(language + 8);
  if (size <= 0 && !(flags & kGraphicFromFile)) return 0;

  GraphicEntry e{};
  e.flags = flags;
  size_t blockSize = static_cast<size_t>(size > 0 ? size : 0);
  const char* fileName = reinterpret_cast<const char*>(record + kRecordLanguages +
                                                       kPerLanguage * static_cast<size_t>(g_run.header.languageCount));
  bool loaded = (flags & kGraphicFromFile) ? LoadFromFile(fileName, e, &blockSize)
                                           : LoadFromArchive(start, end, size, e);
  if (!loaded) return 0;
  const auto* block = static_cast<const uint8_t*>(e.data);
  bool metafile = (flags & kGraphicMetafile) != 0;
  if (metafile) {
    BlockInfo info = ReadMetafileBlock(block, blockSize);
    e.sourceWidth = info.width;
    e.sourceHeight = info.height;
  } else if (blockSize >= kGraphicPrefix) {
    BlockInfo info = ReadBitmapBlock(block);
    e.sourceWidth = info.width;
    e.sourceHeight = info.height;
    e.bitsOffset = info.bitsOffset;
    e.colourCount = info.colourCount;
  }
  // A block whose sizes point outside it is not painted (it would be read past its end).
  if (metafile ? (blockSize <= 4 || e.sourceWidth <= 0 || e.sourceHeight <= 0) : !BitmapBlockSound(e, blockSize)) {
    ReleaseEntry(nullptr, e);
    return 0;
  }
  e.series = (xWord & kBillboardSeries) ? 1 : 0;
  Placement place = PlaceGraphic(flags, xWord, yWord, e.sourceWidth, e.sourceHeight, g_run.backgroundWidth,
                                 g_run.backgroundHeight);
  e.width = place.width;
  e.height = place.height;
  e.x = place.x;
  e.y = place.y;
  if (metafile) {
    e.metafile = SetMetaFileBitsEx(static_cast<UINT>(blockSize - 4), block);
    if (e.metafile == nullptr) {
      ReleaseEntry(nullptr, e);
      return 0;
    }
  }
  table[slot] = e;
  if (!queued) {
    if (!removing) {
      table[slot].pending = 1;
      host.screenState |= kScreenPending;
    }
    InvalidateEntry(nullptr, table[slot], true);
  }
  return 0;
}

}  // namespace tarn

extern "C" void __stdcall DisplayGraphics(uint32_t, HDC dc) {
  using namespace tarn;
  if (g_run.host == nullptr || dc == nullptr) return;
  int bytes = (GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL) + 7) / 8 + 1;
  Painter p{dc, CreateCompatibleDC(dc), CreateCompatibleDC(dc), 8 * bytes, 6 * bytes};
  bool onlyPending = (g_run.host->screenState & kScreenPending) != 0;
  GraphicEntry* table = GraphicTable();
  int shown = DisplayedCount(table);
  for (int i = 0; i < shown; ++i) {
    if (!table[i].pending && onlyPending) continue;
    PaintEntry(p, table[i]);
    table[i].pending = 0;
  }
  DeleteDC(p.work);
  DeleteDC(p.blend);
  g_run.host->screenState &= static_cast<uint8_t>(~kScreenPending);
}
