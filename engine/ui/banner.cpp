#include "engine/ui/banner.h"

#include "engine/entry/run_state.h"
#include "engine/ui/dialogs.h"
#include "engine/ui/place_window.h"
#include "engine/ui/resources/resource.h"

namespace {
constexpr int kIconHost = 108;
}

extern "C" INT_PTR CALLBACK BannerDlg(HWND dialog, UINT message, WPARAM, LPARAM) {
  using namespace tarn;
  switch (message) {
    case WM_INITDIALOG:
      PrepareDialog(dialog, nullptr);
      PlaceWindow(dialog, 1, 0);
      return TRUE;
    case WM_PAINT: {
      // The host's icon beside the text, as far from the corner as the text is from the top.
      HICON icon = LoadIconA(g_run.hostInstance, MAKEINTRESOURCEA(kIconHost));
      if (icon == nullptr) return FALSE;
      RECT text{};
      GetWindowRect(GetDlgItem(dialog, IDC_MESSAGE_TEXT), &text);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&text), 2);
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      DrawIcon(dc, text.top, text.top, icon);
      EndPaint(dialog, &paint);
      DestroyIcon(icon);
      return TRUE;
    }
    default:
      return FALSE;
  }
}
