#include "reminder/main_window.h"

#include <commdlg.h>
#include <mmsystem.h>

#include "reminder/control_ids.h"
#include "reminder/reminder_text.h"

namespace tarn::reminder {
namespace {

constexpr int kClientWidth = 376, kClientHeight = 113;
constexpr int kLeft = 306, kTop = 242;
constexpr UINT_PTR kReminderTimer = 1, kAnimationTimer = 2;
constexpr UINT kAnimationMs = 1000;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_TOPMOST;

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring DecimalSeparator() {
  wchar_t buffer[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, ARRAYSIZE(buffer)) == 0) return L".";
  return buffer;
}

const wchar_t kAboutText[] =
    L"\x3000\x3000所有每天在电脑前工作起过八小时的朋友们为了\r\n"
    L"您自己和家人的幸福，请注意您的身体健康！\r\n"
    L"\r\n"
    L"                      \r\n"
    L"\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000"
    L"Lumo软件\r\n"
    L"\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000\x3000"
    L"2022\xFF0D" L"08\xFF0D" L"23";

}  // namespace

bool MainWindow::Create(HINSTANCE instance) {
  instance_ = instance;
  for (int i = 0; i < kTrayFrames; ++i) trayFrames_[i] = MakeTrayFrame(i);

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.hIcon = trayFrames_[3];
  wc.hIconSm = trayFrames_[3];
  wc.lpszClassName = kMainClass;
  if (RegisterClassExW(&wc) == 0) return false;

  RECT r = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  window_ = CreateWindowExW(kExStyle, kMainClass, kMainCaption, kStyle, kLeft, kTop, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return false;
  return notice_.Create(instance, window_);
}

std::wstring MainWindow::Text(int id) const {
  HWND control = Control(id);
  std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
  text.resize(GetWindowTextW(control, text.data(), static_cast<int>(text.size())));
  return text;
}

void MainWindow::CreateControls() {
  LOGFONTW lf = {};
  lf.lfHeight = -11;
  // The texts are Chinese: asking for the Chinese character set lets the system replace a
  // face that lacks the glyphs.
  lf.lfCharSet = GB2312_CHARSET;
  lstrcpyW(lf.lfFaceName, L"MS Sans Serif");
  windowFont_ = CreateFontIndirectW(&lf);
  lf.lfHeight = -12;
  lstrcpyW(lf.lfFaceName, L"宋体");
  songFont_ = CreateFontIndirectW(&lf);

  struct ControlLayout {
    int id;
    const wchar_t* kind;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;  // a width of 0 fits the text
    bool song;
  };
  const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  const DWORD edit = child | WS_TABSTOP | ES_AUTOHSCROLL;
  const ControlLayout layouts[] = {
      {kGroupBox1, L"BUTTON", L"", BS_GROUPBOX, 0, 0, 0, kClientWidth, 89, false},
      {kLabel1, L"STATIC", L"时间间隔:", SS_LEFT | SS_NOPREFIX, 0, 20, 27, 0, 13, true},
      {kEdit1, L"EDIT", L"1200", edit, WS_EX_CLIENTEDGE, 78, 23, 41, 21, false},
      {kLabel3, L"STATIC", L"秒", SS_LEFT | SS_NOPREFIX, 0, 125, 27, 0, 13, false},
      {kLabel2, L"STATIC", L"提示信息:", SS_LEFT | SS_NOPREFIX, 0, 148, 27, 0, 13, true},
      {kEdit2, L"EDIT", L"您太累了,该歇歇了!", edit, WS_EX_CLIENTEDGE, 202, 23, 123, 21, false},
      {kCheckBox1, L"BUTTON", L"声音提示", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 56, 0, 17, true},
      {kEdit3, L"EDIT", L"nudge.wav", edit, WS_EX_CLIENTEDGE, 88, 53, 173, 21, false},
      {kButton1, L"BUTTON", L"选择文件", BS_PUSHBUTTON | WS_TABSTOP, 0, 264, 52, 61, 23, true},
      {kApplyButton, L"BUTTON", L"应用", BS_OWNERDRAW | WS_TABSTOP, 0, 96, 92, 75, 21, false},
      {kOkButton, L"BUTTON", L"确定", BS_OWNERDRAW | WS_TABSTOP, 0, 176, 92, 75, 21, false},
  };
  HDC dc = GetDC(window_);
  for (const ControlLayout& s : layouts) {
    HFONT font = s.song ? songFont_ : windowFont_;
    int width = s.width;
    if (width == 0) {  // labels and the check box take the width of their text
      HGDIOBJ old = SelectObject(dc, font);
      SIZE size = {};
      GetTextExtentPoint32W(dc, s.text, lstrlenW(s.text), &size);
      SelectObject(dc, old);
      width = size.cx + (s.id == kCheckBox1 ? 20 : 1);
    }
    HWND control = CreateWindowExW(s.exStyle, s.kind, s.text, child | s.style, s.x, s.y, width, s.height,
                                   window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), instance_,
                                   nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ReleaseDC(window_, dc);
  // The group box only draws its frame; below every other control it hides none of them.
  SetWindowPos(Control(kGroupBox1), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(Control(kCheckBox1), BM_SETCHECK, BST_CHECKED, 0);
  glyphs_[kGlyphApply] = MakeGlyph(kGlyphApply);
  glyphs_[kGlyphOk] = MakeGlyph(kGlyphOk);
}

void MainWindow::CreateTrayMenu() {
  trayMenu_ = CreatePopupMenu();
  AppendMenuW(trayMenu_, MF_STRING, kMenuSettings, L"设置(&S)");
  AppendMenuW(trayMenu_, MF_STRING, kMenuAbout, L"关于(&A)");
  AppendMenuW(trayMenu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(trayMenu_, MF_STRING, kMenuQuit, L"退出(&Q)");
  const COLORREF back = GetSysColor(COLOR_MENU);
  for (int i = 0; i < 3; ++i) menuImages_[i] = MakeMenuImage(static_cast<MenuImage>(i), back);
  const struct {
    int id;
    MenuImage image;
  } images[] = {{kMenuSettings, kImageSettings}, {kMenuAbout, kImageAbout}, {kMenuQuit, kImageQuit}};
  for (const auto& m : images) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    info.hbmpItem = menuImages_[m.image];
    SetMenuItemInfoW(trayMenu_, m.id, FALSE, &info);
  }
}

// Reads the interval and restarts the reminder timer with it: the countdown begins again
// from zero. A value that is not a usable interval leaves the timer as it was.
bool MainWindow::ApplyInterval() {
  const std::wstring typed = Text(kEdit1);
  std::optional<int32_t> seconds = ParseInterval(U16(typed));
  if (!seconds) {
    ShowIntervalError(typed);
    return false;
  }
  SetTimer(window_, kReminderTimer, static_cast<UINT>(*seconds) * 1000u, nullptr);
  return true;
}

// The reminder timer keeps ticking while the box is open; one box at a time is enough.
void MainWindow::ShowIntervalError(const std::wstring& typed) {
  if (intervalErrorShown_) return;
  const std::wstring text = L"“" + typed + L"”不是有效的时间间隔。\r\n请输入 1 到 " +
                            std::to_wstring(kMaxIntervalSeconds) + L" 之间的整数秒数。";
  intervalErrorShown_ = true;
  MessageBoxW(window_, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
  intervalErrorShown_ = false;
}

// One reminder: balloon tip, sound, notice. The interval is read afresh, so an edited but
// not yet applied value already changes the wording.
void MainWindow::RemindNow() {
  if (intervalErrorShown_) return;
  const std::wstring sound = Text(kEdit3);
  const std::wstring typed = Text(kEdit1);
  std::optional<int32_t> seconds = ParseInterval(U16(typed));
  if (!seconds) {
    ShowIntervalError(typed);
    return;
  }
  const std::u16string text = BalloonText(U16(typed), *seconds, U16(Text(kEdit2)), U16(DecimalSeparator()));
  tray_.ShowBalloon(L"真情提示", W(text));
  // With "声音提示" unchecked the reminder stays silent.
  if (SendMessageW(Control(kCheckBox1), BM_GETCHECK, 0, 0) == BST_CHECKED && !sound.empty()) {
    PlaySoundW(sound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  }
  notice_.Show();
}

void MainWindow::ChooseSoundFile() {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = L"声音文件(*.WAV)\0*.WAV\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = L"选择提示音";
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (GetOpenFileNameW(&ofn)) SetWindowTextW(Control(kEdit3), path);
}

void MainWindow::ShowAbout() { MessageBoxW(window_, kAboutText, L"关于", MB_OK | MB_ICONINFORMATION); }

void MainWindow::HideToTray() { ShowWindow(window_, SW_HIDE); }

void MainWindow::Restore() {
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

void MainWindow::ShowTrayMenu() {
  POINT at;
  GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if this window is in front.
  SetForegroundWindow(window_);
  TrackPopupMenu(trayMenu_, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
}

void MainWindow::NextTrayFrame() {
  trayFrame_ = (trayFrame_ + 1) % kTrayFrames;
  tray_.SetIcon(trayFrames_[trayFrame_], trayFrame_);
}

void MainWindow::Command(int id) {
  switch (id) {
    case kApplyButton:
      ApplyInterval();
      break;
    case kOkButton:
      HideToTray();
      break;
    case kCheckBox1: {
      const BOOL on = SendMessageW(Control(kCheckBox1), BM_GETCHECK, 0, 0) == BST_CHECKED;
      EnableWindow(Control(kEdit3), on);
      EnableWindow(Control(kButton1), on);
      break;
    }
    case kButton1:
      ChooseSoundFile();
      break;
    case kMenuSettings:
      Restore();
      break;
    case kMenuAbout:
      ShowAbout();
      break;
    case kMenuQuit:
      quitting_ = true;
      PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
  }
}

void MainWindow::DrawGlyphButton(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  wchar_t text[16] = {};
  GetWindowTextW(item.hwndItem, text, ARRAYSIZE(text));
  HGDIOBJ old = SelectObject(dc, windowFont_);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  const int shift = pushed ? 1 : 0;
  const int total = 16 + 4 + size.cx;
  const int x = (r.right - r.left - total) / 2 + shift;
  const int y = (r.bottom - r.top - 16) / 2 + shift;
  const HICON glyph = glyphs_[item.CtlID == kApplyButton ? kGlyphApply : kGlyphOk];
  DrawIconEx(dc, x, y, glyph, 16, 16, 0, nullptr, DI_NORMAL);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  RECT textRect = {x + 20, r.top + shift, r.right, r.bottom + shift};
  DrawTextW(dc, text, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  return self->Handle(message, w, l);
}

LRESULT MainWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  if (taskbarCreated_ != 0 && message == taskbarCreated_) {
    tray_.AddAgain();
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
      CreateControls();
      CreateTrayMenu();
      tray_.Add(window_, trayFrames_[trayFrame_], trayFrame_, L"定时提醒程序");
      SetTimer(window_, kAnimationTimer, kAnimationMs, nullptr);
      ApplyInterval();
      quitting_ = false;
      return 0;
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED || HIWORD(w) == 0) Command(LOWORD(w));
      return 0;
    case WM_DRAWITEM:
      DrawGlyphButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
      return TRUE;
    case WM_TIMER:
      if (w == kReminderTimer) RemindNow();
      if (w == kAnimationTimer) NextTrayFrame();
      return 0;
    case kTrayCallbackMessage:
      if (l == WM_LBUTTONUP) Restore();
      if (l == WM_RBUTTONUP) ShowTrayMenu();
      return 0;
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_MINIMIZE) {  // minimising goes to the tray
        HideToTray();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (!quitting_) {
        HideToTray();
        return 0;
      }
      DestroyWindow(window_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the session may end even though a plain close only hides the window
    case WM_ENDSESSION:
      if (w) tray_.Remove();
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kReminderTimer);
      KillTimer(window_, kAnimationTimer);
      tray_.Remove();
      notice_.Destroy();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

}  // namespace tarn::reminder
