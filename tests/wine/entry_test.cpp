// TarnMain through the test host: the host record, the switches, the script header, the
// message table and the built-in variables, as a host and a script see them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

using test::Installation;
using test::RunInstallation;
using test::RunResult;

const char* const kCodes[] = {"ENU", "DEU", "FRA"};
// Codes no system reports, so that no language matches.
const char* const kUnmatchedCodes[] = {"XXA", "XXB", "XXC"};

ScriptHeaderFields Header(int languages, const char* const* codes = kCodes) {
  ScriptHeaderFields h;
  h.languageDialogCaption = "Language";
  h.languageDialogText = "Choose a language";
  for (int i = 0; i < languages; ++i) {
    LanguageTexts l;
    l.name = std::string("Language ") + codes[i];
    l.code = codes[i];
    l.title = std::string("Demo Setup ") + codes[i];
    for (int m = 0; m < 54; ++m) l.messages[m] = std::string(codes[i]) + " message " + std::to_string(m);
    h.languages.push_back(l);
  }
  return h;
}

// What the run's variables were just before the end of the run released them.
std::map<std::string, std::string> g_variables;
uint16_t g_variableCount = 0;
CommandLineOptions g_options;
int g_languageIndex = -1;

void SnapshotRun() {
  g_variables.clear();
  const VariableStore& v = *g_run.variables;
  g_variableCount = v.count;
  for (int i = 0; i < v.count; ++i) {
    if (v.names[i][0] != '\0') g_variables[v.names[i]] = v.values[i];
  }
  g_options = g_run.options;
  g_languageIndex = g_run.languageIndex;
}

RunResult RunObserved(Installation installation) {
  g_variables.clear();
  g_run.hooks.beforeRelease = &SnapshotRun;
  return RunInstallation(installation, &TarnMain);
}

Installation Simple(const std::string& commandLine, int languages = 1, const char* const* codes = kCodes) {
  ScriptWriter w(Header(languages, codes));
  w.Filler();
  w.If(0x00, "X", "1");
  w.End();
  Installation i;
  i.script = w.bytes();
  i.commandLine = commandLine;
  return i;
}

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, sizeof buffer);
  return buffer;
}

TEST(TarnMain, CompletedRunAnswersTheHost) {
  RunResult r = RunObserved(Simple("/T"));
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.runProgram, "untouched");
  EXPECT_EQ(r.runArguments, "untouched");
  EXPECT_TRUE(r.hostWindowDestroyed);
  EXPECT_TRUE(r.scriptEndMarked);
  ASSERT_FALSE(r.titlesSet.empty());
  EXPECT_EQ(r.titlesSet.back(), "Demo Setup ENU");
  ASSERT_TRUE(r.messageTableSeen);
  EXPECT_EQ(r.messages[0], "ENU message 0");
  EXPECT_EQ(r.messages[53], "ENU message 53");
  EXPECT_EQ(r.recordAfter.messageTable, nullptr);  // freed, and the field cleared
  EXPECT_EQ(r.recordAfter.archiveHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(r.recordAfter.scriptMemory, nullptr);
  EXPECT_EQ(r.recordAfter.fileBytesDone, 0u);
  EXPECT_EQ(g_options.runMode, kRunTest);
  EXPECT_EQ(g_variables["%CMDLINE%"], "/T");
}

TEST(TarnMain, BuiltInVariables) {
  RunObserved(Simple(""));
  std::string windows = WindowsDirectory();
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string tempDir = temp;
  if (tempDir.back() == '\\') tempDir.pop_back();

  EXPECT_EQ(g_variables["%LANG%"], "Language ENU");
  EXPECT_EQ(g_variables["%%"], "%");
  EXPECT_EQ(g_variables["%WIN%"], windows);
  EXPECT_EQ(g_variables["%SYS%"], system);
  EXPECT_EQ(g_variables["%SYS32%"], g_variables["%SYS%"]);
  EXPECT_EQ(g_variables["%TEMP%"], tempDir);
  EXPECT_NE(g_variables["%INST%"], "");
  EXPECT_EQ(g_variables["%INST%"].find('\\', g_variables["%INST%"].size() - 1), std::string::npos);
  EXPECT_EQ(g_variables["%FONTS%"], windows + "\\Fonts");
  EXPECT_EQ(g_variables["%DISK_NUMBER%"], "1");
  EXPECT_EQ(g_variables["%CRLF%"], "\r\n");
  long long started = std::atoll(g_variables["%INSTALL_SDTVAL%"].c_str());
  EXPECT_GT(started, 1700000000LL);
  EXPECT_EQ(g_variables["%BANNER_DLGRES_%"], "1540");
  EXPECT_NE(std::strtoul(g_variables["%BANNER_DLGPRC_%"].c_str(), nullptr, 10), 0ul);
  EXPECT_EQ(std::strtoul(g_variables["%BANNER_INSTAN_%"].c_str(), nullptr, 10),
            reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
  // Slots 0 to 7 are the fixed ones, in order.
  EXPECT_EQ(g_run.variables, nullptr);  // released by the end of the run
}

TEST(TarnMain, SwitchesAsTheEngineSeesThem) {
  struct Case {
    const char* commandLine;
    RunMode mode;
  } cases[] = {
      {"/t", kRunTest},
      {"/q /T", kRunTest},
      {"/M4 /T", kRunNormal},
      {"/T /", kRunTest},
  };
  for (const Case& c : cases) {
    RunResult r = RunObserved(Simple(c.commandLine));
    EXPECT_EQ(r.returnValue, 0) << c.commandLine;
    EXPECT_EQ(g_options.runMode, c.mode) << c.commandLine;
    EXPECT_EQ(g_variables["%CMDLINE%"], c.commandLine);
  }
}

TEST(TarnMain, AnswerFileBesideTheHostProgram) {
  RunObserved(Simple("/M=answers.txt"));
  char host[MAX_PATH];
  GetModuleFileNameA(nullptr, host, sizeof host);
  std::string expected = host;
  expected = expected.substr(0, expected.rfind('\\') + 1) + "answers.txt";
  EXPECT_STREQ(g_options.answerFile, expected.c_str());
  RunObserved(Simple("/M=\"C:\\with blank\\a.txt\" /T"));
  EXPECT_STREQ(g_options.answerFile, "C:\\with blank\\a.txt");
  EXPECT_EQ(g_options.runMode, kRunTest);
}

TEST(TarnMain, ExtractionSwitchTakesTheRest) {
  RunResult r = RunObserved(Simple("/Z C:\\OUT /T"));
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(r.exitCode, 0);  // extraction with exit code 0
  RunResult x = RunObserved(Simple("/X=C:\\LIST.TXT"));
  EXPECT_EQ(x.exitCode, 1);
}

TEST(TarnMain, LongCommandLineIsCutInItsSlot) {
  std::string longLine = "/T " + std::string(400, 'a');
  RunObserved(Simple(longLine));
  EXPECT_EQ(g_variables["%CMDLINE%"], longLine.substr(0, 255));
  EXPECT_EQ(g_options.runMode, kRunTest);
}

TEST(TarnMain, SilentRunWithSeveralLanguagesTakesTheFirst) {
  // Silent: the list closes by itself; without a matching system language the index is 0
  // and %LANG% is empty.
  RunResult r = RunObserved(Simple("", 3, kUnmatchedCodes));
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(g_languageIndex, 0);
  EXPECT_EQ(g_variables["%LANG%"], "");
  EXPECT_EQ(r.titlesSet.back(), "Demo Setup XXA");
}

TEST(TarnMain, MatchingSystemLanguageIsChosen) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  char previous[64] = "";
  DWORD size = sizeof previous;
  bool had = RegQueryValueExA(key, "sLanguage", nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &size) ==
             ERROR_SUCCESS;
  RegSetValueExA(key, "sLanguage", 0, REG_SZ, reinterpret_cast<const BYTE*>("deu"), 4);
  Installation i = Simple("", 3);
  i.silent = 0;  // a match closes the list by itself in a normal run too
  RunResult r = RunObserved(i);
  if (had) {
    RegSetValueExA(key, "sLanguage", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), size);
  } else {
    RegDeleteValueA(key, "sLanguage");
  }
  RegCloseKey(key);
  EXPECT_EQ(g_languageIndex, 1);
  EXPECT_EQ(g_variables["%LANG%"], "Language DEU");
  EXPECT_EQ(r.titlesSet.back(), "Demo Setup DEU");
  EXPECT_EQ(r.messages[7], "DEU message 7");
}

TEST(TarnMain, InvalidRecordEndsTheRunWithMessage7) {
  struct Case {
    const char* what;
    std::vector<uint8_t> tail;
  } cases[] = {
      {"invalid opcode", {OP_FILLER, 14, OP_FILLER}},
      {"record running past the end", {OP_FILLER, OP_CREATE_DIRECTORY, 'a', 'b'}},
  };
  for (const Case& c : cases) {
    ScriptWriter w(Header(1));
    w.AppendRaw(c.tail);
    Installation i;
    i.script = w.bytes();
    std::string errorText;
    g_run.hooks.beforeRelease = [] {};
    RunResult r = RunInstallation(i, &TarnMain);
    EXPECT_EQ(r.returnValue, 1) << c.what;
    EXPECT_EQ(r.exitCode, 1) << c.what;
    EXPECT_STREQ(g_run.errorText, "ENU message 7") << c.what;
  }
}

TEST(TarnMain, MalformedHeaderIsAnInternalError) {
  ScriptWriter w(Header(1));
  std::vector<uint8_t> cut(w.bytes().begin(), w.bytes().begin() + 60);
  Installation i;
  i.script = cut;
  RunResult r = RunObserved(i);
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_STREQ(g_run.errorText, "Internal Error");
  EXPECT_FALSE(r.messageTableSeen);
  EXPECT_TRUE(r.hostWindowDestroyed);
}

TEST(TarnMain, ArchiveReadErrorEndsTheRunWithMessage7) {
  // The dialog block is announced longer than the archive holds: the host's decompress
  // reports a read error before any message table exists (no retry is offered then), and
  // the run ends failed with message 7.
  Installation i = Simple("");
  i.dialogBlockPackedSizeOverride = 5000;
  RunResult r = RunObserved(i);
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_EQ(r.recordAfter.errorState, kErrorArchiveRead);
  EXPECT_STREQ(g_run.errorText, "ENU message 7");
}

TEST(TarnMain, GradientPaletteOnlyWithChanges) {
  for (bool changes : {false, true}) {
    Installation i = Simple("");
    i.silent = 0;
    i.hostFlags = 1 | kHostGradientPalette;  // background shown normally
    i.gradient = {0, 0, 128, 0, 0, static_cast<int16_t>(changes ? 127 : 0)};
    HPALETTE made = nullptr;
    static HPALETTE* s_made;
    s_made = &made;
    i.onHostMessage = [](HostRecord* r, UINT message, WPARAM, LPARAM) {
      if (message == WM_DESTROY) *s_made = static_cast<HPALETTE>(r->backgroundPalette);
    };
    RunResult r = RunObserved(i);
    EXPECT_EQ(r.returnValue, 0);
    HDC dc = GetDC(nullptr);
    bool paletteDevice = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) >= 8;
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(made != nullptr, changes && paletteDevice) << changes;
    EXPECT_EQ(r.recordAfter.backgroundPalette, nullptr);  // deleted at the end
  }
}

}  // namespace
}  // namespace tarn
