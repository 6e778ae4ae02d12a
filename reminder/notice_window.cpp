#include "reminder/notice_window.h"

#include "reminder/control_ids.h"

namespace tarn::reminder {
namespace {

constexpr int kLeft = 121, kTop = 305, kWidth = 817, kHeight = 78;
constexpr UINT_PTR kFadeTimer = 1;
constexpr const wchar_t* kText = L"你应该休息一会了!";

}  // namespace

bool NoticeWindow::Create(HINSTANCE instance, HWND owner) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kNoticeClass;
  RegisterClassExW(&wc);

  // The label's font: 96 pixels high, in the official script face; the Chinese character
  // set lets the system pick a face that has the glyphs when that one is missing.
  LOGFONTW lf = {};
  lf.lfHeight = -96;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lstrcpyW(lf.lfFaceName, L"隶书");
  font_ = CreateFontIndirectW(&lf);

  // Click-through (transparent hit-test) and layered for the whole-window opacity.
  window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_LAYERED, kNoticeClass,
                            kNoticeCaption, WS_POPUP, kLeft, kTop, kWidth, kHeight, owner, nullptr,
                            instance, this);
  if (window_ == nullptr) return false;
  SetLayeredWindowAttributes(window_, 0, fade_.alpha, LWA_ALPHA);
  SetTimer(window_, kFadeTimer, kFadeTickMs, nullptr);
  return true;
}

void NoticeWindow::Destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

void NoticeWindow::Show() {
  if (window_ == nullptr) return;
  fade_.Show();
  SetLayeredWindowAttributes(window_, 0, fade_.alpha, LWA_ALPHA);
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// The fade timer runs for the life of the window; a hidden notice keeps its opacity.
void NoticeWindow::Tick() {
  fade_.Tick();
  SetLayeredWindowAttributes(window_, 0, fade_.alpha, LWA_ALPHA);
  if (!fade_.visible && IsWindowVisible(window_)) ShowWindow(window_, SW_HIDE);
}

void NoticeWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client;
  GetClientRect(window_, &client);
  // Drawn off screen in one piece, so the strip never shows half painted.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  FillRect(memory, &client, GetSysColorBrush(COLOR_ACTIVECAPTION));
  HGDIOBJ oldFont = SelectObject(memory, font_);
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, RGB(0, 0, 255));
  RECT label = {0, -10, 817, 80};
  DrawTextW(memory, kText, -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(window_, &ps);
}

LRESULT CALLBACK NoticeWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_TIMER:
      if (self != nullptr && w == kFadeTimer) self->Tick();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole client area
    case WM_PAINT:
      if (self != nullptr) {
        self->Paint();
        return 0;
      }
      break;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace tarn::reminder
