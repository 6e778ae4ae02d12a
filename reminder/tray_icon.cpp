#include "reminder/tray_icon.h"

#include <shellapi.h>

#include "reminder/control_ids.h"
#include "reminder/reminder_text.h"

namespace tarn::reminder {
namespace {

std::wstring Cut(const std::wstring& text, size_t units) {
  std::u16string cut = CutText(std::u16string(text.begin(), text.end()), units);
  return std::wstring(cut.begin(), cut.end());
}

}  // namespace

NOTIFYICONDATAW TrayIcon::Base(UINT flags) const {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof data;
  data.hWnd = owner_;
  data.uID = kTrayIconId;
  data.uFlags = flags;
  return data;
}

void TrayIcon::Log(const std::wstring& line, BOOL ok) const {
  wchar_t path[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(kTrayLogVariable, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  std::wstring full = line + (ok ? L" ok=1\n" : L" ok=0\n");
  int bytes = WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), nullptr, 0,
                                  nullptr, nullptr);
  std::string utf8(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, full.c_str(), static_cast<int>(full.size()), utf8.data(), bytes,
                      nullptr, nullptr);
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
}

void TrayIcon::Add(HWND owner, HICON icon, int frame, const std::wstring& tip) {
  owner_ = owner;
  icon_ = icon;
  frame_ = frame;
  tip_ = tip;
  AddAgain();
}

void TrayIcon::AddAgain() {
  NOTIFYICONDATAW data = Base(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = icon_;
  lstrcpynW(data.szTip, tip_.c_str(), ARRAYSIZE(data.szTip));
  BOOL ok = Shell_NotifyIconW(NIM_ADD, &data);
  added_ = true;
  Log(L"ADD icon=" + std::to_wstring(frame_) + L" tip=" + tip_, ok);
}

void TrayIcon::SetIcon(HICON icon, int frame) {
  icon_ = icon;
  frame_ = frame;
  if (!added_) return;
  NOTIFYICONDATAW data = Base(NIF_ICON);
  data.hIcon = icon;
  BOOL ok = Shell_NotifyIconW(NIM_MODIFY, &data);
  Log(L"ICON " + std::to_wstring(frame), ok);
}

void TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
  if (!added_) return;
  NOTIFYICONDATAW data = Base(NIF_INFO);
  const std::wstring t = Cut(title, kBalloonTitleUnits), s = Cut(text, kBalloonTextUnits);
  lstrcpynW(data.szInfoTitle, t.c_str(), ARRAYSIZE(data.szInfoTitle));
  lstrcpynW(data.szInfo, s.c_str(), ARRAYSIZE(data.szInfo));
  data.dwInfoFlags = NIIF_INFO;
  data.uTimeout = 10000;
  BOOL ok = Shell_NotifyIconW(NIM_MODIFY, &data);
  Log(L"BALLOON timeout=10000 icon=info title=" + t + L" text=" + s, ok);
}

void TrayIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAW data = Base(0);
  BOOL ok = Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
  Log(L"DELETE", ok);
}

}  // namespace tarn::reminder
