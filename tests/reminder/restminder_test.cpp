// restminder.exe driven from outside, the way a user meets it: its windows, controls and
// texts, the tray icon (through the log the program keeps when RESTMINDER_TRAY_LOG is set),
// the reminder with its balloon and fading notice, and the refused intervals. Each test
// starts its own copy of the program; screenshots go to the artifacts folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "reminder/control_ids.h"
#include "tests/reminder/screenshot.h"

namespace tarn::reminder {
namespace {

std::wstring Environment(const wchar_t* name, const wchar_t* fallback) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? fallback : buffer;
}

std::wstring ArtifactsDir() {
  std::wstring dir = Environment(L"TARN_ARTIFACTS", L"artifacts");
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + L"\\";
}

std::string Utf8(const std::wstring& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Processes this thread's messages (the test's own windows) while waiting.
void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 15000) {
  const DWORD end = GetTickCount() + timeoutMs;
  while (!condition()) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    Pump(50);
  }
  return true;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[512] = {};
  // Through a message, so that it works for controls of another process.
  SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buffer;
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, ARRAYSIZE(buffer));
  return buffer;
}

struct Search {
  DWORD pid;
  std::wstring className;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM l) {
  auto* s = reinterpret_cast<Search*>(l);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->pid && ClassOf(window) == s->className && (!s->visibleOnly || IsWindowVisible(window)))
    s->found.push_back(window);
  return TRUE;
}

// Top-level windows of process `pid` with class `className`.
std::vector<HWND> WindowsOf(DWORD pid, const std::wstring& className, bool visibleOnly) {
  Search search{pid, className, visibleOnly, {}};
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Wine settings for this prefix, made before the program starts: Wine draws the frames of
// restminder's windows itself (the display has no window manager), and the caption and
// menu face falls back to a Chinese font for the characters it lacks.
class WineLook : public ::testing::Environment {
 public:
  void SetUp() override {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\restminder.exe\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 4);
      RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      const wchar_t link[] = L"wqy-zenhei.ttc,WenQuanYi Zen Hei\0";
      for (const wchar_t* face : {L"Tahoma", L"Microsoft Sans Serif", L"MS Shell Dlg"})
        RegSetValueExW(key, face, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(link), sizeof link);
      RegCloseKey(key);
    }
  }
};
const auto* const kWineLook = ::testing::AddGlobalTestEnvironment(new WineLook);

// One running copy of restminder.exe.
class Reminder {
 public:
  Reminder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    log_ = ArtifactsDir() + std::wstring(name.begin(), name.end()) + L".tray.log";
    DeleteFileW(log_.c_str());
    SetEnvironmentVariableW(kTrayLogVariable, log_.c_str());
    std::wstring command = L"\"" + Environment(L"RESTMINDER_EXE", L"restminder.exe") + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_) != FALSE;
    if (started_) {
      WaitFor([&] {
        auto found = WindowsOf(process_.dwProcessId, kMainClass, true);
        if (!found.empty()) main_ = found[0];
        return main_ != nullptr;
      });
    }
  }
  ~Reminder() {
    if (!started_) return;
    if (Running()) {
      PostMessageW(main_, WM_COMMAND, kMenuQuit, 0);
      if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 9);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }

  bool ok() const { return started_ && main_ != nullptr; }
  HWND main() const { return main_; }
  DWORD pid() const { return process_.dwProcessId; }
  HWND control(int id) const { return GetDlgItem(main_, id); }
  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  bool WaitForExit(DWORD* code) const {
    if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.hProcess, code) != FALSE;
  }

  void SetText(int id, const wchar_t* text) const {
    SendMessageTimeoutW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  }
  // Posted: a click may open a modal box, which would hold a sent message.
  void Click(int id) const { PostMessageW(control(id), BM_CLICK, 0, 0); }
  void TrayMouse(UINT mouseMessage) const { PostMessageW(main_, kTrayCallbackMessage, kTrayIconId, mouseMessage); }

  HWND Notice() const {
    auto found = WindowsOf(pid(), kNoticeClass, false);
    return found.empty() ? nullptr : found[0];
  }
  std::vector<HWND> ErrorBoxes() const { return WindowsOf(pid(), L"#32770", true); }

  std::vector<std::string> TrayLog() const {
    std::vector<std::string> lines;
    FILE* file = _wfopen(log_.c_str(), L"rb");
    if (file == nullptr) return lines;
    std::string all;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) all.append(buffer, n);
    std::fclose(file);
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(all.substr(start, end - start));
    return lines;
  }
  bool WaitForLogLine(const std::string& line, size_t from = 0) const {
    return WaitFor([&] {
      auto lines = TrayLog();
      for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line) return true;
      return false;
    });
  }

 private:
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
  HWND main_ = nullptr;
  std::wstring log_;
};

void Screenshot(const wchar_t* name) {
  Pump(600);  // let every window finish painting
  EXPECT_TRUE(test::SaveScreen(ArtifactsDir() + name)) << Utf8(name);
}

RECT ClientRectIn(HWND control, HWND parent) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(MainWindow, ShowsItsSettingsAtTheirPlaces) {
  Reminder app;
  ASSERT_TRUE(app.ok());
  HWND main = app.main();
  EXPECT_EQ(WindowText(main), kMainCaption);
  const LONG style = GetWindowLongW(main, GWL_STYLE), exStyle = GetWindowLongW(main, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 376);
  EXPECT_EQ(client.bottom, 113);
  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.left, 306);
  EXPECT_EQ(frame.top, 242);

  struct Expected {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    int x, y, width, height;  // 0: not checked
  } controls[] = {
      {kGroupBox1, L"Button", L"", 0, 0, 376, 89},
      {kLabel1, L"Static", L"时间间隔:", 20, 27, 0, 0},
      {kEdit1, L"Edit", L"1200", 78, 23, 41, 0},
      {kLabel3, L"Static", L"秒", 125, 27, 0, 0},
      {kLabel2, L"Static", L"提示信息:", 148, 27, 0, 0},
      {kEdit2, L"Edit", L"您太累了,该歇歇了!", 202, 23, 123, 0},
      {kCheckBox1, L"Button", L"声音提示", 16, 56, 0, 0},
      {kEdit3, L"Edit", L"nudge.wav", 88, 53, 173, 0},
      {kButton1, L"Button", L"选择文件", 264, 52, 61, 23},
      {kApplyButton, L"Button", L"应用", 96, 92, 0, 21},
      {kOkButton, L"Button", L"确定", 176, 92, 0, 21},
  };
  for (const Expected& e : controls) {
    SCOPED_TRACE(Utf8(e.text) + " " + std::to_string(e.id));
    HWND control = app.control(e.id);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_EQ(ClassOf(control), e.className);
    EXPECT_EQ(WindowText(control), e.text);
    RECT r = ClientRectIn(control, main);
    EXPECT_EQ(r.left, e.x);
    EXPECT_EQ(r.top, e.y);
    if (e.width) {
      EXPECT_EQ(r.right - r.left, e.width);
    }
    if (e.height) {
      EXPECT_EQ(r.bottom - r.top, e.height);
    }
  }
  EXPECT_EQ(SendMessageW(app.control(kCheckBox1), BM_GETCHECK, 0, 0), BST_CHECKED);
  Screenshot(L"main-window.png");

  // The check box enables and disables the sound-file controls, and nothing else.
  app.Click(kCheckBox1);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(app.control(kEdit3)); }));
  EXPECT_FALSE(IsWindowEnabled(app.control(kButton1)));
  EXPECT_TRUE(IsWindowEnabled(app.control(kEdit1)));
  EXPECT_TRUE(IsWindowEnabled(app.control(kApplyButton)));
  Screenshot(L"main-window-sound-off.png");
  app.Click(kCheckBox1);
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(app.control(kEdit3)); }));
  EXPECT_TRUE(IsWindowEnabled(app.control(kButton1)));
}

TEST(Tray, AnimatesHidesRestoresAndOnlyQuitEndsTheProgram) {
  Reminder app;
  ASSERT_TRUE(app.ok());
  // The icon starts at the fourth picture and then cycles through all four.
  ASSERT_TRUE(app.WaitForLogLine("ICON 2 ok=1"));
  auto log = app.TrayLog();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "ADD icon=3 tip=定时提醒程序 ok=1");
  EXPECT_EQ(log[1], "ICON 0 ok=1");
  EXPECT_EQ(log[2], "ICON 1 ok=1");
  EXPECT_EQ(log[3], "ICON 2 ok=1");

  HWND main = app.main();
  struct Way {
    const char* name;
    std::function<void()> hide;
  } ways[] = {
      {"确定", [&] { app.Click(kOkButton); }},
      {"title-bar close", [&] { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4 close", [&] { PostMessageW(main, WM_CLOSE, 0, 0); }},
      {"minimise", [&] { PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    way.hide();
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
    Pump(300);
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(IsIconic(main));
    app.TrayMouse(WM_LBUTTONUP);  // a left click on the icon brings the window back
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main); }));
  }

  // The context menu; its "退出(&Q)" ends the program and takes the icon away.
  SetCursorPos(14, 32);  // over the icon in Wine's tray window, where the menu opens
  app.TrayMouse(WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    auto found = WindowsOf(app.pid(), L"#32768", true);
    menu = found.empty() ? nullptr : found[0];
    return menu != nullptr;
  }));
  Screenshot(L"tray-menu.png");
  PostMessageW(menu, WM_CHAR, L'q', 0);
  DWORD code = 1;
  ASSERT_TRUE(app.WaitForExit(&code));
  EXPECT_EQ(code, 0u);
  log = app.TrayLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "DELETE ok=1");
}

HWND WaitForDialog(const Reminder& app, const std::wstring& caption) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND box : app.ErrorBoxes())
      if (WindowText(box) == caption) found = box;
    return found != nullptr;
  });
  return found;
}

TEST(Dialogs, AboutBoxAndSoundFileChooser) {
  Reminder app;
  ASSERT_TRUE(app.ok());
  // "关于(&A)" from the tray menu.
  SetCursorPos(14, 32);  // over the icon in Wine's tray window, where the menu opens
  app.TrayMouse(WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    auto found = WindowsOf(app.pid(), L"#32768", true);
    menu = found.empty() ? nullptr : found[0];
    return menu != nullptr;
  }));
  PostMessageW(menu, WM_CHAR, L'a', 0);
  HWND about = WaitForDialog(app, L"关于");
  ASSERT_NE(about, nullptr);
  const std::wstring ideographic(1, L'\x3000');
  std::wstring lines;
  lines += ideographic + ideographic + L"所有每天在电脑前工作起过八小时的朋友们为了\r\n";
  lines += L"您自己和家人的幸福，请注意您的身体健康！\r\n\r\n";
  lines += std::wstring(22, L' ') + L"\r\n";
  for (int i = 0; i < 16; ++i) lines += ideographic;
  lines += L"Lumo软件\r\n";
  for (int i = 0; i < 15; ++i) lines += ideographic;
  lines += L"2022\xFF0D" L"08\xFF0D" L"23";
  EXPECT_EQ(WindowText(GetDlgItem(about, 0xFFFF)), lines);
  Screenshot(L"about-box.png");
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return app.ErrorBoxes().empty(); }));

  // "选择文件": the chosen full path replaces the sound file.
  app.Click(kButton1);
  HWND chooser = WaitForDialog(app, L"选择提示音");
  ASSERT_NE(chooser, nullptr);
  HWND filter = GetDlgItem(chooser, 0x470);  // the file-type list
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(WindowText(filter), L"声音文件(*.WAV)");
  Screenshot(L"sound-file-chooser.png");
  const wchar_t chosen[] = L"C:\\windows\\media\\chime.wav";
  HWND name = GetDlgItem(chooser, 0x47C);  // the file-name box
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen));
  PostMessageW(chooser, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(app.control(kEdit3)) == chosen; }));
}

// A window of the test's own below the notice (left of the main window, which Wine's
// unmanaged X windows may stack under it), counting the clicks it receives.
struct Underlay {
  static inline int clicks = 0;
  HWND window = nullptr;

  Underlay() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ReminderTestUnderlay";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, wc.lpszClassName, L"below", WS_POPUP | WS_BORDER | WS_VISIBLE, 20, 280, 280, 160,
                             nullptr, nullptr, wc.hInstance, nullptr);
    Pump(300);
  }
  ~Underlay() { DestroyWindow(window); }

  static LRESULT CALLBACK Procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_LBUTTONDOWN) ++clicks;
    if (m == WM_PAINT) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT r;
      GetClientRect(w, &r);
      FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      for (int y = 0; y < r.bottom; y += 16) {
        const wchar_t line[] = L"A window below the notice: clicks reach it.";
        TextOutW(dc, 8, y, line, ARRAYSIZE(line) - 1);
      }
      EndPaint(w, &ps);
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
};

TEST(Reminder, BalloonAndANoticeThatFadesAndLetsClicksThrough) {
  Underlay below;
  Reminder app;
  ASSERT_TRUE(app.ok());
  app.SetText(kEdit1, L"2");
  app.Click(kApplyButton);
  ASSERT_TRUE(app.WaitForLogLine(
      "BALLOON timeout=10000 icon=info title=真情提示 text=您已在电脑前工作了2秒钟了,您太累了,该歇歇了! ok=1"));
  // No further reminders from here on: each new balloon would replace the one on screen.
  app.SetText(kEdit1, L"1200");
  app.Click(kApplyButton);

  HWND notice = app.Notice();
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(notice) != FALSE; }));
  EXPECT_EQ(WindowText(notice), kNoticeCaption);
  const LONG style = GetWindowLongW(notice, GWL_STYLE), exStyle = GetWindowLongW(notice, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST),
            WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST);
  RECT r;
  GetWindowRect(notice, &r);
  EXPECT_EQ(r.left, 121);
  EXPECT_EQ(r.top, 305);
  EXPECT_EQ(r.right - r.left, 817);
  EXPECT_EQ(r.bottom - r.top, 78);
  Pump(2500);  // Wine's tray shows a balloon after a short delay
  Screenshot(L"balloon.png");

  // A click on the notice reaches the window below it.
  POINT inside = {200, 340};
  EXPECT_EQ(WindowFromPoint(inside), below.window);
  Underlay::clicks = 0;
  INPUT input[3] = {};
  for (INPUT& i : input) {
    i.type = INPUT_MOUSE;
    i.mi.dx = inside.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    i.mi.dy = inside.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, input, sizeof(INPUT));
  EXPECT_TRUE(WaitFor([] { return Underlay::clicks > 0; }, 5000));
  Screenshot(L"notice-over-window.png");

  // The notice fades by 10 at each tick and then hides at 15.
  std::vector<int> seen;
  BYTE alpha = 0;
  DWORD flags = 0;
  WaitFor([&] {
    if (!IsWindowVisible(notice)) return true;
    if (GetLayeredWindowAttributes(notice, nullptr, &alpha, &flags) && (seen.empty() || seen.back() != alpha))
      seen.push_back(alpha);
    return false;
  }, 20000);
  EXPECT_FALSE(IsWindowVisible(notice));
  ASSERT_GE(seen.size(), 5u);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], seen[i - 1] - 10) << "step " << i;
  EXPECT_EQ(seen.back(), 15);
  Pump(1200);  // the fade timer goes on; a hidden notice keeps its opacity
  ASSERT_TRUE(GetLayeredWindowAttributes(notice, nullptr, &alpha, &flags));
  EXPECT_TRUE(flags & LWA_ALPHA);
  EXPECT_EQ(alpha, 15);
  EXPECT_FALSE(IsWindowVisible(notice));
}

HWND WaitForErrorBox(const Reminder& app) {
  HWND box = nullptr;
  WaitFor([&] {
    auto boxes = app.ErrorBoxes();
    box = boxes.empty() ? nullptr : boxes[0];
    return box != nullptr;
  });
  return box;
}

TEST(Interval, ValuesThatGiveNoUsablePeriodAreRefused) {
  Reminder app;
  ASSERT_TRUE(app.ok());
  for (const wchar_t* typed : {L"", L"abc", L"1.5", L"0", L"-5", L"2147484"}) {
    SCOPED_TRACE(Utf8(typed));
    app.SetText(kEdit1, typed);
    app.Click(kApplyButton);
    HWND box = WaitForErrorBox(app);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(box), kApplicationTitle);
    EXPECT_NE(WindowText(GetDlgItem(box, 0xFFFF)).find(L"“" + std::wstring(typed) + L"”"), std::wstring::npos);
    if (std::wstring(typed) == L"abc") Screenshot(L"interval-error.png");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return app.ErrorBoxes().empty(); }));
  }
}

TEST(Interval, ARefusedValueLeavesTheTimerRunningAndOpensOneBoxOnly) {
  Reminder app;
  ASSERT_TRUE(app.ok());
  app.SetText(kEdit1, L"2");
  app.Click(kApplyButton);
  ASSERT_TRUE(app.WaitForLogLine(
      "BALLOON timeout=10000 icon=info title=真情提示 text=您已在电脑前工作了2秒钟了,您太累了,该歇歇了! ok=1"));
  app.SetText(kEdit1, L"abc");
  app.Click(kApplyButton);
  ASSERT_NE(WaitForErrorBox(app), nullptr);
  // Ticks come and go while the box is open: each reads the wrong interval, none opens a
  // second box, and none reminds.
  Pump(4500);
  auto boxes = app.ErrorBoxes();
  EXPECT_EQ(boxes.size(), 1u);
  const size_t before = app.TrayLog().size();
  // Closed, with a good value typed but not applied: the old two-second timer reminds
  // again, in the new wording.
  app.SetText(kEdit1, L"3");
  for (HWND box : boxes) PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(app.WaitForLogLine(
      "BALLOON timeout=10000 icon=info title=真情提示 text=您已在电脑前工作了3秒钟了,您太累了,该歇歇了! ok=1", before));
  EXPECT_TRUE(app.ErrorBoxes().empty());
}

}  // namespace
}  // namespace tarn::reminder
