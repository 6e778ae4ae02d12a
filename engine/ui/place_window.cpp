#include "engine/ui/place_window.h"

#include "engine/entry/run_state.h"

namespace tarn {
namespace {

// Centred on one quarter, one half or three quarters (step 0, 1, 2) of `extent`, kept
// inside it.
int OnQuarter(int extent, int size, int step) {
  int at = extent * (step + 1) / 4 - size / 2;
  if (at + size > extent) at = extent - size;
  return at < 0 ? 0 : at;
}

}  // namespace

void PlaceWindow(HWND window, int mode, uint16_t code) {
  int W = g_run.backgroundWidth > 0 ? g_run.backgroundWidth : GetSystemMetrics(SM_CXSCREEN);
  int H = g_run.backgroundHeight > 0 ? g_run.backgroundHeight : GetSystemMetrics(SM_CYSCREEN);
  RECT r{};
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x, y;
  uint8_t flags = g_run.header.headerFlags;
  if (mode == 2 || (mode != 0 && (flags & kHeaderPlaceAllDialogs))) {
    int p = flags & kHeaderPositionMask;
    x = OnQuarter(W, w, p % 3);
    y = OnQuarter(H, h, p / 3);
  } else {
    x = (W - w) / 2;
    y = (H - h) / 2;
  }
  int horizontal = code & 0x0F;
  int vertical = (code >> 4) & 0x0F;
  if (horizontal == 1) x = 0;
  if (horizontal >= 2 && horizontal <= 4) x = OnQuarter(W, w, (horizontal - 2) % 3);
  if (horizontal == 5) x = W - w;
  if (vertical == 1) y = 0;
  if (vertical >= 2 && vertical <= 4) y = OnQuarter(H, h, (vertical - 2) % 3);
  // The background area lies below the host window's caption.
  if (vertical == 5) y = GetSystemMetrics(SM_CYCAPTION) + H - h;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

}  // namespace tarn
