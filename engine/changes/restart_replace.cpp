#include "engine/changes/restart_replace.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/changes/file_system.h"
#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr int kMessageCannotOpen = 26;

char RestartLetter() {
  char value[8];
  GetVariable(*g_run.variables, "RESTART", value, sizeof value);
  return value[0];
}

// "W" asks for a restart of Windows unless a stronger request is already there.
void RequestWindowsRestart() {
  char letter = RestartLetter();
  if (letter != 'S' && letter != 'E') SetVariable(*g_run.variables, "RESTART", "W");
}

void AppendToRestartBatch(const char* destinationShort, const char* newShort) {
  char batch[256];
  ExpandPath(*g_run.variables, batch, "%WIN%\\_MSSETUP.BAT");
  char lines[1024];
  std::snprintf(lines, sizeof lines, "del %s\r\nrename %s %s\r\n", destinationShort, newShort, FilePart(destinationShort));
  HANDLE file = OpenFile(batch, kOpenWrite, false);
  if (file == INVALID_HANDLE_VALUE) {
    file = OpenFile(batch, kOpenWrite, true);
  } else {
    SeekFile(file, 0, FILE_END);
  }
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFileData(file, lines, static_cast<uint32_t>(std::strlen(lines)));
  CloseHandle(file);
}

}  // namespace

int RequestRestartReplacement(bool versionCheck, bool copyFirst, const char* newFile, const char* destination) {
  if (!(g_run.hostFlags & kHostRestartReplaceAllowed)) return 0;
  char source[256];
  CopyText(source, sizeof source, newFile);
  if (versionCheck) {
    if (!IsNewerVersion(nullptr, source, destination, false)) return 0;
    if (copyFirst) {
      char copyPath[256];
      TemporaryNameNextTo(destination, copyPath, sizeof copyPath);
      CopyRequest copy;
      copy.source = source;
      copy.target = copyPath;
      if (CopyFileWithProgress(copy) != 0) {
        char text[1024];
        FormatOneText(text, sizeof text, Message(kMessageCannotOpen), newFile);
        ReportError(text);
        return -2;
      }
      CopyText(source, sizeof source, copyPath);
    }
  }
  char newShort[256], destinationShort[256];
  CopyText(newShort, sizeof newShort, source);
  CopyText(destinationShort, sizeof destinationShort, destination);
  ConvertPathForm(newShort, false);
  ConvertPathForm(destinationShort, false);

  const PlatformInfo& platform = g_run.platform;
  if (platform.isWinNT) {
    MoveFileExA(newShort, destination, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
    SetVariable(*g_run.variables, "RESTART", "S");
  } else if (platform.isWin9x) {
    char wininit[256];
    ExpandPath(*g_run.variables, wininit, "%WIN%\\WININIT.INI");
    WritePrivateProfileStringA("rename", destinationShort, newShort, wininit);
    RequestWindowsRestart();
  } else {
    g_run.restartBatch = true;
    AppendToRestartBatch(destinationShort, newShort);
    RequestWindowsRestart();
  }
  g_run.restartNeeded = true;
  return 1;
}

}  // namespace tarn
