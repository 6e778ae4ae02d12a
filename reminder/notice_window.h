// The notice: a borderless, always-on-top strip with one line of large text that lets
// every click through to the windows below and fades out by itself.
#pragma once
#include <windows.h>

#include "reminder/fade.h"

namespace tarn::reminder {

class NoticeWindow {
 public:
  // Creates the window hidden, owned by `owner` (so it has no task-bar button), and starts
  // its fade timer.
  bool Create(HINSTANCE instance, HWND owner);
  // Shows the notice at full opacity without taking the focus from the user's window.
  void Show();
  void Destroy();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  void Tick();
  void Paint();

  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  NoticeFade fade_;
};

}  // namespace tarn::reminder
