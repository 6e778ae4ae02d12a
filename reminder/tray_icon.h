// The reminder's icon in the notification area: adding it with its tip, changing its
// picture, balloon tips, and removing it. Every call can be logged for tests (see
// kTrayLogVariable).
#pragma once
#include <windows.h>

#include <string>

namespace tarn::reminder {

class TrayIcon {
 public:
  void Add(HWND owner, HICON icon, int frame, const std::wstring& tip);
  void SetIcon(HICON icon, int frame);
  // Information icon and a time-out of 10 s; title and text are cut to what the
  // notification area holds.
  void ShowBalloon(const std::wstring& title, const std::wstring& text);
  void Remove();
  // After the shell restarts (the "TaskbarCreated" message) the icon has to be added again.
  void AddAgain();

 private:
  NOTIFYICONDATAW Base(UINT flags) const;
  void Log(const std::wstring& line, BOOL ok) const;

  HWND owner_ = nullptr;
  HICON icon_ = nullptr;
  int frame_ = 0;
  std::wstring tip_;
  bool added_ = false;
};

}  // namespace tarn::reminder
