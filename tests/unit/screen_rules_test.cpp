#include "engine/ui/screen_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tarn {
namespace {

Progress Bytes(uint32_t done, uint32_t total) {
  ProgressCounters c;
  c.hostFlags = kProgressByBytes;
  c.bytesDone = done;
  c.totalSize = total;
  return ComputeProgressFrom(c);
}

TEST(Progress, PercentTable) {
  struct Case {
    uint32_t done, total;
    int percent;
  } cases[] = {
      {0, 0, 0},              // no total counts as 1
      {0, 10, 0},             // small totals round like large ones
      {1, 3, 33},
      {2, 3, 67},
      {5, 0, 100},            // more done than announced: complete, not a wrapped byte
      {0, 1000, 0},
      {4, 1000, 0},           // 0.4 %
      {5, 1000, 1},           // exactly half a percent rounds up
      {994, 1000, 99},
      {995, 1000, 100},       // 99.5 % rounds to 100
      {999, 1000, 100},
      {1000, 1000, 100},
      {3000, 1000, 100},      // 300 % would be 44 in a byte
      {370, 1000, 37},
      {4000000000u, 4000000000u, 100},  // large counters are reduced before multiplying
      {1500000000u, 4000000000u, 38},   // 37.5 %
      {2000001, 4000002, 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Bytes(c.done, c.total).percent, c.percent) << c.done << "/" << c.total;
  }
}

TEST(Progress, SourcesOfDoneAndTotal) {
  ProgressCounters c;
  c.bytesDone = 100;
  c.archivePosition = 1300;
  c.archiveDataBase = 1000;
  c.totalSize = 1000;
  c.scriptPosition = 10;
  c.bodyLength = 40;
  EXPECT_EQ(ComputeProgressFrom(c).percent, 40);  // bytes + archive position
  c.hostFlags = kProgressByPosition;
  EXPECT_EQ(ComputeProgressFrom(c).percent, 25);  // script position
  c.hostFlags = kProgressByPosition | kProgressByBytes;
  EXPECT_EQ(ComputeProgressFrom(c).percent, 10);  // bytes win
  c.hostFlags = 0;
  c.bytesDone = 0;
  c.archivePosition = 500;  // before the data start
  Progress p = ComputeProgressFrom(c);
  EXPECT_EQ(p.done, 0);
  EXPECT_EQ(p.percent, 0);
}

TEST(Progress, TenthsBarAndRemainingWork) {
  Progress p = Bytes(2500000, 10000000);  // reduced to 250000 / 1000000
  EXPECT_EQ(p.done, 250000);
  EXPECT_EQ(ProgressTenths(p), 250u);
  EXPECT_EQ(FilledWidth(200, p), 50);
  EXPECT_EQ(FilledWidth(200, Bytes(0, 0)), 0);
  EXPECT_EQ(FilledWidth(200, Bytes(7, 5)), 200);
  EXPECT_EQ(RemainingWork(0, 123456), 0u);
  EXPECT_EQ(RemainingWork(1000, 5000), 5000u);
  EXPECT_EQ(RemainingWork(1000, 3000005), 3000000u);  // tenths for large counts
  EXPECT_EQ(RemainingWork(1, 4000000000u), 0xFFFFFFFFu);  // held at the largest figure, no wrap
}

TEST(Progress, TrayTipText) {
  EXPECT_EQ(TrayTipText("Install Test", 0), "Install Test");
  EXPECT_EQ(TrayTipText("Install Test", 37), "Install Test - 37%");
  std::string longTitle(70, 'x');
  EXPECT_EQ(TrayTipText(longTitle.c_str(), 50).size(), 63u);
}

// A table whose entries point at small markers instead of graphic data.
struct Table {
  GraphicEntry e[kGraphicSlots] = {};
  char marks[kGraphicSlots + 8] = {};
  int nextMark = 0;
  std::vector<int> invalidated;  // marks of invalidated entries (negative: with transition area)
  std::vector<int> released;
  uint8_t threshold = kNoThreshold;

  GraphicActions actions() {
    GraphicActions a;
    a.context = this;
    a.invalidate = [](void* c, const GraphicEntry& g, bool area) {
      auto* t = static_cast<Table*>(c);
      t->invalidated.push_back(area ? -t->Mark(g) : t->Mark(g));
    };
    a.release = [](void* c, GraphicEntry& g) { static_cast<Table*>(c)->released.push_back(static_cast<Table*>(c)->Mark(g)); };
    return a;
  }
  int Mark(const GraphicEntry& g) const { return static_cast<int>(static_cast<char*>(g.data) - marks); }
  // Adds a picture as the display-graphic step does; returns its mark.
  int Add(uint16_t xWord, uint8_t percent) {
    bool queued = false;
    int slot = ChooseSlot(e, xWord, percent, &threshold, &queued);
    if (slot < 0) return -1;
    int mark = ++nextMark;
    e[slot] = GraphicEntry{};
    e[slot].data = &marks[mark];
    e[slot].series = (xWord & kBillboardSeries) ? 1 : 0;
    return mark;
  }
  int Shown(int i) const { return Occupied(e[i]) ? Mark(e[i]) : 0; }
};

TEST(Billboards, SeriesOfThreeStartedAtTenPercent) {
  Table t;
  int plain = t.Add(0, 10);
  int first = t.Add(kBillboardSeries, 10);
  int second = t.Add(kBillboardSeries, 10);
  int third = t.Add(kBillboardSeries, 10);
  EXPECT_EQ(t.Shown(0), plain);
  EXPECT_EQ(t.Shown(1), first);   // shown at once
  EXPECT_EQ(t.Shown(31), second); // queued from the top down
  EXPECT_EQ(t.Shown(30), third);
  EXPECT_EQ(t.threshold, 40);     // 10 + 90 / 3

  SwitchBillboard(t.e, 39, &t.threshold, t.actions());
  EXPECT_EQ(t.Shown(1), first);
  SwitchBillboard(t.e, 40, &t.threshold, t.actions());
  EXPECT_EQ(t.Shown(0), plain);   // a picture outside the series stays
  EXPECT_EQ(t.Shown(1), second);
  EXPECT_EQ(t.Shown(31), third);
  EXPECT_EQ(t.Shown(30), 0);
  EXPECT_EQ(t.threshold, 70);     // 40 + 60 / 2
  EXPECT_EQ(t.released, std::vector<int>{first});
  EXPECT_EQ(t.invalidated, (std::vector<int>{first, -second}));

  SwitchBillboard(t.e, 70, &t.threshold, t.actions());
  EXPECT_EQ(t.Shown(1), third);
  EXPECT_EQ(t.Shown(31), 0);
  EXPECT_EQ(t.threshold, kNoThreshold);
  SwitchBillboard(t.e, 100, &t.threshold, t.actions());
  EXPECT_EQ(t.Shown(1), third);
}

TEST(Billboards, RemovingTheSeriesPictureDropsTheQueue) {
  Table t;
  int plain = t.Add(0, 0);
  t.Add(kBillboardSeries, 0);
  t.Add(kBillboardSeries, 0);
  t.Add(kBillboardSeries, 0);
  RemoveGraphics(t.e, RemovalCount(kGraphicRemoveOne), &t.threshold, t.actions());
  EXPECT_EQ(t.Shown(0), plain);
  EXPECT_EQ(t.Shown(1), 0);
  EXPECT_EQ(t.Shown(30), 0);
  EXPECT_EQ(t.Shown(31), 0);
  EXPECT_EQ(t.released.size(), 3u);
  EXPECT_EQ(t.invalidated.size(), 1u);  // queued pictures were never on screen
  EXPECT_EQ(t.threshold, kNoThreshold);
}

TEST(Billboards, RemovalCountsAndFullTable) {
  EXPECT_EQ(RemovalCount(kGraphicRemoveAll | kGraphicRemoveOne), 32);
  EXPECT_EQ(RemovalCount(kGraphicRemoveOne | kGraphicRemoveTwo | kGraphicRemoveEight), 11);
  EXPECT_EQ(RemovalCount(kGraphicTile), 0);
  Table t;
  for (int i = 0; i < kGraphicSlots; ++i) EXPECT_GT(t.Add(0, 0), 0);
  EXPECT_EQ(t.Add(0, 0), -1);  // full: the step is ignored
  RemoveGraphics(t.e, 2, &t.threshold, t.actions());
  EXPECT_EQ(DisplayedCount(t.e), 30);
  EXPECT_EQ(t.released, (std::vector<int>{32, 31}));  // the most recent first
}

TEST(Graphics, OpaqueTileCoversTheBackground) {
  GraphicEntry table[kGraphicSlots] = {};
  EXPECT_TRUE(CoversBackground(table, kGraphicTile, false));
  EXPECT_FALSE(CoversBackground(table, kGraphicTile | kGraphicTransparent, false));
  EXPECT_FALSE(CoversBackground(table, 0, false));
  EXPECT_TRUE(CoversBackground(table, 0, true));
  char data = 0;
  table[0].data = &data;
  table[0].flags = kGraphicTile;
  EXPECT_TRUE(CoversBackground(table, 0, false));
}

TEST(Graphics, Placement) {
  struct Case {
    uint16_t flags, xWord, yWord;
    Placement expected;
  } cases[] = {
      {0, 320, 240, {100, 50, 400, 300}},                                   // 1/640 and 1/480 units
      {kGraphicCentreX | kGraphicCentreY, 0, 0, {100, 50, 350, 275}},
      {0, kAlignFarEdge, kAlignFarEdge, {100, 50, 700, 550}},               // right and bottom edges
      {kGraphicScale, 0, 0, {125, 62, 0, 0}},                               // factor min(12500, 12500)
      {kGraphicScale, kAlignFarEdge | 5, kAlignFarEdge, {125, 62, 675, 538}},
  };
  for (const Case& c : cases) {
    Placement p = PlaceGraphic(c.flags, c.xWord, c.yWord, 100, 50, 800, 600);
    EXPECT_EQ(p.width, c.expected.width) << c.flags;
    EXPECT_EQ(p.height, c.expected.height) << c.flags;
    EXPECT_EQ(p.x, c.expected.x) << c.flags;
    EXPECT_EQ(p.y, c.expected.y) << c.flags;
  }
}

TEST(Graphics, SlideStartsWholeStepsOffScreen) {
  EXPECT_EQ(SlideStart(kEffectFromTop, 10, 100, 80, 50, 640, 480, 16, 12).y, 100 - 13 * 12);
  EXPECT_EQ(SlideStart(kEffectFromBottom, 10, 100, 80, 50, 640, 480, 16, 12).y, 100 + 32 * 12);
  EXPECT_EQ(SlideStart(kEffectFromLeft, 10, 100, 80, 50, 640, 480, 16, 12).x, 10 - 6 * 16);
  EXPECT_EQ(SlideStart(kEffectFromRight, 10, 100, 80, 50, 640, 480, 16, 12).x, 10 + 40 * 16);
  Point32 none = SlideStart(kEffectDissolve, 10, 100, 80, 50, 640, 480, 16, 12);
  EXPECT_EQ(none.x, 10);
  EXPECT_EQ(none.y, 100);
  EXPECT_EQ(EffectOf(6 << kGraphicEffectShift), kEffectNone);  // codes 6 and 7 are no effect
}

std::vector<uint8_t> Bmp(uint32_t headerSize, uint16_t bits, uint32_t used, size_t pixelBytes) {
  std::vector<uint8_t> f(14 + headerSize, 0);
  f[0] = 'B';
  f[1] = 'M';
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
  put32(14, headerSize);
  if (headerSize == 12) {
    put16(18, 3);
    put16(20, 2);
    put16(24, bits);
  } else {
    put32(18, 0x10003);  // only the low 16 bits count
    put32(22, 2);
    put16(28, bits);
    put32(46, used);
  }
  size_t colours = bits <= 8 ? (used ? used : 1u << bits) : used;
  f.resize(f.size() + colours * (headerSize == 12 ? 3 : 4) + pixelBytes, 0x5A);
  put32(2, static_cast<uint32_t>(f.size()));
  return f;
}

TEST(Graphics, BlocksFromBmpFiles) {
  struct Case {
    uint32_t headerSize;
    uint16_t bits;
    uint32_t used;
    int colours;
    int bitsOffset;
  } cases[] = {
      {40, 8, 0, 256, 40 + 1024},
      {40, 8, 16, 16, 40 + 64},
      {40, 4, 0, 16, 40 + 64},
      {12, 8, 0, 256, 12 + 768},  // core header: 3 bytes per colour
      {40, 24, 0, 0, 40},         // no colour table above 8 bits
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = Bmp(c.headerSize, c.bits, c.used, 32);
    std::vector<uint8_t> block = GraphicBlockFromBmp(file);
    ASSERT_EQ(block.size(), file.size() - 4) << c.bits;
    BlockInfo info = ReadBitmapBlock(block.data());
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.colourCount, c.colours);
    EXPECT_EQ(info.bitsOffset, c.bitsOffset);
    EXPECT_EQ(0, std::memcmp(block.data() + kGraphicPrefix, file.data() + 14, file.size() - 14));
  }
  std::vector<uint8_t> notBitmap = Bmp(40, 8, 0, 32);
  notBitmap[0] = 'X';
  EXPECT_TRUE(GraphicBlockFromBmp(notBitmap).empty());
  EXPECT_TRUE(GraphicBlockFromBmp(std::vector<uint8_t>(20, 'B')).empty());
  std::vector<uint8_t> shortTable = Bmp(40, 8, 0, 0);
  shortTable.resize(14 + 40 + 100);  // the colour table runs past the end
  EXPECT_TRUE(GraphicBlockFromBmp(shortTable).empty());
  std::vector<uint8_t> hugeUsed = Bmp(40, 8, 16, 32);
  std::memcpy(&hugeUsed[46], "\xff\xff\xff\x0f", 4);
  EXPECT_TRUE(GraphicBlockFromBmp(hugeUsed).empty());

  std::vector<uint8_t> metafile = {1, 2, 3, 4, 0x40, 0x01, 0x20, 0x00};
  BlockInfo m = ReadMetafileBlock(metafile.data(), metafile.size());
  EXPECT_EQ(m.width, 320);
  EXPECT_EQ(m.height, 32);
}

}  // namespace
}  // namespace tarn
