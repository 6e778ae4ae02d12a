// Shared by the end-of-run and self-registration tests: a package of script and file
// data run through TarnMain, with variables preset after start-up, a look at the run just
// before it releases everything, and a watcher that answers the restart question.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/changes/install_rules.h"
#include "engine/entry/run_state.h"
#include "host/archive_codec.h"
#include "host/crc32.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn::test {

inline std::string FixturePath(const char* name) {
  const char* dir = std::getenv("TARN_FIXTURES");
  char full[MAX_PATH];
  GetFullPathNameA((std::string(dir ? dir : "fixtures") + "\\" + name).c_str(), sizeof full, full, nullptr);
  return full;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::string data = ReadWholeFile(path);
  return {data.begin(), data.end()};
}

inline std::string ShortPath(const std::string& path) {
  char out[MAX_PATH];
  return GetShortPathNameA(path.c_str(), out, sizeof out) ? out : path;
}

inline std::string WindowsDirectory() {
  char dir[MAX_PATH];
  GetWindowsDirectoryA(dir, sizeof dir);
  return dir;
}

// Answers every box titled `caption` with its first button while a run goes on, and
// counts them.
class BoxWatcher {
 public:
  explicit BoxWatcher(std::string caption) : caption_(std::move(caption)) {
    thread_ = CreateThread(nullptr, 0, &BoxWatcher::Watch, this, 0, nullptr);
  }
  ~BoxWatcher() {
    stop_ = true;
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
  }
  int answered() const { return answered_; }

 private:
  static DWORD WINAPI Watch(void* p) {
    auto* self = static_cast<BoxWatcher*>(p);
    HWND last = nullptr;
    DWORD clickedAt = 0;
    while (!self->stop_) {
      HWND box = self->FindOwnBox();
      if (box != nullptr && box != last && IsWindowVisible(box)) {
        last = box;
        ++self->answered_;
        clickedAt = GetTickCount();
        PostMessageA(GetDlgItem(box, 1), BM_CLICK, 0, 0);
      } else if (box != nullptr && box == last && GetTickCount() - clickedAt > 1000) {
        // A click that reached the box before it was ready is lost: the same box gets
        // another one.
        clickedAt = GetTickCount();
        PostMessageA(GetDlgItem(box, 1), BM_CLICK, 0, 0);
      }
      Sleep(50);
    }
    return 0;
  }
  // Tests run side by side on one display: only this process's boxes count.
  HWND FindOwnBox() {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", caption_.c_str())) != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(box, &process);
      if (process == GetCurrentProcessId()) return box;
    }
    return nullptr;
  }
  std::string caption_;
  HANDLE thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
};

// A script with file data. The header names a status file in the Windows directory and a
// log in a fresh directory.
class EndPackage {
 public:
  explicit EndPackage(const std::string& tag, ScriptHeaderFields header = {}) {
    directory_ = MakeTempDirectory(tag.c_str());
    header.logPath = directory_ + "\\INSTALL.LOG";
    if (header.statusFileName.empty()) header.statusFileName = "tarn_" + tag + "_%STATUSID%.mif";
    if (header.statusTemplate.empty()) header.statusTemplate = "%6%|%7%|%1%|%2%|%3%|%4%";
    header.manufacturer = "Maker %MAKERSUFFIX%";
    header.product = "Product";
    header.productVersion = "1.2";
    header.serialNumber = "SN-7";
    LanguageTexts l = EnglishTexts("End Test");
    header.languages.push_back(l);
    writer_ = std::make_unique<ScriptWriter>(header);
    installation_.hostFlags = 0;  // each run names its own flags
    // Each package has its own status file: tests run side by side in one prefix.
    statusId_ = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    presets_["STATUSID"] = statusId_;
    presets_["MAKERSUFFIX"] = "Ltd";
    statusPath_ = WindowsDirectory() + "\\tarn_" + tag + "_" + statusId_ + ".mif";
  }
  ~EndPackage() {
    DeleteFileA(statusPath_.c_str());
    if (resources_ != nullptr) FreeLibrary(resources_);
  }

  ScriptWriter& w() { return *writer_; }
  const std::string& directory() const { return directory_; }
  const std::string& statusPath() const { return statusPath_; }
  std::string Status() const { return ReadWholeFile(statusPath_); }
  std::string Log() const { return ReadWholeFile(directory_ + "\\INSTALL.LOG"); }
  Installation& installation() { return installation_; }

  InstallFileFields File(const std::string& destination, const std::string& data, uint8_t flags2 = 0) {
    std::vector<uint8_t> packed = PackStored(std::vector<uint8_t>(data.begin(), data.end()));
    InstallFileFields f;
    f.flags2 = flags2;
    f.dataStart = static_cast<uint32_t>(archive_.size());
    f.dataEnd = f.dataStart + static_cast<uint32_t>(packed.size());
    f.fileDate = static_cast<uint16_t>(((2020 - 1980) << 9) | (6 << 5) | 15);
    f.fileSize = static_cast<uint32_t>(data.size());
    f.dataChecksum = Crc32Update(0, data.data(), data.size());
    f.destination = destination;
    archive_.insert(archive_.end(), packed.begin(), packed.end());
    return f;
  }
  void Install(const std::string& destination, const std::string& data, uint8_t flags2 = 0) {
    writer_->InstallFile(File(destination, data, flags2));
  }
  void Set(const std::string& name, const std::string& value) { presets_[name] = value; }
  // Runs after the presets, at the end of start-up.
  void AfterStartUp(std::function<void()> action) { afterStartUp_ = std::move(action); }
  // The engine linked into the tests has no dialog resources: for runs that show message
  // boxes they come from the engine's library. (The wizard class then stays registered.)
  void WithDialogs() {
    const char* dll = std::getenv("TARN_DLL");
    resources_ = LoadLibraryA(dll ? dll : "TARN0132.dll");
  }
  // Runs just before the end of the run releases anything.
  void BeforeRelease(std::function<void()> action) { beforeRelease_ = std::move(action); }

  RunResult Run(const std::string& commandLine = "", uint32_t hostFlags = 2) {
    installation_.script = writer_->bytes();
    installation_.fileData = archive_;
    installation_.commandLine = commandLine;
    installation_.hostFlags |= hostFlags;
    s_current = this;
    g_run.hooks.afterStartUp = [] {
      for (const auto& [name, value] : s_current->presets_) SetVariable(*g_run.variables, name.c_str(), value.c_str());
      if (s_current->resources_ != nullptr) g_run.engineInstance = s_current->resources_;
      if (s_current->afterStartUp_) s_current->afterStartUp_();
    };
    g_run.hooks.beforeRelease = [] {
      if (s_current->beforeRelease_) s_current->beforeRelease_();
    };
    return RunInstallation(installation_, &TarnMain);
  }

 private:
  static inline EndPackage* s_current = nullptr;
  std::unique_ptr<ScriptWriter> writer_;
  std::vector<uint8_t> archive_;
  std::map<std::string, std::string> presets_;
  std::function<void()> afterStartUp_, beforeRelease_;
  HMODULE resources_ = nullptr;
  std::string directory_, statusId_, statusPath_;
  Installation installation_;
};

// The log without the administrator line that closes runs on the NT family.
inline std::string WithoutAdminLine(std::string log) {
  const std::string admin = "User Rights: Admin\r\n";
  if (log.size() >= admin.size() && log.compare(log.size() - admin.size(), admin.size(), admin) == 0) {
    log.resize(log.size() - admin.size());
  }
  return log;
}

inline bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace tarn::test
