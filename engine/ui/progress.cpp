// The progress window and the progress plug-in, the percentage of the run, the timed
// pause between records and the notification tip of silent runs.
#include "engine/ui/progress.h"

#include <cstdio>
#include <cstring>

#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/ui/dialogs.h"
#include "engine/ui/graphics.h"
#include "engine/ui/message_box.h"
#include "engine/ui/place_window.h"
#include "engine/ui/resources/resource.h"
#include "engine/ui/screen.h"
#include "engine/ui/screen_rules.h"

namespace tarn {
namespace {

constexpr UINT_PTR kWaitTimer = 8297;
constexpr unsigned kPauseMs = 500;
constexpr int kMessageQuestionTitle = 18;
constexpr int kMessageCancelText = 28;
constexpr int kMessageProgressCaption = 29;
constexpr int kMessageLeave = 31;
// Two choices (45 and 46), no Cancel, question icon, no repeat.
constexpr int kLeaveStyle = 399;
constexpr COLORREF kBarColour = 0x7F0000;  // dark blue
constexpr int kPlacementScript = 2;

enum PluginCommand : int32_t { kPluginStart = 0, kPluginStatus = 1, kPluginClose = 2 };
using PluginUpdate = HWND(WINAPI*)(int32_t, int32_t, ActionParams*, const char*, uint32_t, uint32_t);

HostRecord& Host() { return *g_run.host; }

HWND CallPlugin(int32_t command, int32_t position, const char* text, uint32_t tenths, uint32_t remaining) {
  if (g_run.progressUpdate == nullptr) return nullptr;
  return reinterpret_cast<PluginUpdate>(g_run.progressUpdate)(command, position, &g_run.actionParams, text, tenths,
                                                              remaining);
}

bool PauseEnabled() {
  return !g_run.updatePauseDisabled && (g_run.header.headerFlags & kHeaderPauseAllowed) != 0;
}

// The status call of the plug-in: the block's per-call fields first.
void PluginStatus(const char* text) {
  ActionParams& params = g_run.actionParams;
  static char empty[1] = "";
  params.variableCount = g_run.variables != nullptr ? g_run.variables->count : 0;
  params.logFile = g_run.logFile;
  params.params = empty;
  int32_t done = 0, total = 1;
  ComputeProgress(&done, &total);
  Progress p{done, total, g_run.progressPercent};
  uint32_t counter = (g_run.hostFlags & kHostBytesProgress) ? Host().bytesDone : Host().fileBytesDone;
  uint32_t remaining = RemainingWork(g_run.copyRate, counter - g_run.fileStartCounter);
  HWND window = CallPlugin(kPluginStatus, g_run.header.headerFlags & kHeaderPositionMask, text, ProgressTenths(p),
                           remaining);
  g_run.progressWindow = window;
  // A window handed back is the plug-in asking for the run to be cancelled.
  if (window != nullptr && ConfirmCancel(window)) Host().cancelState = kCancelUser;
}

void PaintBar(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  int32_t done = 0, total = 1;
  ComputeProgress(&done, &total);
  const RECT& bar = g_run.progressBar;
  int filled = FilledWidth(bar.right - bar.left, Progress{done, total, g_run.progressPercent});
  char text[16];
  std::snprintf(text, sizeof text, "%3d%%", g_run.progressPercent);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
  SIZE extent{};
  int length = static_cast<int>(std::strlen(text));
  GetTextExtentPoint32A(dc, text, length, &extent);
  int tx = bar.left + (bar.right - bar.left - extent.cx) / 2;
  int ty = bar.top + (bar.bottom - bar.top - extent.cy) / 2;
  RECT done_part{bar.left, bar.top, bar.left + filled, bar.bottom};
  SetBkColor(dc, kBarColour);
  SetTextColor(dc, g_run.buttonFace);
  ExtTextOutA(dc, tx, ty, ETO_CLIPPED | ETO_OPAQUE, &done_part, text, length, nullptr);
  RECT rest{bar.left + filled + 1, bar.top, bar.right, bar.bottom};
  SetBkColor(dc, g_run.buttonFace);
  SetTextColor(dc, kBarColour);
  ExtTextOutA(dc, tx, ty, ETO_CLIPPED | ETO_OPAQUE, &rest, text, length, nullptr);
  RECT edge = bar;
  InflateRect(&edge, 1, 1);
  DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  SelectObject(dc, oldFont);
  EndPaint(dialog, &paint);
}

void InitProgressDialog(HWND dialog) {
  PrepareDialog(dialog, nullptr);
  SetWindowTextA(dialog, Message(kMessageProgressCaption));
  SetDlgItemTextA(dialog, IDC_CANCEL, Message(kMessageCancelText));
  HWND frame = GetDlgItem(dialog, IDC_PROGRESS_BAR);
  RECT bar{};
  GetWindowRect(frame, &bar);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bar), 2);
  InflateRect(&bar, -1, -1);
  g_run.progressBar = bar;
  ShowWindow(frame, SW_HIDE);
  if (g_run.header.headerOptions & kOptionNoCancel) EnableWindow(GetDlgItem(dialog, IDC_CANCEL), FALSE);
}

}  // namespace

bool ProgressPluginLoaded() { return g_run.progressPlugin != nullptr && g_run.progressUpdate != nullptr; }

bool ProgressWindowOpen() { return g_run.progressWindow != nullptr; }

uint8_t ComputeProgress(int32_t* done, int32_t* total) {
  ProgressCounters c;
  c.hostFlags = g_run.hostFlags;
  if (g_run.host != nullptr) {
    c.bytesDone = Host().bytesDone;
    c.archivePosition = Host().archivePosition;
  }
  c.archiveDataBase = g_run.archiveDataBase;
  c.totalSize = g_run.header.totalSize;
  if (g_run.current != nullptr && g_run.script != nullptr) {
    c.scriptPosition = static_cast<uint32_t>(g_run.current - (g_run.script + g_run.headerLength));
  }
  c.bodyLength = static_cast<uint32_t>(g_run.bodyLength);
  Progress p = ComputeProgressFrom(c);
  g_run.progressPercent = p.percent;
  if (done != nullptr) *done = p.done;
  if (total != nullptr) *total = p.total;
  SwitchBillboard(GraphicTable(), p.percent, &g_run.billboardThreshold, ScreenGraphicActions());
  return p.percent;
}

void OpenProgressWindow() {
  if (ProgressPluginLoaded() || g_run.progressWindow != nullptr || g_run.host == nullptr || Host().silent) return;
  if (g_run.wizardFrame != nullptr) {
    DestroyWindow(g_run.wizardFrame);
    g_run.wizardFrame = nullptr;
  }
  HWND owner = IsWindowVisible(g_run.hostWindow) ? g_run.hostWindow : nullptr;
  HWND window = CreateDialogParamA(g_run.engineInstance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, &CopyDlg, 0);
  if (window == nullptr) return;
  g_run.progressWindow = window;
  PlaceWindow(window, kPlacementScript, 0);
  ShowWindow(window, SW_SHOW);
  EnableWindow(g_run.hostWindow, FALSE);
}

void RedrawProgressWindow() {
  if (ProgressPluginLoaded() || g_run.progressWindow == nullptr) return;
  RECT r = g_run.progressBar;
  InflateRect(&r, 1, 1);
  InvalidateRect(g_run.progressWindow, &r, FALSE);
}

void ShowStatus(const char* text) {
  g_run.statusShown = true;
  if (ProgressPluginLoaded()) {
    PluginStatus(text);
    return;
  }
  if (g_run.progressWindow != nullptr && text != nullptr) {
    SetDlgItemTextA(g_run.progressWindow, IDC_PROGRESS_STATUS, text);
    RedrawProgressWindow();
    DrainMessages();
  }
}

void FitPathToStatus(char* path, int capacity) {
  HWND status = g_run.progressWindow ? GetDlgItem(g_run.progressWindow, IDC_PROGRESS_STATUS) : nullptr;
  if (status == nullptr || capacity < 8) return;
  RECT r{};
  GetClientRect(status, &r);
  HDC screen = GetDC(status);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(status, WM_GETFONT, 0, 0)));
  // The ellipsis may make the text longer by up to four characters.
  char fitted[264];
  CopyText(fitted, sizeof fitted - 4, path);
  DrawTextA(dc, fitted, -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING);
  CopyText(path, static_cast<size_t>(capacity), fitted);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(status, screen);
}

void CloseProgressWindow() {
  g_run.statusShown = false;
  if (ProgressPluginLoaded()) {
    CallPlugin(kPluginClose, 0, nullptr, 0, 0);
    g_run.progressWindow = nullptr;
    UpdateScreen(0);
  } else if (g_run.progressWindow != nullptr) {
    EnableWindow(g_run.hostWindow, TRUE);
    HWND window = g_run.progressWindow;
    g_run.progressWindow = nullptr;
    DestroyWindow(window);
    UpdateScreen(0);
  }
  g_run.progressWindow = nullptr;
}

void UpdateScreen(int allowPause) {
  if (g_run.host == nullptr) return;
  if (ProgressPluginLoaded()) {
    ShowStatus(nullptr);
  } else {
    RedrawProgressWindow();
  }
  UpdateTrayTip(NIM_MODIFY);
  TimedWait(kPauseMs, allowPause != 0 && PauseEnabled());
}

void DrainMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void TimedWait(unsigned ms, bool enable) {
  if (g_run.host == nullptr) return;
  if (enable) {
    Host().timerWaiting = 1;
    SetTimer(g_run.hostWindow, kWaitTimer, ms, nullptr);
  }
  DrainMessages();
  // The host clears timerWaiting from its timer handler; a host window that is gone
  // cannot, so the wait ends with it.
  MSG quit;
  // A pending quit message comes before the timer's: the wait ends with it instead of
  // serving it again and again.
  while (enable && Host().timerWaiting != 0 && IsWindow(g_run.hostWindow) &&
         !PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    DrainMessages();
  }
  if (enable) KillTimer(g_run.hostWindow, kWaitTimer);
}

bool ConfirmCancel(HWND owner) {
  if (g_run.header.headerOptions & kOptionNoCancel) return false;
  const char* leave = Message(kMessageLeave);
  if (leave[0] == '\0' || std::strcmp(leave, " ") == 0) return true;
  return ShowMessage(owner, leave, Message(kMessageQuestionTitle), kLeaveStyle) == kAnswerSecond;
}

void UpdateTrayTip(DWORD message) {
  if (g_run.host == nullptr || Host().silent == 0 || !g_run.notifyIconPrepared) return;
  if (message == NIM_DELETE) {
    Shell_NotifyIconA(NIM_DELETE, &g_run.notifyIcon);
    return;
  }
  uint8_t percent = ComputeProgress(nullptr, nullptr);
  if (message == NIM_MODIFY && percent == g_run.trayPercent) return;
  g_run.trayPercent = percent;
  NOTIFYICONDATAA& icon = g_run.notifyIcon;
  icon.uFlags = message == NIM_ADD ? (NIF_ICON | NIF_TIP) : NIF_TIP;
  char title[256] = "";
  GetWindowTextA(g_run.hostWindow, title, sizeof title);
  CopyText(icon.szTip, 64, TrayTipText(title, percent).c_str());
  Shell_NotifyIconA(message, &icon);
  ++g_run.trayTipCalls;
}

void StartProgressPlugin() {
  ActionParams& params = g_run.actionParams;
  if (params.size == 0) {
    params.size = sizeof(ActionParams);
    params.variableCapacity = kVariableCapacity;
    params.nameSize = kNameSize;
    params.valueSize = kValueSize;
    if (g_run.variables != nullptr) {
      params.names = &g_run.variables->names[0][0];
      params.values = &g_run.variables->values[0][0];
    }
  }
  g_run.pluginWindow = CallPlugin(kPluginStart, 0, nullptr, 0, 0);
}

void DisablePluginCancel() {
  if (g_run.pluginWindow != nullptr && (g_run.header.headerOptions & kOptionNoCancel)) {
    EnableWindow(GetDlgItem(g_run.pluginWindow, IDC_CANCEL), FALSE);
  }
}

}  // namespace tarn

extern "C" void __stdcall UpdateScreen(int allowPause) { tarn::UpdateScreen(allowPause); }

extern "C" INT_PTR CALLBACK CopyDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace tarn;
  (void)wParam;
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      InitProgressDialog(dialog);
      return TRUE;
    case WM_PAINT:
      PaintBar(dialog);
      return TRUE;
    case WM_COMMAND:
      if (dialog == g_run.progressWindow && ConfirmCancel(dialog)) g_run.host->cancelState = kCancelUser;
      return TRUE;
  }
  return FALSE;
}
