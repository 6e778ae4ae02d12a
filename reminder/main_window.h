// The settings window: interval, message and sound file, the reminder timer, the tray icon
// with its menu, and what happens at each reminder.
#pragma once
#include <windows.h>

#include <string>

#include "reminder/notice_window.h"
#include "reminder/pictures.h"
#include "reminder/tray_icon.h"

namespace tarn::reminder {

class MainWindow {
 public:
  bool Create(HINSTANCE instance);
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void CreateControls();
  void CreateTrayMenu();
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  std::wstring Text(int id) const;

  bool ApplyInterval();
  void RemindNow();
  void ShowIntervalError(const std::wstring& typed);
  void Command(int id);
  void ChooseSoundFile();
  void ShowAbout();
  void HideToTray();
  void Restore();
  void ShowTrayMenu();
  void NextTrayFrame();
  void DrawGlyphButton(const DRAWITEMSTRUCT& item);

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HFONT windowFont_ = nullptr;
  HFONT songFont_ = nullptr;
  HMENU trayMenu_ = nullptr;
  HBITMAP menuImages_[3] = {};
  HICON glyphs_[2] = {};
  HICON trayFrames_[kTrayFrames] = {};
  int trayFrame_ = 3;
  TrayIcon tray_;
  NoticeWindow notice_;
  UINT taskbarCreated_ = 0;
  bool quitting_ = false;
  bool intervalErrorShown_ = false;
};

}  // namespace tarn::reminder
