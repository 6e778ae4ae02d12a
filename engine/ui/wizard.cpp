// The wizard frame: a fixed-size window that keeps the host disabled while it is up,
// hands the focus to its page, asks before closing and shares the background's palette.
#include "engine/ui/wizard.h"

#include "engine/entry/run_state.h"
#include "engine/ui/graphics.h"
#include "engine/ui/progress.h"

extern "C" LRESULT CALLBACK WizardDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace tarn;
  switch (message) {
    case WM_CREATE: {
      LRESULT result = DefWindowProcA(window, message, wParam, lParam);
      EnableWindow(g_run.hostWindow, FALSE);
      return result;
    }
    case WM_SETFOCUS:
      if (g_run.currentDialog != nullptr) SetFocus(g_run.currentDialog);
      return 0;
    case WM_ERASEBKGND:
      // The page covers the frame; erasing first would only flicker.
      if (!g_run.stops.paused) return 1;
      break;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_SIZE:
        case SC_MINIMIZE:
        case SC_MAXIMIZE:
          return 0;
        case SC_CLOSE:
          if (!ConfirmCancel(window)) return 0;
          if (g_run.host != nullptr) g_run.host->cancelState = kCancelUser;
          break;
      }
      break;
    case WM_INITMENUPOPUP: {
      if (!HIWORD(lParam)) return 1;
      HMENU menu = reinterpret_cast<HMENU>(wParam);
      int count = GetMenuItemCount(menu);
      for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(menu, i);
        if (id == SC_RESTORE || id == SC_SIZE || id == SC_MINIMIZE || id == SC_MAXIMIZE) {
          EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_GRAYED);
        }
      }
      return 0;
    }
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
      return HandlePaletteMessage(window, message, wParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
