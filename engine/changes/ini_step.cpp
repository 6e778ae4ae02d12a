// The INI step (opcode 5): writes and deletes keys of one section of an INI file, or
// deletes the whole section, and logs every key it touches.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/changes/file_system.h"
#include "engine/changes/ini_text.h"
#include "engine/changes/install_log.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {
constexpr DWORD kPreviousValueSize = 513;  // 512 characters
}  // namespace

int EditIniSectionStep(const uint8_t* record) {
  if (g_run.options.runMode == kRunTest) return 0;
  VariableStore& vars = *g_run.variables;
  SetVariable(vars, "INSTALL_RESULT", "");
  g_run.settingsChanged = true;

  const char* fileText = reinterpret_cast<const char*>(record + 1);
  const char* sectionText = fileText + std::strlen(fileText) + 1;
  const char* linesText = sectionText + std::strlen(sectionText) + 1;
  char section[kValueSize];
  ExpandPath(vars, section, sectionText);
  char* lines = g_run.dataBuffer;
  ExpandText(vars, lines, linesText, kWorkBufferSize);
  char path[kValueSize];
  ExpandPath(vars, path, IniFileTemplate(fileText).c_str());

  if (IsMissing(path) && g_run.options.runMode != kRunDirectoryOverride && !g_run.logPaused) {
    LogText("INI New: Created INI\r\n");
  }

  if (lines[0] == '\0') {
    if (!WritePrivateProfileStringA(section, nullptr, nullptr, path)) SetVariable(vars, "INSTALL_RESULT", "E");
    return 0;
  }

  const char* pos = lines;
  IniLine line;
  while (NextIniLine(&pos, &line)) {
    char previous[kPreviousValueSize];
    GetPrivateProfileStringA(section, line.key.c_str(), "", previous, sizeof previous, path);
    BOOL written = WritePrivateProfileStringA(section, line.key.c_str(),
                                              line.value.empty() ? nullptr : line.value.c_str(), path);
    if (!written) SetVariable(vars, "INSTALL_RESULT", "E");
    std::string old = previous;
    WriteIniRecord(path, section, line.key, line.value, old.empty() ? nullptr : &old);
  }
  return 0;
}

}  // namespace tarn
