// The reminder's small pictures, drawn in code: the four frames of the animated tray icon
// (a clock whose hand moves a quarter turn per frame), the three menu images and the two
// button glyphs. All are 16 x 16.
#pragma once
#include <windows.h>

namespace tarn::reminder {

constexpr int kTrayFrames = 4;

enum MenuImage { kImageAbout = 0, kImageQuit = 1, kImageSettings = 2 };
enum Glyph { kGlyphApply = 0, kGlyphOk = 1 };

HICON MakeTrayFrame(int index);
// Drawn over `background`, the colour of the menu it goes in.
HBITMAP MakeMenuImage(MenuImage image, COLORREF background);
HICON MakeGlyph(Glyph glyph);

}  // namespace tarn::reminder
