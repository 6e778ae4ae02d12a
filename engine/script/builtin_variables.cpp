#include "engine/script/builtin_variables.h"

#include <windows.h>

#include <cstdio>

#include "engine/changes/file_system.h"
#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/ui/banner.h"

namespace tarn {
namespace {

struct DirectorySlot {
  const char* name;
  const char* label;  // shown when the directory is confirmed in the override mode
};
constexpr DirectorySlot kDirectorySlots[] = {
    {"%WIN%", "Windows"}, {"%SYS%", "System"}, {"%SYS32%", "System32"},
    {"%TEMP%", "Temp"},   {"%INST%", "Source"},
};

void QueryDirectory(int slot, char* out, size_t size) {
  out[0] = '\0';
  switch (slot) {
    case 3:
      GetWindowsDirectoryA(out, static_cast<UINT>(size));
      break;
    case 4:
    case 5:
      GetSystemDirectoryA(out, static_cast<UINT>(size));
      break;
    case 6:
      MakeTemporaryFile(nullptr, out, size, true);
      break;
    case 7:
      if (g_run.host->installerPath != nullptr) {
        CopyText(out, size, g_run.host->installerPath);
        const char* slash = FindLastChar(out, '\\');
        if (slash != nullptr) *const_cast<char*>(slash) = '\0';
      }
      break;
  }
  CutTrailing(out, "\\");
}

// The path prompt of the override mode is not built yet: each directory is accepted as it
// was found.
bool ConfirmDirectory(const char* /*label*/, char* /*value*/) { return true; }

bool CanCreateFileIn(const char* directory) {
  char probe[MAX_PATH];
  std::snprintf(probe, sizeof probe, "%s\\ZERVINST.%%$E", directory);
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool created = file != INVALID_HANDLE_VALUE;
  if (created) {
    CloseHandle(file);
    DeleteFileA(probe);
  }
  SetErrorMode(previous);
  return created;
}

void FontsDirectory(char* out, size_t size) {
  const VariableStore& v = *g_run.variables;
  const char* windows = v.values[3];
  const char* system = v.values[4];
  if (!g_run.platform.isShell4) {
    CopyText(out, size, system);
    return;
  }
  char shared[MAX_PATH];
  DWORD sharedSize = sizeof shared;
  HKEY key;
  bool sharedInstallation = false;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    sharedInstallation = RegQueryValueExA(key, "SharedDir", nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(shared), &sharedSize) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  char systemFonts[MAX_PATH];
  std::snprintf(systemFonts, sizeof systemFonts, "%s\\Fonts", system);
  if (sharedInstallation && CanCreateFileIn(systemFonts)) {
    CopyText(out, size, systemFonts);
  } else {
    std::snprintf(out, size, "%s\\Fonts", windows);
  }
}

uint64_t SecondsSince1970() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10000000ull - 11644473600ull;
}

}  // namespace

bool CreateBuiltinVariables() {
  VariableStore& v = *g_run.variables;
  WriteSlotDirect(v, 2, "%%", "%");
  v.count = 3;
  for (int i = 0; i < 5; ++i) {
    int slot = 3 + i;
    char value[MAX_PATH];
    QueryDirectory(slot, value, sizeof value);
    WriteSlotDirect(v, slot, kDirectorySlots[i].name, value);
    v.count = static_cast<uint16_t>(slot + 1);
    if (g_run.options.runMode == kRunDirectoryOverride &&
        !ConfirmDirectory(kDirectorySlots[i].label, v.values[slot])) {
      return false;
    }
  }
  char fonts[MAX_PATH];
  FontsDirectory(fonts, sizeof fonts);
  SetVariable(v, "FONTS", fonts);

  char number[32];
  SetVariable(v, "DISK_NUMBER", "1");
  SetVariable(v, "CRLF", "\r\n");
  std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(SecondsSince1970()));
  SetVariable(v, "INSTALL_SDTVAL", number);
  std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&BannerDlg)));
  SetVariable(v, "BANNER_DLGPRC_", number);
  SetVariable(v, "BANNER_DLGRES_", "1540");
  std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(g_run.engineInstance)));
  SetVariable(v, "BANNER_INSTAN_", number);
  return true;
}

}  // namespace tarn
