#include "engine/changes/system_info.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/changes/file_system.h"
#include "engine/changes/registry.h"
#include "engine/changes/system_info_text.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

using GetDiskFreeSpaceExFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
using WNetGetUserFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
using WNetGetConnectionFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
using GlobalMemoryStatusExFunction = BOOL(WINAPI*)(MEMORYSTATUSEX*);

template <typename F>
F FunctionOf(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string Number(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
  return text;
}

// The drive number (0 = A) named by the first character of a path, or -1.
int DriveIndex(const char* path) {
  char c = path[0];
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A';
  return -1;
}

std::string DriveRoot(int drive) {
  char root[4] = {static_cast<char>('A' + drive), ':', '\\', '\0'};
  return root;
}

std::string DriveTypeLetter(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') return "N";
  int drive = DriveIndex(path);
  if (drive < 0) return {};
  switch (DriveTypeOf(drive)) {
    case DRIVE_REMOVABLE: return "F";
    case DRIVE_FIXED: return "H";
    case DRIVE_REMOTE: return "N";
    case DRIVE_CDROM: return "C";
    case DRIVE_RAMDISK: return "R";
    default: return {};
  }
}

std::string FirstDriveOfType(unsigned type) {
  for (int drive = 0; drive < 26; ++drive) {
    if (DriveTypeOf(drive) == type) return DriveRoot(drive).substr(0, 2);
  }
  return {};
}

std::string FileDate(const char* path, bool fourDigitYear) {
  HANDLE file = OpenFile(path, kOpenRead, false);
  if (file == INVALID_HANDLE_VALUE) return {};
  uint16_t date = 0, time = 0;
  bool known = GetFileDosTime(file, &date, &time);
  CloseHandle(file);
  return known ? InfoDosDateTime(date, time, fourDigitYear) : std::string();
}

std::string FileSizeText(const char* path) {
  HANDLE file = OpenFile(path, kOpenRead, false);
  if (file == INVALID_HANDLE_VALUE) return {};
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  bool known = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  CloseHandle(file);
  return known ? Number((static_cast<uint64_t>(high) << 32) | low) : std::string();
}

std::string FileVersionText(const char* path) {
  char shortPath[MAX_PATH];
  if (GetShortPathNameA(path, shortPath, sizeof shortPath) == 0) CopyText(shortPath, sizeof shortPath, path);
  VersionRecord version;
  if (ReadVersionRecord(shortPath, &version) != 0) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(version.versionMS), LOWORD(version.versionMS),
                HIWORD(version.versionLS), LOWORD(version.versionLS));
  return text;
}

std::string RegisteredName(const char* valueName) {
  std::string key = std::string("SOFTWARE\\Microsoft\\Windows") + (g_run.platform.isWin9x ? "" : " NT") +
                    "\\CurrentVersion";
  char value[kValueSize] = "";
  if (ReadRegistryValue(kRootLocalMachine, key.c_str(), value, valueName, nullptr, sizeof value, false) != 0) return {};
  return value;
}

// The argument with its drive letter and colon replaced by the network name the drive is
// connected to.
std::string NetworkPath(const char* path) {
  if (DriveIndex(path) < 0 || path[1] != ':') return path;
  HMODULE mpr = LoadLibraryA("MPR.DLL");
  if (mpr == nullptr) return path;
  auto getConnection = FunctionOf<WNetGetConnectionFunction>(mpr, "WNetGetConnectionA");
  char local[3] = {path[0], ':', '\0'};
  char remote[kValueSize];
  DWORD size = sizeof remote;
  bool connected = getConnection != nullptr && getConnection(local, remote, &size) == NO_ERROR;
  FreeLibrary(mpr);
  return connected ? std::string(remote) + (path + 2) : std::string(path);
}

std::string WindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%ld.%ld.%ld", static_cast<long>(info.dwMajorVersion),
                static_cast<long>(info.dwMinorVersion), static_cast<long>(info.dwBuildNumber & 0xFFFF));
  return text;
}

std::string DosVersion() {
  DWORD version = GetVersion();
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d", static_cast<int>((version >> 24) & 0xFF),
                static_cast<int>((version >> 16) & 0xFF));
  return text;
}

// The extended query where the system has it: the classic one stops at 4 GB.
std::string PhysicalMemoryKb() {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  auto statusEx = kernel ? FunctionOf<GlobalMemoryStatusExFunction>(kernel, "GlobalMemoryStatusEx") : nullptr;
  if (statusEx != nullptr) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (statusEx(&status)) return Number(status.ullTotalPhys / 1024);
  }
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  return Number(status.dwTotalPhys / 1024);
}

std::string ServicePack() {
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof extended;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) return ServicePackNumber(extended.szCSDVersion);
  OSVERSIONINFOA plain{};
  plain.dwOSVersionInfoSize = sizeof plain;
  if (GetVersionExA(&plain)) return ServicePackNumber(plain.szCSDVersion);
  return "0";
}

std::string LocalDateTime(bool fourDigitYear) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return InfoDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, fourDigitYear);
}

std::string VolumeLabel(const char* path) {
  int drive = DriveIndex(path);
  if (drive < 0) return {};
  char label[MAX_PATH] = "";
  if (!GetVolumeInformationA(DriveRoot(drive).c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
    return {};
  }
  return label;
}

std::string Query(uint8_t kind, const char* argument) {
  switch (kind) {
    case 0: return LocalDateTime(false);
    case 1: return WindowsVersion();
    case 2: return DosVersion();
    case 3: return PhysicalMemoryKb();
    case 4: return FileDate(argument, false);
    case 5: return FileVersionText(argument);
    case 6: return RegisteredName("RegisteredOwner");
    case 7: return RegisteredName("RegisteredOrganization");
    case 8: return DriveTypeLetter(argument);
    case 9: return FirstDriveOfType(DRIVE_REMOTE);
    case 10: return FirstDriveOfType(DRIVE_CDROM);
    case 12: return NetworkPath(argument);
    case 13: return (g_run.host != nullptr && g_run.host->installerPath != nullptr) ? g_run.host->installerPath : "";
    case 14: return FileSizeText(argument);
    case 15: {
      int drive = DriveIndex(argument);
      uint32_t serial = drive < 0 ? 0 : VolumeSerial(drive + 1);
      char text[16];
      std::snprintf(text, sizeof text, "%04x-%04x", static_cast<unsigned>(serial >> 16),
                    static_cast<unsigned>(serial & 0xFFFF));
      return text;
    }
    case 16: return VolumeLabel(argument);
    case 17: {
      char user[kValueSize];
      NetworkUser(user, argument[0] != '\0' ? argument : nullptr);
      return user;
    }
    case 18: return ServicePack();
    case 19: return LocalDateTime(true);
    case 20: return FileDate(argument, true);
    case 21: return Number(FreeSpaceKb(argument));
    default: return {};  // 11, and 22 and above
  }
}

}  // namespace

uint64_t FreeSpaceKb(const char* path) {
  std::string root = FreeSpaceRoot(path);
  if (root.empty()) return 0;
  if (g_run.getDiskFreeSpaceEx != nullptr) {
    auto query = reinterpret_cast<GetDiskFreeSpaceExFunction>(reinterpret_cast<void*>(g_run.getDiskFreeSpaceEx));
    ULARGE_INTEGER available, total, free;
    if (!query(root.c_str(), &available, &total, &free)) return 0;
    return available.QuadPart / 1024;
  }
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return 0;
  return ClassicFreeKb(sectorsPerCluster, bytesPerSector, freeClusters);
}

unsigned DriveTypeOf(int drive) { return GetDriveTypeA(DriveRoot(drive).c_str()); }

uint32_t VolumeSerial(int drive) {
  DWORD serial = 0;
  if (!GetVolumeInformationA(DriveRoot(drive - 1).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
    return static_cast<uint32_t>(drive);
  }
  return serial;
}

bool NetworkUser(char* out, const char* localName) {
  out[0] = '\0';
  HMODULE mpr = LoadLibraryA("MPR.DLL");
  if (mpr == nullptr) return false;
  auto getUser = FunctionOf<WNetGetUserFunction>(mpr, "WNetGetUserA");
  DWORD size = kValueSize;
  bool found = getUser != nullptr && getUser(localName, out, &size) == NO_ERROR;
  if (!found) out[0] = '\0';
  FreeLibrary(mpr);
  return found;
}

// Fills the record's variable with one fact, as text; never stops the run.
int GetSystemInfoStep(const uint8_t* record) {
  VariableStore& vars = *g_run.variables;
  uint8_t kind = record[1];
  const char* variable = reinterpret_cast<const char*>(record + 2);
  const char* argumentText = variable + std::strlen(variable) + 1;
  char argument[kValueSize];
  ExpandPath(vars, argument, argumentText);
  std::string value = Query(kind, argument);
  char* slot = FindOrAddVariable(vars, variable);
  slot[0] = '\0';
  CopyText(slot, kValueSize, value.c_str());
  return 0;
}

}  // namespace tarn
