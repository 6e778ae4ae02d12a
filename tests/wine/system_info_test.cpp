// The get-system-information step: fixed answers exactly, the others against what the
// platform itself reports.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builder/script_writer.h"
#include "engine/changes/system_info.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"
#include "tests/wine/change_runs.h"

namespace tarn {
namespace {

class SystemInfo : public ::testing::Test {
 protected:
  test::EngineFixture run_;
  std::string dir_ = test::MakeTempDirectory("sysinfo");

  // Runs one get-system-information record and returns the variable it filled (which
  // held a stale value before).
  std::string Info(uint8_t kind, const std::string& argument = "") {
    SetVariable(*g_run.variables, "RESULT", "stale");
    ScriptWriter w(test::ChangeHeader(""));
    size_t at = AddGetSystemInfo(w, kind, "RESULT", argument);
    GetSystemInfoStep(w.bytes().data() + at);
    char value[256];
    GetVariable(*g_run.variables, "RESULT", value, sizeof value);
    return value;
  }

  std::string MakeFile(const char* name, size_t size, WORD year) {
    std::string path = dir_ + "\\" + name;
    test::WriteWholeFile(path, std::string(size, 'x'));
    SYSTEMTIME local{};
    local.wYear = year;
    local.wMonth = 6;
    local.wDay = 15;
    local.wHour = 13;
    local.wMinute = 45;
    local.wSecond = 31;  // DOS times hold even seconds
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
    return path;
  }
};

// A drive letter that names no drive here.
char UnusedDrive() {
  DWORD drives = GetLogicalDrives();
  for (int i = 25; i >= 3; --i) {
    if (!(drives & (1u << i))) return static_cast<char>('A' + i);
  }
  return '\0';
}

TEST_F(SystemInfo, FixedAnswers) {
  run_.host().installerPath = "C:\\Downloads\\SETUP.EXE";
  std::string file = MakeFile("dated.bin", 12345, 2005);
  std::string missing = dir_ + "\\missing.bin";
  char unused = UnusedDrive();
  ASSERT_NE(unused, '\0');
  char fallbackSerial[16];
  std::snprintf(fallbackSerial, sizeof fallbackSerial, "0000-%04x", unused - 'A' + 1);
  struct Case {
    uint8_t kind;
    std::string argument, value;
  };
  const Case cases[] = {
      {8, "\\\\server\\share", "N"},
      {8, "\\\\server\\share\\dir\\file.txt", "N"},
      {8, "", ""},
      {8, std::string(1, unused) + ":\\", ""},
      {13, "", "C:\\Downloads\\SETUP.EXE"},
      {14, file, "12345"},
      {14, missing, ""},
      {4, file, "06/15/05 13:45:30"},
      {20, file, "06/15/2005 13:45:30"},
      {4, missing, ""},
      {20, missing, ""},
      {5, file, ""},  // no version resource
      {12, "\\\\server\\share\\x", "\\\\server\\share\\x"},
      {12, "dir\\x", "dir\\x"},
      {12, std::string(1, unused) + ":\\dir", std::string(1, unused) + ":\\dir"},
      {15, std::string(1, unused) + ":", fallbackSerial},
      {16, std::string(1, unused) + ":", ""},
      {21, "", "0"},
      {21, "C", "0"},
      {11, "", ""},
      {22, "C:\\", ""},
      {255, "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Info(c.kind, c.argument), c.value) << int(c.kind) << " " << c.argument;
}

TEST_F(SystemInfo, ArgumentsAreExpandedAndNamesMayCarryPercentSigns) {
  SetVariable(*g_run.variables, "DIR", dir_.c_str());
  MakeFile("sized.bin", 77, 2010);
  EXPECT_EQ(Info(14, "%DIR%\\sized.bin"), "77");
  ScriptWriter w(test::ChangeHeader(""));
  size_t at = AddGetSystemInfo(w, 14, "%SIZE%", "%DIR%\\sized.bin");
  GetSystemInfoStep(w.bytes().data() + at);
  char value[256];
  GetVariable(*g_run.variables, "SIZE", value, sizeof value);
  EXPECT_STREQ(value, "77");
}

std::string Format(const char* format, long a, long b, long c = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

TEST_F(SystemInfo, PlatformAnswers) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(Info(1), Format("%ld.%ld.%ld", version.dwMajorVersion, version.dwMinorVersion,
                            version.dwBuildNumber & 0xFFFF));
  DWORD packed = GetVersion();
  EXPECT_EQ(Info(2), Format("%ld.%ld", (packed >> 24) & 0xFF, (packed >> 16) & 0xFF));
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
  EXPECT_EQ(Info(3), std::to_string(memory.ullTotalPhys / 1024));

  // The service pack from its first digit, or "0".
  std::string csd = version.szCSDVersion;
  size_t digit = csd.find_first_of("0123456789");
  EXPECT_EQ(Info(18), digit == std::string::npos ? "0" : csd.substr(digit));

  // Local date and time: the date part is today's (unless midnight passes in between).
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string shortDate = Info(0), longDate = Info(19);
  char today[16];
  std::snprintf(today, sizeof today, "%02d/%02d/%02d ", now.wMonth, now.wDay, now.wYear % 100);
  EXPECT_EQ(shortDate.substr(0, 9), today) << shortDate;
  std::snprintf(today, sizeof today, "%02d/%02d/%04d ", now.wMonth, now.wDay, now.wYear);
  EXPECT_EQ(longDate.substr(0, 11), today) << longDate;
  int h, m, s;
  EXPECT_EQ(std::sscanf(longDate.c_str() + 11, "%d:%2d:%2d", &h, &m, &s), 3) << longDate;

  // Registered owner and organization, set here for the test and put back afterwards.
  const char* const kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key), ERROR_SUCCESS);
  struct Name {
    const char* value;
    uint8_t kind;
    const char* text;
  };
  for (const Name& n : {Name{"RegisteredOwner", 6, "Tarn Owner"}, Name{"RegisteredOrganization", 7, "Tarn Org"}}) {
    char saved[256];
    DWORD size = sizeof saved;
    bool had = RegQueryValueExA(key, n.value, nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;
    RegSetValueExA(key, n.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(n.text), std::strlen(n.text) + 1);
    EXPECT_EQ(Info(n.kind), n.text);
    RegDeleteValueA(key, n.value);
    EXPECT_EQ(Info(n.kind), "") << n.value;
    if (had) RegSetValueExA(key, n.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), size);
  }
  RegCloseKey(key);

  // The file version of a system library, as its version resource says.
  char kernel[MAX_PATH];
  GetSystemDirectoryA(kernel, sizeof kernel);
  std::string kernelPath = std::string(kernel) + "\\kernel32.dll";
  DWORD handle = 0;
  DWORD length = GetFileVersionInfoSizeA(kernelPath.c_str(), &handle);
  ASSERT_GT(length, 0u);
  std::string block(length, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(kernelPath.c_str(), 0, length, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(Info(5, kernelPath), expected);
}

TEST_F(SystemInfo, DrivesAndVolumes) {
  // Drive type letters of every drive there is, and the first remote and CD-ROM drives.
  std::string firstRemote, firstCd;
  for (char d = 'A'; d <= 'Z'; ++d) {
    std::string root = std::string(1, d) + ":\\";
    UINT type = GetDriveTypeA(root.c_str());
    const char* letter = type == DRIVE_REMOVABLE ? "F"
                         : type == DRIVE_FIXED   ? "H"
                         : type == DRIVE_REMOTE  ? "N"
                         : type == DRIVE_CDROM   ? "C"
                         : type == DRIVE_RAMDISK ? "R"
                                                 : "";
    EXPECT_EQ(Info(8, root + "some\\path"), letter) << root;
    EXPECT_EQ(Info(8, std::string(1, static_cast<char>(d + 32)) + ":"), letter) << root;  // lower case
    if (type == DRIVE_REMOTE && firstRemote.empty()) firstRemote = root.substr(0, 2);
    if (type == DRIVE_CDROM && firstCd.empty()) firstCd = root.substr(0, 2);
  }
  EXPECT_EQ(Info(9), firstRemote);
  EXPECT_EQ(Info(10), firstCd);

  // Serial number and label of drive C.
  char label[MAX_PATH] = "";
  DWORD serial = 0;
  ASSERT_TRUE(GetVolumeInformationA("C:\\", label, sizeof label, &serial, nullptr, nullptr, nullptr, 0));
  char serialText[16];
  std::snprintf(serialText, sizeof serialText, "%04lx-%04lx", serial >> 16, serial & 0xFFFF);
  EXPECT_EQ(Info(15, "C:\\whatever"), serialText);
  EXPECT_EQ(Info(16, "c:"), label);
  EXPECT_EQ(VolumeSerial(3), serial);
}

TEST_F(SystemInfo, NetworkUserThroughTheProvider) {
  HMODULE mpr = LoadLibraryA("MPR.DLL");
  ASSERT_NE(mpr, nullptr);
  using GetUser = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  auto getUser = reinterpret_cast<GetUser>(reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetUserA")));
  ASSERT_NE(getUser, nullptr);
  char user[256] = "";
  DWORD size = sizeof user;
  if (getUser(nullptr, user, &size) != NO_ERROR) user[0] = '\0';
  FreeLibrary(mpr);
  EXPECT_EQ(Info(17), user);
  char out[256];
  EXPECT_EQ(NetworkUser(out, nullptr), user[0] != '\0');
  EXPECT_STREQ(out, user);
}

// Free space: the extended query when there is one, else the classic query; both
// measure the root of the path. Other tests write files meanwhile, so a margin is allowed.
TEST_F(SystemInfo, FreeSpaceWithBothQueries) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
  uint64_t expectedEx = available.QuadPart / 1024;
  const uint64_t margin = 256 * 1024;  // KB
  auto within = [&](uint64_t value, uint64_t expected) {
    return value + margin >= expected && value <= expected + margin;
  };

  g_run.getDiskFreeSpaceEx = GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetDiskFreeSpaceExA");
  ASSERT_NE(g_run.getDiskFreeSpaceEx, nullptr);
  for (const char* path : {"C:", "C:\\", "C:\\windows\\system32", "c:\\no\\such\\dir"}) {
    std::string text = Info(21, path);
    EXPECT_TRUE(within(std::strtoull(text.c_str(), nullptr, 10), expectedEx)) << path << " " << text;
  }
  EXPECT_EQ(FreeSpaceKb(""), 0u);

  g_run.getDiskFreeSpaceEx = nullptr;
  DWORD sectors, bytes, freeClusters, clusters;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &clusters));
  uint64_t expectedClassic = static_cast<uint64_t>(sectors) * bytes * freeClusters / 1024;
  std::string text = Info(21, "C:\\windows");
  EXPECT_TRUE(within(std::strtoull(text.c_str(), nullptr, 10), expectedClassic)) << text;
  char unused = UnusedDrive();
  EXPECT_EQ(FreeSpaceKb((std::string(1, unused) + ":\\").c_str()), 0u);
}

std::string g_installer;

TEST(SystemInfoRun, AScriptAsksForTheInstallerPath) {
  g_run.hooks.beforeRelease = [] {
    char value[256];
    GetVariable(*g_run.variables, "INSTALLER", value, sizeof value);
    g_installer = value;
  };
  auto run = test::RunLogged("", [](ScriptWriter& w) { AddGetSystemInfo(w, 13, "INSTALLER", ""); });
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_EQ(run.result.returnValue, 0);
  EXPECT_EQ(g_installer, run.result.installerPath);
}

}  // namespace
}  // namespace tarn
