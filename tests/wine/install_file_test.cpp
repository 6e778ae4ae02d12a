// Installing files through whole runs: the archive, the rules, backups, files in use,
// replacement at restart and the version installer.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/changes/install_rules.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "host/archive_codec.h"
#include "host/crc32.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

using test::Exists;
using test::ReadWholeFile;
using test::WriteWholeFile;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string FixturePath(const char* name) {
  const char* dir = std::getenv("TARN_FIXTURES");
  char full[MAX_PATH];
  GetFullPathNameA((std::string(dir ? dir : "fixtures") + "\\" + name).c_str(), sizeof full, full, nullptr);
  return full;
}

uint16_t DosDate(int year, int month, int day) { return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day); }
uint16_t DosTime(int hour, int minute) { return static_cast<uint16_t>((hour << 11) | (minute << 5)); }

void SetFileDate(const std::string& path, uint16_t date, uint16_t time) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME local, utc;
  DosDateTimeToFileTime(date, time, &local);
  LocalFileTimeToFileTime(&local, &utc);
  SetFileTime(file, nullptr, nullptr, &utc);
  CloseHandle(file);
}

// Variables and facts of the run, taken just before the end of the run frees them.
std::map<std::string, std::string> g_vars;
void Snapshot() {
  g_vars.clear();
  const VariableStore& v = *g_run.variables;
  for (int i = 0; i < v.count; ++i) {
    if (v.names[i][0]) g_vars[v.names[i]] = v.values[i];
  }
}

// A script with an archive: files are added with their data, the script's records refer
// to them by offset and checksum.
class Package {
 public:
  explicit Package(const std::string& logPath = "") {
    ScriptHeaderFields h;
    h.logPath = logPath;
    LanguageTexts l = test::EnglishTexts("Install Test");
    l.messages[0] = "Cannot create %s.";
    l.messages[22] = "%s is in use.";
    l.messages[26] = "Cannot open %s.";
    h.languages.push_back(l);
    writer_ = std::make_unique<ScriptWriter>(h);
  }
  ScriptWriter& w() { return *writer_; }
  // Adds `data` to the archive and returns a record's fields for it.
  InstallFileFields File(const std::string& destination, const std::string& data, uint8_t flags = 0) {
    std::vector<uint8_t> packed = PackStored(Bytes(data));
    InstallFileFields f;
    f.flags = flags;
    f.dataStart = static_cast<uint32_t>(archive_.size());
    f.dataEnd = f.dataStart + static_cast<uint32_t>(packed.size());
    f.fileDate = DosDate(2020, 6, 15);
    f.fileTime = DosTime(12, 0);
    f.fileSize = static_cast<uint32_t>(data.size());
    f.dataChecksum = Crc32Update(0, data.data(), data.size());
    f.destination = destination;
    archive_.insert(archive_.end(), packed.begin(), packed.end());
    return f;
  }
  void Install(const InstallFileFields& f) { writer_->InstallFile(f); }
  void Set(const std::string& name, const std::string& value) {
    // A variable set by a call of the engine's own set-variable function is not built
    // yet: tests preset variables through the start-up hook instead.
    presets_[name] = value;
  }
  test::RunResult Run(const std::string& commandLine = "", uint32_t hostFlags = 2) {
    test::Installation i;
    i.script = writer_->bytes();
    i.fileData = archive_;
    i.commandLine = commandLine;
    i.hostFlags = hostFlags;
    s_presets = &presets_;
    g_run.hooks.beforeRelease = &Snapshot;
    g_run.hooks.afterStartUp = [] {
      for (const auto& [name, value] : *s_presets) SetVariable(*g_run.variables, name.c_str(), value.c_str());
    };
    return test::RunInstallation(i, &TarnMain);
  }
  std::vector<uint8_t>& archive() { return archive_; }

 private:
  static inline std::map<std::string, std::string>* s_presets = nullptr;
  std::unique_ptr<ScriptWriter> writer_;
  std::vector<uint8_t> archive_;
  std::map<std::string, std::string> presets_;
};

class InstallFile : public ::testing::Test {
 protected:
  std::string dir_ = test::MakeTempDirectory("inst");
  std::string log_ = dir_ + "\\INSTALL.LOG";
};

TEST_F(InstallFile, InstallsByteIdenticalAndLogsCopyThenOverwrite) {
  std::string payload;
  for (int i = 0; i < 100000; ++i) payload += static_cast<char>('A' + i % 26);
  for (const char* expected : {"File Copy: ", "File Overwrite: "}) {
    Package s(log_);
    s.Install(s.File(dir_ + "\\app\\data.bin", payload));
    test::RunResult r = s.Run();
    EXPECT_EQ(r.returnValue, 0);
    EXPECT_EQ(ReadWholeFile(dir_ + "\\app\\data.bin"), payload);
    EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "");
    std::string log = ReadWholeFile(log_);
    EXPECT_NE(log.rfind(std::string(expected) + dir_ + "\\app\\data.bin\r\n"), std::string::npos) << log;
  }
  std::string log = ReadWholeFile(log_);
  EXPECT_NE(log.find("Made Dir: " + dir_ + "\\app\r\n"), std::string::npos);
  // No temporary file is left beside the destination.
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir_ + "\\app\\~ZEH*").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(InstallFile, DefaultLogLocationIsBesideTheFirstFile) {
  Package s;  // no log path in the header
  s.Install(s.File(dir_ + "\\first.txt", "1"));
  s.Install(s.File(dir_ + "\\sub\\second.txt", "2"));
  s.Run();
  std::string log = ReadWholeFile(dir_ + "\\INSTALL.LOG");
  EXPECT_NE(log.find("File Copy: " + dir_ + "\\sub\\second.txt"), std::string::npos) << log;
}

TEST_F(InstallFile, DateRules) {
  struct Case {
    uint8_t rule;
    const char* result;
    bool installed;
    const char* logged;  // "" = nothing about a refused file
  } cases[] = {
      {kDateSkipIfNewer, "", true, ""},
      {kDateSkipIfNewerOrSame, "D", false, "Date/Time: Following file not copied.\r\n File Copy: "},
      {kDateOnlyIfMissing, "E", false, ""},
  };
  for (const Case& c : cases) {
    std::string target = dir_ + "\\dated.txt";
    WriteWholeFile(target, "old");
    Package s(log_);
    InstallFileFields f = s.File(target, "new", c.rule);
    SetFileDate(target, f.fileDate, f.fileTime);  // the same date and time as the new file
    s.Install(f);
    s.Run();
    EXPECT_EQ(g_vars["%INSTALL_RESULT%"], c.result) << int(c.rule);
    EXPECT_EQ(ReadWholeFile(target), c.installed ? "new" : "old") << int(c.rule);
    std::string log = ReadWholeFile(log_);
    if (c.logged[0]) {
      EXPECT_NE(log.find(std::string(c.logged) + target + "\r\n"), std::string::npos) << log;
    }
    DeleteFileA(log_.c_str());
  }
  // A newer existing file is kept by 0x08 too.
  std::string target = dir_ + "\\newer.txt";
  WriteWholeFile(target, "newer");
  Package s(log_);
  InstallFileFields f = s.File(target, "older", kDateSkipIfNewer);
  SetFileDate(target, DosDate(2024, 1, 1), 0);
  s.Install(f);
  s.Run();
  EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "D");
  EXPECT_EQ(ReadWholeFile(target), "newer");
}

TEST_F(InstallFile, VersionRules) {
  std::string v1 = ReadWholeFile(FixturePath("versioned_dll_v1.dll"));
  std::string v2 = ReadWholeFile(FixturePath("versioned_dll_v2.dll"));
  std::string app9 = ReadWholeFile(FixturePath("versioned_app_v9.exe"));
  ASSERT_FALSE(v1.empty());
  ASSERT_FALSE(app9.empty());
  std::string target = dir_ + "\\lib.dll";
  auto install = [&](const std::string& data, uint32_t versionMS, uint32_t fileType, const char* checkType) {
    Package s(log_);
    InstallFileFields f = s.File(target, data, kCheckVersion);
    f.versionMS = versionMS;
    f.fileOS = VOS_NT_WINDOWS32;
    f.fileType = fileType;
    s.Install(f);
    if (checkType) s.Set("VER_CHECK_TYPE", checkType);
    s.Run();
    return ReadWholeFile(target);
  };
  // Over a file without a version resource, a versioned file always installs.
  for (const char* mode : {"1", static_cast<const char*>(nullptr)}) {
    WriteWholeFile(target, "no version here");
    EXPECT_EQ(install(v1, 0x10000, VFT_DLL, mode), v1) << (mode ? "numbers" : "full");
  }
  // A newer file of another type: refused in full mode, installed by the numbers.
  WriteWholeFile(target, v2);
  EXPECT_EQ(install(app9, 0x90000, VFT_APP, nullptr), v2);
  EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "V");
  EXPECT_NE(ReadWholeFile(log_).find("Version: Following file not copied.\r\n"), std::string::npos);
  EXPECT_EQ(install(app9, 0x90000, VFT_APP, "1"), app9);
  EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "");
  // An older file is refused in both modes.
  WriteWholeFile(target, v2);
  EXPECT_EQ(install(v1, 0x10000, VFT_DLL, "1"), v2);
  EXPECT_EQ(install(v1, 0x10000, VFT_DLL, nullptr), v2);
  EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "V");
}

TEST_F(InstallFile, BackupsAndTheIdenticalBackup) {
  std::string backup = dir_ + "\\backup";
  std::string target = dir_ + "\\conf.ini";
  WriteWholeFile(target, "old content");
  {
    Package s(log_);
    s.Install(s.File(target, "new content"));
    s.Set("BACKUPDIR", backup);
    s.Run();
  }
  EXPECT_EQ(ReadWholeFile(target), "new content");
  EXPECT_EQ(ReadWholeFile(backup + "\\conf.ini"), "old content");
  EXPECT_NE(ReadWholeFile(log_).find("Backup Copy: " + backup + "\\conf.ini\r\n"), std::string::npos);
  // Installing the same content again: the backup equals the new file and is deleted.
  DeleteFileA(log_.c_str());
  {
    Package s(log_);
    s.Install(s.File(target, "new content"));
    s.Set("BACKUPDIR", backup);
    s.Run();
  }
  EXPECT_FALSE(Exists(backup + "\\conf.001"));
  EXPECT_EQ(ReadWholeFile(log_).find("Backup Copy:"), std::string::npos);
}

uint32_t SharedCount(const std::string& path) {
  HKEY key;
  uint32_t count = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0, KEY_READ,
                    &key) == ERROR_SUCCESS) {
    DWORD size = sizeof count;
    if (RegQueryValueExA(key, path.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS) {
      count = 0;
    }
    RegCloseKey(key);
  }
  return count;
}

TEST_F(InstallFile, SharedFileCounter) {
  std::string fresh = dir_ + "\\fresh.dll";
  std::string found = dir_ + "\\found.dll";
  std::string plain = dir_ + "\\plain.dll";
  WriteWholeFile(found, "was here");
  WriteWholeFile(plain, "was here");
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0, nullptr, 0,
                  KEY_WRITE, nullptr, &key, nullptr);
  DWORD three = 3;
  RegSetValueExA(key, plain.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three), sizeof three);
  RegCloseKey(key);
  Package s(log_);
  s.Install(s.File(fresh, "x", kSharedFile));
  s.Install(s.File(found, "y", kSharedFile));
  s.Install(s.File(plain, "z", 0));
  s.Run();
  EXPECT_EQ(SharedCount(fresh), 1u);
  EXPECT_EQ(SharedCount(found), 2u);
  EXPECT_EQ(SharedCount(plain), 3u);  // left alone
  std::string log = ReadWholeFile(log_);
  EXPECT_NE(log.find("Shared DLL counter ignored:\r\nFile Overwrite: " + plain), std::string::npos) << log;
}

TEST_F(InstallFile, TestRunChangesNothing) {
  std::string target = dir_ + "\\untouched.txt";
  Package s(log_);
  s.Install(s.File(target, "data"));
  s.Install(s.File(dir_ + "\\forced.txt", "always", kNoLog));  // NO_LOG installs even in a test run
  test::RunResult r = s.Run("/T");
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(ReadWholeFile(dir_ + "\\forced.txt"), "always");
  EXPECT_FALSE(Exists(log_));
}

TEST_F(InstallFile, WildcardTreeAndEmptyDirectory) {
  std::string source = dir_ + "\\src";
  CreateDirectoryA(source.c_str(), nullptr);
  CreateDirectoryA((source + "\\sub").c_str(), nullptr);
  CreateDirectoryA((source + "\\sub\\empty").c_str(), nullptr);
  WriteWholeFile(source + "\\a.txt", "A");
  WriteWholeFile(source + "\\sub\\b.txt", "B");
  Package s(log_);
  InstallFileFields f;
  f.flags = kExternalSource;
  f.flags2 = kWildcard | kRecurse;
  f.destination = dir_ + "\\dest";
  f.withSource = true;
  f.source = source + "\\*.*";
  s.Install(f);
  s.Run();
  EXPECT_EQ(ReadWholeFile(dir_ + "\\dest\\a.txt"), "A");
  EXPECT_EQ(ReadWholeFile(dir_ + "\\dest\\sub\\b.txt"), "B");
  EXPECT_TRUE(Exists(dir_ + "\\dest\\sub\\empty"));  // "*.*" over an empty directory
  // A pattern that matches nothing creates nothing.
  Package none(log_);
  f.destination = dir_ + "\\nothing";
  f.source = source + "\\*.none";
  none.Install(f);
  none.Run();
  EXPECT_FALSE(Exists(dir_ + "\\nothing"));
}

TEST_F(InstallFile, TransformLibraryRewritesTheFile) {
  std::string library = ReadWholeFile(FixturePath("transform_fixture.dll"));
  ASSERT_FALSE(library.empty());
  for (const char* argument : {"upper", "fail"}) {
    Package s(log_);
    std::string target = dir_ + "\\" + argument + ".txt";
    InstallFileFields f = s.File(target, "mixed Case text");
    f.transformArg = argument;
    s.Install(f);
    test::Installation i;
    i.script = s.w().bytes();
    i.fileData = s.archive();
    i.hostFlags = 2 | kHostHasTransformLibrary;
    i.auxEntries[0] = Bytes(library);
    test::RunResult r = test::RunInstallation(i, &TarnMain);
    if (std::string(argument) == "upper") {
      EXPECT_EQ(r.returnValue, 0);
      EXPECT_EQ(ReadWholeFile(target), "MIXED CASE TEXT");
    } else {
      EXPECT_EQ(r.returnValue, 1);
      EXPECT_STREQ(g_run.errorText, "The transform refused the file.");
      EXPECT_FALSE(Exists(target));
    }
  }
}

TEST_F(InstallFile, ShortArchiveDataKeepsTheOldFile) {
  std::string target = dir_ + "\\keep.txt";
  WriteWholeFile(target, "the old file");
  Package s(log_);
  InstallFileFields f = s.File(target, "replacement data");
  f.dataEnd += 500;  // announce more than the archive holds
  s.Install(f);
  test::RunResult r = s.Run();
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_EQ(r.recordAfter.errorState, kErrorArchiveRead);
  EXPECT_STREQ(g_run.errorText, "message 7");
  EXPECT_EQ(ReadWholeFile(target), "the old file");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir_ + "\\~ZEH*").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(InstallFile, CancelDuringALargeFileKeepsTheOldFile) {
  std::string target = dir_ + "\\large.bin";
  WriteWholeFile(target, "previous version");
  Package s(log_);
  s.Install(s.File(target, std::string(3 * 1024 * 1024, 'L')));
  SetCodecChunkHook([](uint32_t written) {
    if (written >= 256 * 1024) g_run.host->cancelState = kCancelUser;
  });
  test::RunResult r = s.Run();
  SetCodecChunkHook(nullptr);
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_EQ(ReadWholeFile(target), "previous version");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir_ + "\\~ZEH*").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// A destination held open without sharing, as a running program holds its image.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path) {
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

std::string PendingRenames() {
  HKEY key;
  std::string text;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    char data[8192];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
      text.assign(data, size);
    }
    RegCloseKey(key);
  }
  return text;
}

TEST_F(InstallFile, FileInUseIsScheduledForTheNextStart) {
  std::string target = dir_ + "\\busy.dll";
  WriteWholeFile(target, "running");
  auto hold = std::make_unique<HeldOpen>(target);
  ASSERT_TRUE(hold->held());
  Package s(log_);
  s.Install(s.File(target, "replacement"));
  test::RunResult r = s.Run("", 2 | kHostRestartReplaceAllowed | kHostKeepSilentForRestart);
  hold.reset();
  EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "I");
  EXPECT_EQ(g_vars["%RESTART%"], "S");
  EXPECT_EQ(ReadWholeFile(target), "running");
  std::string pending = PendingRenames();
  char shortTarget[MAX_PATH];
  GetShortPathNameA(target.c_str(), shortTarget, sizeof shortTarget);
  EXPECT_TRUE(pending.find("busy.dll") != std::string::npos || pending.find("BUSY.DLL") != std::string::npos)
      << "pending renames: " << pending;
  // The log names the destination and describes the waiting file.
  EXPECT_NE(ReadWholeFile(log_).find("File Overwrite: " + target), std::string::npos);
}

TEST_F(InstallFile, FileInUseWithoutRestartReplacementAsksAndSilentlyCancels) {
  std::string target = dir_ + "\\locked.dll";
  WriteWholeFile(target, "running");
  auto hold = std::make_unique<HeldOpen>(target);
  Package s(log_);
  s.Install(s.File(target, "replacement"));
  test::RunResult r = s.Run();
  hold.reset();
  // A silent run answers the in-use question with its first button: cancel.
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_EQ(r.recordAfter.cancelState, kCancelUser);
  EXPECT_EQ(std::string(g_run.errorText), target + " is in use.");
  EXPECT_EQ(ReadWholeFile(target), "running");
}

TEST_F(InstallFile, RestartReplacementOnOlderPlatforms) {
  struct Case {
    const char* what;
    PlatformInfo platform;
  } cases[] = {
      {"9x", PlatformInfo{true, true, true, false, false, false, false, false}},
      {"batch", PlatformInfo{true, false, false, false, false, false, false, false}},
  };
  for (const Case& c : cases) {
    std::string target = dir_ + "\\old_" + c.what + ".dll";
    WriteWholeFile(target, "running");
    HeldOpen hold(target);
    Package s(log_);
    s.Install(s.File(target, "replacement"));
    g_run.hooks.forcedPlatform = &c.platform;
    test::RunResult r = s.Run("", 2 | kHostRestartReplaceAllowed | kHostKeepSilentForRestart);
    g_run.hooks.forcedPlatform = nullptr;
    EXPECT_EQ(g_vars["%RESTART%"], "W") << c.what;
    EXPECT_EQ(g_vars["%INSTALL_RESULT%"], "I") << c.what;
    char shortTarget[MAX_PATH];
    GetShortPathNameA(target.c_str(), shortTarget, sizeof shortTarget);
    std::string windows = g_vars["%WIN%"];
    if (std::string(c.what) == "9x") {
      char value[MAX_PATH] = "";
      GetPrivateProfileStringA("rename", shortTarget, "", value, sizeof value, (windows + "\\WININIT.INI").c_str());
      EXPECT_NE(std::string(value).find("~ZEH"), std::string::npos) << value;
      WritePrivateProfileStringA("rename", nullptr, nullptr, (windows + "\\WININIT.INI").c_str());
    } else {
      std::string batch = ReadWholeFile(windows + "\\_MSSETUP.BAT");
      EXPECT_NE(batch.find(std::string("del ") + shortTarget + "\r\nrename "), std::string::npos) << batch;
      DeleteFileA((windows + "\\_MSSETUP.BAT").c_str());
    }
  }
}

}  // namespace
}  // namespace tarn
