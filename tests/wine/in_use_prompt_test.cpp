// The question about a destination that stays in use, answered for real: retry, go on
// without the file, or stop the installation.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/wine/end_runs.h"

namespace tarn::test {
namespace {

// Presses the given buttons, one per appearance of the box titled `caption`.
class Answers {
 public:
  Answers(std::string caption, std::vector<int> buttons) : caption_(std::move(caption)), buttons_(std::move(buttons)) {
    thread_ = CreateThread(nullptr, 0, &Answers::Watch, this, 0, nullptr);
  }
  ~Answers() {
    stop_ = true;
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
  }
  int shown() const { return shown_; }

 private:
  static DWORD WINAPI Watch(void* p) {
    auto* self = static_cast<Answers*>(p);
    HWND last = nullptr;
    DWORD clickedAt = 0;
    int button = 1;
    while (!self->stop_) {
      HWND box = nullptr;
      while ((box = FindWindowExA(nullptr, box, "#32770", self->caption_.c_str())) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(box, &process);
        if (process == GetCurrentProcessId()) break;
      }
      if (box != nullptr && box != last && IsWindowVisible(box)) {
        last = box;
        size_t n = static_cast<size_t>(self->shown_++);
        button = n < self->buttons_.size() ? self->buttons_[n] : 1;
        clickedAt = GetTickCount();
        PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
      } else if (box != nullptr && box == last && GetTickCount() - clickedAt > 1000) {
        // A click that reached the box before it was ready is lost: the same box gets
        // another one.
        clickedAt = GetTickCount();
        PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
      }
      Sleep(50);
    }
    return 0;
  }
  std::string caption_;
  std::vector<int> buttons_;
  HANDLE thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> shown_{0};
};

class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() { Release(); }
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

struct Outcome {
  RunResult result;
  int shown = 0;
  std::string log;
  std::string content;
  std::string installResult;
};

std::string g_installResult;

Outcome RunWithAnswers(const char* tag, std::vector<int> buttons) {
  EndPackage package(tag);
  std::string target = package.directory() + "\\held.dll";
  WriteWholeFile(target, "running");
  package.Install(target, "replacement");
  package.w().Record(OP_ADD_LOG_TEXT).Str("after the file%CRLF%").Finish();
  package.WithDialogs();
  package.installation().silent = 0;
  package.BeforeRelease([] {
    char value[16];
    GetVariable(*g_run.variables, "INSTALL_RESULT", value, sizeof value);
    g_installResult = value;
  });
  Outcome o;
  {
    HeldOpen hold(target);
    Answers answers("message 17", std::move(buttons));
    o.result = package.Run("", 2);  // the background hidden; restart replacement not allowed
    o.shown = answers.shown();
  }
  o.log = package.Log();
  o.content = ReadWholeFile(target);
  o.installResult = g_installResult;
  return o;
}

constexpr int kFirstChoice = 1;   // stop the installation
constexpr int kGoOn = 2;          // go on without the file
constexpr int kRetry = 3;

TEST(InUsePrompt, RetryThenGoOnLogsTheFileAsNotCopied) {
  Outcome o = RunWithAnswers("inuse_go", {kRetry, kGoOn});
  EXPECT_EQ(o.shown, 2);  // asked again after the retry
  EXPECT_EQ(o.result.returnValue, 0);
  EXPECT_EQ(o.content, "running");
  EXPECT_EQ(o.installResult, "I");
  EXPECT_NE(o.log.find("Not Copied\r\nafter the file\r\n"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("In Use: "), std::string::npos) << o.log;
}

TEST(InUsePrompt, FirstChoiceStopsTheInstallation) {
  Outcome o = RunWithAnswers("inuse_stop", {kFirstChoice});
  EXPECT_EQ(o.shown, 1);
  EXPECT_EQ(o.result.returnValue, 1);
  EXPECT_EQ(o.result.recordAfter.cancelState, kCancelUser);
  EXPECT_EQ(o.content, "running");
  EXPECT_EQ(o.log.find("after the file"), std::string::npos) << o.log;
}

}  // namespace
}  // namespace tarn::test
