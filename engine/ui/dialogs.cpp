#include "engine/ui/dialogs.h"

#include "engine/entry/run_state.h"
#include "engine/script/text.h"

namespace tarn {
namespace {

// left + left / 6, right + right / 6: the dialog templates were laid out for a narrower font.
void Widen(RECT& r) {
  r.left += r.left / 6;
  r.right += r.right / 6;
}

HFONT MakeLightFont(HWND dialog) {
  LOGFONTA font{};
  HFONT current = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (current == nullptr || GetObjectA(current, sizeof font, &font) == 0) {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  font.lfWeight = FW_LIGHT;
  font.lfCharSet = g_run.header.dialogUnitsMode;
  if (g_run.header.dialogUnitsMode != 0) {
    HDC dc = GetDC(dialog);
    font.lfHeight = -MulDiv(g_run.header.dialogFontSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(dialog, dc);
    CopyText(font.lfFaceName, sizeof font.lfFaceName, g_run.dialogFontName);
  }
  return CreateFontIndirectA(&font);
}

struct ChildVisit {
  HWND dialog;
  HFONT font;
};

BOOL CALLBACK PrepareChild(HWND child, LPARAM lParam) {
  const ChildVisit& visit = *reinterpret_cast<ChildVisit*>(lParam);
  if (GetParent(child) == visit.dialog) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, visit.dialog, reinterpret_cast<POINT*>(&r), 2);
    Widen(r);
    MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  if (visit.font != nullptr) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(visit.font), FALSE);
  return TRUE;
}

}  // namespace

void PrepareDialog(HWND dialog, HFONT* slot) {
  RECT r{};
  GetWindowRect(dialog, &r);
  Widen(r);
  MoveWindow(dialog, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  HFONT font = nullptr;
  if (g_run.platform.lightDialogLook) {
    if (slot == nullptr) slot = &g_run.sharedDialogFont;
    if (*slot == nullptr) *slot = MakeLightFont(dialog);
    font = *slot;
  }
  // Children are widened in every look; the light font only goes with the light look.
  ChildVisit visit{dialog, font};
  EnumChildWindows(dialog, &PrepareChild, reinterpret_cast<LPARAM>(&visit));
}

}  // namespace tarn
