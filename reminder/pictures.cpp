#include "reminder/pictures.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tarn::reminder {
namespace {

constexpr int kSize = 16;
constexpr double kPi = 3.14159265358979323846;

// 0xAARRGGBB pixels, top row first; alpha is 0 (transparent) or 255.
struct Canvas {
  uint32_t px[kSize * kSize] = {};

  void Put(int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < kSize && y < kSize) px[y * kSize + x] = colour;
  }
  // Pixels whose centre lies within `r` of (cx, cy).
  void Disc(double cx, double cy, double r, uint32_t colour) {
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) Put(x, y, colour);
  }
  // Pixels whose centre lies within `half` of the segment (x0, y0)-(x1, y1).
  void Line(double x0, double y0, double x1, double y1, double half, uint32_t colour) {
    const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        double t = length2 == 0 ? 0 : ((x + 0.5 - x0) * dx + (y + 0.5 - y0) * dy) / length2;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        if (std::hypot(x + 0.5 - (x0 + t * dx), y + 0.5 - (y0 + t * dy)) <= half) Put(x, y, colour);
      }
  }
};

constexpr uint32_t kNavy = 0xFF1F3F8F, kWhite = 0xFFFFFFFF, kCream = 0xFFFFF6D0,
                   kRed = 0xFFD03030, kBlue = 0xFF2F6FD0, kGreen = 0xFF2F9F3F,
                   kGrey = 0xFF707070, kDark = 0xFF202020;

Canvas ClockFrame(int index) {
  Canvas c;
  c.Disc(8, 8, 7.8, kNavy);
  c.Disc(8, 8, 6.3, kCream);
  for (int h = 0; h < 12; h += 3) {  // marks at 12, 3, 6 and 9
    const double a = h * kPi / 6;
    c.Put(static_cast<int>(8 + 5 * std::sin(a)), static_cast<int>(8 - 5 * std::cos(a)), kNavy);
  }
  const double a = index * kPi / 2;
  c.Line(8, 8, 8 + 5 * std::sin(a), 8 - 5 * std::cos(a), 0.8, kRed);
  c.Line(8, 8, 8 + 3 * std::sin(a + kPi * 2 / 3), 8 - 3 * std::cos(a + kPi * 2 / 3), 0.9, kDark);
  c.Disc(8, 8, 1.2, kDark);
  return c;
}

Canvas MenuCanvas(MenuImage image) {
  Canvas c;
  switch (image) {
    case kImageAbout:  // an "i" in a blue disc
      c.Disc(8, 8, 7.5, kBlue);
      c.Disc(8, 4.5, 1.3, kWhite);
      c.Line(8, 7.5, 8, 12, 1.1, kWhite);
      break;
    case kImageQuit:  // a white cross in a red disc
      c.Disc(8, 8, 7.5, kRed);
      c.Line(5, 5, 11, 11, 1.2, kWhite);
      c.Line(11, 5, 5, 11, 1.2, kWhite);
      break;
    case kImageSettings:  // a grey cog wheel
      for (int i = 0; i < 8; ++i) {
        const double a = i * kPi / 4;
        c.Line(8, 8, 8 + 7 * std::cos(a), 8 + 7 * std::sin(a), 1.3, kGrey);
      }
      c.Disc(8, 8, 5, kGrey);
      c.Disc(8, 8, 2, 0);
      break;
  }
  return c;
}

Canvas GlyphCanvas(Glyph glyph) {
  Canvas c;
  if (glyph == kGlyphApply) {  // a green tick
    c.Line(3, 8, 6.5, 11.5, 1.3, kGreen);
    c.Line(6.5, 11.5, 13, 4, 1.3, kGreen);
  } else {  // a blue arrow down into a tray
    c.Line(8, 2, 8, 10, 1.2, kBlue);
    c.Line(4.5, 6.5, 8, 10, 1.2, kBlue);
    c.Line(11.5, 6.5, 8, 10, 1.2, kBlue);
    c.Line(2, 13.5, 14, 13.5, 1.0, kNavy);
  }
  return c;
}

HBITMAP TopDownDib(HDC dc, uint32_t** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kSize;
  info.bmiHeader.biHeight = -kSize;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return bitmap;
}

HICON ToIcon(const Canvas& c) {
  HDC screen = GetDC(nullptr);
  uint32_t* bits = nullptr;
  HBITMAP colour = TopDownDib(screen, &bits);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  // Monochrome mask, rows padded to 16 bits: 1 where the icon is transparent.
  uint8_t mask[kSize * 2];
  std::memset(mask, 0, sizeof mask);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const uint32_t p = c.px[y * kSize + x];
      bits[y * kSize + x] = (p >> 24) != 0 ? p : 0;
      if ((p >> 24) == 0) mask[y * 2 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  HBITMAP maskBitmap = CreateBitmap(kSize, kSize, 1, 1, mask);
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = maskBitmap;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(maskBitmap);
  return icon;
}

}  // namespace

HICON MakeTrayFrame(int index) { return ToIcon(ClockFrame(index % kTrayFrames)); }

HICON MakeGlyph(Glyph glyph) { return ToIcon(GlyphCanvas(glyph)); }

HBITMAP MakeMenuImage(MenuImage image, COLORREF background) {
  const Canvas c = MenuCanvas(image);
  HDC screen = GetDC(nullptr);
  uint32_t* bits = nullptr;
  HBITMAP bitmap = TopDownDib(screen, &bits);
  ReleaseDC(nullptr, screen);
  if (bitmap == nullptr) return nullptr;
  const uint32_t back = 0xFF000000u | (GetRValue(background) << 16) | (GetGValue(background) << 8) |
                        GetBValue(background);
  for (int i = 0; i < kSize * kSize; ++i) bits[i] = (c.px[i] >> 24) != 0 ? c.px[i] : back;
  return bitmap;
}

}  // namespace tarn::reminder
