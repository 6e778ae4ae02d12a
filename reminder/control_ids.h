// Names by which the reminder's windows, controls and menu items are found: the program
// uses them, and so do the tests that drive it from outside. No Windows header.
#pragma once

namespace tarn::reminder {

constexpr const wchar_t* kMainClass = L"TForm1";
constexpr const wchar_t* kNoticeClass = L"TForm2";
constexpr const wchar_t* kApplicationTitle = L"定时提醒";
constexpr const wchar_t* kMainCaption = L"Lumo定时提醒  support@lumo-soft.example";
constexpr const wchar_t* kNoticeCaption = L"写屏";

enum ControlId : int {
  kGroupBox1 = 100,
  kLabel1 = 101,
  kEdit1 = 102,
  kLabel3 = 103,
  kLabel2 = 104,
  kEdit2 = 105,
  kCheckBox1 = 106,
  kEdit3 = 107,
  kButton1 = 108,
  kApplyButton = 109,  // "应用"
  kOkButton = 110,     // "确定"
};

enum MenuId : int {
  kMenuSettings = 201,  // "设置(&S)"
  kMenuAbout = 202,     // "关于(&A)"
  kMenuQuit = 203,      // "退出(&Q)"
};

// The message the tray icon sends to the main window (WM_APP + 1); lParam is the mouse
// message.
constexpr unsigned kTrayCallbackMessage = 0x8000 + 1;
constexpr unsigned kTrayIconId = 1;

// When this environment variable names a file, every call to the notification area is
// appended to it as a UTF-8 line. Tests read it; the shell offers no way to read a tray
// icon's state back.
constexpr const wchar_t* kTrayLogVariable = L"RESTMINDER_TRAY_LOG";

}  // namespace tarn::reminder
