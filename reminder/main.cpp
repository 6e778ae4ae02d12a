// restminder: a rest reminder that lives in the notification area.
#include <windows.h>

#include "reminder/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  tarn::reminder::MainWindow main;
  if (!main.Create(instance)) return 1;
  ShowWindow(main.handle(), SW_SHOWNORMAL);
  UpdateWindow(main.handle());
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(main.handle(), &message)) continue;  // Tab between the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
