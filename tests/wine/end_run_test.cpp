// The end of whole runs: results for the host, the status file, the end of the log, the
// restart handling, the per-user record and what is left behind in the process.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "tests/wine/end_runs.h"

namespace tarn {
namespace {

using test::BoxWatcher;
using test::EndPackage;
using test::EndsWith;
using test::RunResult;
using test::WithoutAdminLine;

constexpr uint32_t kKeepSilent = kHostKeepSilentForRestart;

TEST(EndRun, CompletedRunReportsSuccess) {
  EndPackage p("done");
  std::string statusDuringRun;
  p.BeforeRelease([&] { statusDuringRun = p.Status(); });
  RunResult r = p.Run();
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.runProgram, "untouched");
  EXPECT_EQ(r.runArguments, "untouched");
  // A run that never reached its end would have left this behind.
  EXPECT_EQ(statusDuringRun, "Failed|Installation terminated abnormally.|Maker Ltd|Product|1.2|SN-7");
  EXPECT_EQ(p.Status(), "Success||Maker Ltd|Product|1.2|SN-7");
  EXPECT_TRUE(EndsWith(WithoutAdminLine(p.Log()), "\r\n")) << p.Log();
}

TEST(EndRun, FailedRunsGiveTheirReasonToLogAndStatus) {
  struct Case {
    const char* what;
    uint32_t cancelState;
    uint8_t errorState;
    const char* scriptFailure;
    const char* reason;
  } cases[] = {
      {"cancelled", kCancelUser, kErrorNone, "", "message 1"},
      {"reported error", kCancelNone, kErrorReported, "", "message 2"},
      {"archive read error", kCancelNone, kErrorArchiveRead, "", "message 7"},
      {"script failure", kCancelNone, kErrorNone, "Licence refused", "Licence refused"},
  };
  for (const Case& c : cases) {
    EndPackage p("fail");
    p.w().Marker("only record");
    if (c.scriptFailure[0]) p.Set("TARN_ERROR_RTN", c.scriptFailure);
    static const Case* current;
    current = &c;
    p.AfterStartUp([] {
      g_run.host->cancelState = current->cancelState;
      g_run.host->errorState = current->errorState;
    });
    RunResult r = p.Run();
    EXPECT_EQ(r.returnValue, 1) << c.what;
    EXPECT_EQ(r.exitCode, 1) << c.what;
    std::string log = WithoutAdminLine(p.Log());
    EXPECT_TRUE(EndsWith(log, std::string("\r\n") + c.reason)) << c.what << ": " << log;
    EXPECT_EQ(p.Status(), std::string("Failed|") + c.reason + "|Maker Ltd|Product|1.2|SN-7") << c.what;
  }
}

// RESTART as the script leaves it, with the question answered by its first button.
TEST(EndRun, RestartRequests) {
  const std::string comspec = std::getenv("COMSPEC") ? std::getenv("COMSPEC") : "";
  struct Case {
    const char* restart;
    uint32_t hostFlags;
    int32_t exitCode;
    int questions;  // shown on the screen
    const char* program;
    const char* arguments;
  } cases[] = {
      {"S", kKeepSilent, 0x43, 0, "untouched", "untouched"},
      {"W", 0, 0x42, 1, "untouched", "untouched"},  // a silent run asks anyway
      {"E  notepad.exe", 0, 1, 0, comspec.c_str(), "/C notepad.exe"},
      {"X", 0, 1, 0, "untouched", "untouched"},
  };
  for (const Case& c : cases) {
    EndPackage p("restart");
    p.Set("RESTART", c.restart);
    p.WithDialogs();
    BoxWatcher watcher("message 18");
    RunResult r = p.Run("", 2 | c.hostFlags);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.restart;
    EXPECT_EQ(r.returnValue, 0) << c.restart;
    EXPECT_EQ(watcher.answered(), c.questions) << c.restart;
    EXPECT_EQ(r.runProgram, c.program) << c.restart;
    EXPECT_EQ(r.runArguments, c.arguments) << c.restart;
  }
}

// Holds a file open without sharing, as a running program would.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

 private:
  HANDLE handle_;
};

TEST(EndRun, PendingReplacementAsksForRestart) {
  const PlatformInfo otherWindows{};  // neither family: the replacement goes to the batch file
  const std::string batch = test::WindowsDirectory() + "\\_MSSETUP.BAT";
  struct Case {
    const char* what;
    const char* restart;
    uint32_t hostFlags;
    const PlatformInfo* platform;
    int questions;
    int32_t exitCode;
    std::string arguments;
  } cases[] = {
      {"silent run asks anyway", "", 0, nullptr, 1, 0x43, "untouched"},
      {"host keeps it silent", "", kKeepSilent, nullptr, 0, 0x43, "untouched"},
      {"ignored", "I", 0, nullptr, 0, 1, "untouched"},
      {"batch file", "", kKeepSilent, &otherWindows, 0, 1, "/C " + test::WindowsDirectory() + "\\_MSRSTRT.EXE"},
      {"batch file then a command", "E setup2.exe", kKeepSilent, &otherWindows, 0, 1,
       "/C " + test::WindowsDirectory() + "\\_MSRSTRT.EXE  setup2.exe"},
  };
  for (const Case& c : cases) {
    EndPackage p("pending");
    std::string target = p.directory() + "\\busy.dll";
    test::WriteWholeFile(target, "running");
    p.Install(target, "replacement");
    // The script sets RESTART after the install, which sets it too.
    p.w().Marker("set RESTART");
    static const char* restart;
    restart = c.restart;
    g_run.hooks.onRecord = [](const uint8_t* record) {
      if (record[0] == 2 && restart[0]) SetVariable(*g_run.variables, "RESTART", restart);
    };
    p.WithDialogs();
    g_run.hooks.forcedPlatform = c.platform;
    RunResult r;
    {
      HeldOpen hold(target);
      BoxWatcher watcher("message 18");
      r = p.Run("", 2 | kHostRestartReplaceAllowed | c.hostFlags);
      EXPECT_EQ(watcher.answered(), c.questions) << c.what;
    }
    g_run.hooks.forcedPlatform = nullptr;
    g_run.hooks.onRecord = nullptr;
    DeleteFileA(batch.c_str());
    EXPECT_EQ(r.returnValue, 0) << c.what;
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(r.runArguments, c.arguments) << c.what;
    if (c.restart[0] == 'I') {
      EXPECT_EQ(r.recordAfter.hostFlags & kHostRestartReplaceAllowed, 0u);
    }
  }
}

TEST(EndRun, TestRunAndExtractionEnds) {
  {
    EndPackage p("testrun");
    p.Set("RESTART", "S");
    RunResult r = p.Run("/T", 2 | kKeepSilent);
    EXPECT_EQ(r.returnValue, 0);
    EXPECT_EQ(r.exitCode, 1);  // no restart handling in a test run
  }
  for (const char* mode : {"/X C:\\", "/Z C:\\"}) {
    EndPackage p("extract");
    RunResult r = p.Run(mode);
    EXPECT_EQ(r.returnValue, 0) << mode;
    EXPECT_EQ(r.exitCode, mode[1] == 'Z' ? 0 : 1) << mode;
  }
}

std::string ReadString(HKEY root, const std::string& key, const char* name) {
  char value[256] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "<none>";
  return value;
}

DWORD ReadNumber(HKEY root, const std::string& key, const char* name) {
  DWORD value = 0xFFFFFFFF, size = sizeof value;
  RegGetValueA(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

TEST(EndRun, PerUserRecordUnderBothRoots) {
  ScriptHeaderFields h;
  h.userKeyName = "EndTest" + std::to_string(GetCurrentProcessId());
  h.userDisplay = "Shown Name";
  h.userLocal = "C:\\Local";
  h.userVersion = 7;
  h.headerOptions = 0x10;  // prompt 2
  EndPackage p("peruser", h);
  p.AfterStartUp([] { g_run.actionParamsEx.perUserRequest = 1; });
  p.Run();
  std::string key = std::string("Software\\Tarn Solutions\\KAMUser\\") + h.userKeyName;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_EQ(ReadString(root, key, "Display"), "Shown Name");
    EXPECT_EQ(ReadString(root, key, "Local"), "C:\\Local");
    EXPECT_EQ(ReadString(root, key, "User"), "<none>");  // empty header strings are left out
    EXPECT_EQ(ReadNumber(root, key, "Version"), 7u);
    EXPECT_EQ(ReadNumber(root, key, "Prompt"), 2u);
    RegDeleteTreeA(root, key.c_str());
  }
  // Without a request nothing is written.
  EndPackage q("peruser", h);
  q.Run();
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key, "Display"), "<none>");
}

std::set<std::string> TemporaryFiles() {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((std::string(dir) + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

TEST(EndRun, LeavesNoWindowLibraryOrTemporaryFile) {
  EndPackage p("release");
  test::Installation& i = p.installation();
  i.auxEntries[0] = test::FileBytes(test::FixturePath("transform_fixture.dll"));
  i.auxEntries[1] = test::FileBytes(test::FixturePath("registration_program.exe"));
  p.Set("RESTART", "");
  std::string transformPath;
  bool richEditLoadedBefore = GetModuleHandleA("RICHED32.DLL") != nullptr;
  p.BeforeRelease([&] { transformPath = g_run.auxPath[0]; });
  std::set<std::string> before = TemporaryFiles();
  RunResult r = p.Run("", 2 | kHostHasTransformLibrary | kHostHasRegistrationProgram);
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_TRUE(r.hostWindowDestroyed);
  EXPECT_FALSE(transformPath.empty());
  EXPECT_EQ(GetModuleHandleA(transformPath.c_str()), nullptr);
  if (!richEditLoadedBefore) {
    EXPECT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr);
  }
  EXPECT_EQ(TemporaryFiles(), before);
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_NE(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)), GetModuleHandleA(nullptr))
        << "window of class " << name << " left";
  }
  WNDCLASSA wizard;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "ZERVWizard", &wizard));
  EXPECT_EQ(g_run.variables, nullptr);
  EXPECT_EQ(g_run.messageTable, nullptr);
}

}  // namespace
}  // namespace tarn
