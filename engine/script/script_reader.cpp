#include "engine/script/script_reader.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "engine/entry/run_state.h"
#include "engine/script/builtin_variables.h"
#include "engine/script/text.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

const char* At(size_t offset) { return reinterpret_cast<const char*>(g_run.script + offset); }

void DescribeStoreInParameterBlocks() {
  VariableStore& v = *g_run.variables;
  ActionParams& p = g_run.actionParams;
  p.size = sizeof(ActionParams);
  p.window = g_run.hostWindow;
  p.variableCapacity = kVariableCapacity;
  p.nameSize = kNameSize;
  p.valueSize = kValueSize;
  p.names = &v.names[0][0];
  p.values = &v.values[0][0];
  p.runMode = g_run.options.runMode;
  p.logFile = INVALID_HANDLE_VALUE;

  ActionParamsEx& x = g_run.actionParamsEx;
  x.size = sizeof(ActionParamsEx);
  x.window = g_run.hostWindow;
  x.variableCapacity = kVariableCapacity;
  x.nameSize = kNameSize;
  x.valueSize = kValueSize;
  x.names = p.names;
  x.values = p.values;
  x.runMode = g_run.options.runMode;
  x.logFile = INVALID_HANDLE_VALUE;
  x.silent = g_run.host->silent;
}

// The user's language code, as the language list compares it.
void SystemLanguageCode(char* out, size_t size) {
  out[0] = '\0';
  if (g_run.platform.isWinNT) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD length = static_cast<DWORD>(size);
      DWORD type = 0;
      if (RegQueryValueExA(key, "sLanguage", nullptr, &type, reinterpret_cast<BYTE*>(out), &length) != ERROR_SUCCESS ||
          type != REG_SZ) {
        out[0] = '\0';
      }
      out[size - 1] = '\0';
      RegCloseKey(key);
    }
  } else {
    GetProfileStringA("Intl", "sLanguage", "", out, static_cast<DWORD>(size));
  }
}

// Chooses the installation language; false when the choice was cancelled.
bool ChooseInstallationLanguage() {
  const ScriptHeader& h = g_run.header;
  VariableStore& v = *g_run.variables;
  if (h.languageCountByte < 2) {
    g_run.languageIndex = 0;
    CopyText(v.values[1], kValueSize, At(h.singleLanguageName));
    return true;
  }
  CopyText(g_run.promptCaption, 64, At(h.languageDialogCaption));
  CopyText(g_run.promptText, sizeof g_run.promptText, At(h.languageDialogText));
  std::vector<const char*> codes;
  for (const LanguageEntry& entry : h.languages) codes.push_back(At(entry.code));
  char systemCode[256];
  SystemLanguageCode(systemCode, sizeof systemCode);
  LanguageChoice choice =
      ChooseLanguage(codes.data(), static_cast<int>(codes.size()), systemCode, g_run.host->silent != 0,
                     g_run.options.runMode == kRunTest, (g_run.hostFlags & kHostListDialogOption) != 0);
  if (choice.closesByItself) {
    g_run.languageIndex = choice.preselected >= 0 ? choice.preselected : 0;
    CopyText(v.values[1], kValueSize, choice.preselected >= 0 ? At(h.languages[choice.preselected].name) : "");
    return true;
  }
  // The language list dialog is not built yet: the preselected language, else the first.
  g_run.languageIndex = choice.preselected >= 0 ? choice.preselected : 0;
  CopyText(v.values[1], kValueSize, At(h.languages[g_run.languageIndex].name));
  return true;
}

void TakeTitleAndMessages() {
  const ScriptHeader& h = g_run.header;
  size_t pos = TitleOffset(g_run.script, g_run.scriptLength, h, g_run.languageIndex);
  CopyText(g_run.title, sizeof g_run.title, At(pos));
  SetWindowTextA(g_run.hostWindow, g_run.title);

  char** table = static_cast<char**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kMessageCount * sizeof(char*)));
  for (int i = 0; i < kMessageCount && table != nullptr; ++i) {
    pos = SkipString(g_run.script, g_run.scriptLength, pos);
    size_t length = std::strlen(At(pos));
    table[i] = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (table[i] != nullptr) std::memcpy(table[i], At(pos), length + 1);
  }
  g_run.messageTable = table;
  g_run.host->messageTable = table;
  g_run.actionParams.messages = table;
  g_run.actionParamsEx.abortCaption = Message(17);
  g_run.actionParamsEx.message44 = Message(44);
}

}  // namespace

int ReadScriptHeader() {
  DescribeStoreInParameterBlocks();
  ScriptHeader& h = g_run.header;
  if (ParseScriptHeader(g_run.script, g_run.scriptLength, &h) != HeaderError::kNone) {
    ReportError("Internal Error");
    return -2;
  }
  if (!(h.headerFlags & kHeaderPauseAllowed)) g_run.updatePauseDisabled = true;
  g_run.actionParamsEx.applicationKey = At(h.userKeyName);
  g_run.actionParamsEx.scriptFlags = h.headerOptions;
  CopyText(g_run.downloadLocation, sizeof g_run.downloadLocation, At(h.downloadLocation));
  CopyText(g_run.logPath, sizeof g_run.logPath, At(h.logPath));
  CopyText(g_run.dialogFontName, sizeof g_run.dialogFontName, At(h.dialogFont));

  WriteSlotDirect(*g_run.variables, 1, "%LANG%", "");
  if (!ChooseInstallationLanguage()) return -2;
  TakeTitleAndMessages();

  g_run.current = g_run.script + h.firstRecord;
  g_run.headerLength = h.firstRecord;
  g_run.bodyLength = g_run.scriptLength - h.firstRecord;
  if (!CreateBuiltinVariables()) return -2;
  return 0;
}

StepResult NextRecord() {
  size_t pos = static_cast<size_t>(g_run.current - g_run.script);
  StepResult result = StepOverRecord(g_run.script, g_run.scriptLength + 1, &pos, g_run.header.languageCount);
  g_run.current = g_run.script + pos;
  return result;
}

const char* SelectLanguageStrings(const char* strings, int count) {
  for (int i = 0; i < count * g_run.languageIndex; ++i) strings += std::strlen(strings) + 1;
  return strings;
}

}  // namespace tarn
