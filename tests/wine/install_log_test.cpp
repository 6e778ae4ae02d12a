// The installation log as runs leave it: headers, records, pausing, the log-control step.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "builder/script_writer.h"
#include "engine/changes/install_log.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

using test::Exists;
using test::ReadWholeFile;

ScriptHeaderFields Header(const std::string& logPath, uint32_t options = 0) {
  ScriptHeaderFields h;
  h.logPath = logPath;
  h.headerOptions = options;
  LanguageTexts l = test::EnglishTexts("Log Test");
  h.languages.push_back(l);
  return h;
}

size_t AddText(ScriptWriter& w, const std::string& text) { return w.Record(OP_ADD_LOG_TEXT).Str(text).Finish(); }
size_t LogControl(ScriptWriter& w, uint8_t mode, const std::string& path = "") {
  return w.Record(OP_LOG_CONTROL).U8(mode).Str(path).Finish();  // the path is read from mode 2 on
}

test::RunResult RunScript(const ScriptWriter& w, const std::string& commandLine = "") {
  test::Installation i;
  i.script = w.bytes();
  i.commandLine = commandLine;
  return test::RunInstallation(i, &TarnMain);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(InstallLog, TwoRunsAppendToOneLogOldestFirst) {
  std::string dir = test::MakeTempDirectory("log2");
  std::string log = dir + "\\INSTALL.LOG";
  for (const char* text : {"first run%CRLF%", "second run%CRLF%"}) {
    ScriptWriter w(Header(log));
    AddText(w, text);
    EXPECT_EQ(RunScript(w).returnValue, 0);
  }
  std::string content = ReadWholeFile(log);
  EXPECT_EQ(Count(content, "***  Installation Started "), 2u);
  size_t first = content.find("first run\r\n");
  size_t secondHeader = content.find("***  Installation Started ", 1);
  size_t second = content.find("second run\r\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, secondHeader);
  EXPECT_LT(secondHeader, second);
  EXPECT_EQ(content.rfind("***  Installation Started ", 0), 0u);
  EXPECT_NE(content.find("\r\nTitle: Log Test\r\nSource: "), std::string::npos);
  // Each header is a complete set of CR LF lines: no bare LF anywhere.
  for (size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\n') EXPECT_EQ(content[i - 1], '\r') << i;
  }
}

TEST(InstallLog, TestRunLeavesNoLog) {
  std::string dir = test::MakeTempDirectory("logT");
  ScriptWriter w(Header(dir + "\\INSTALL.LOG"));
  AddText(w, "text%CRLF%");
  EXPECT_EQ(RunScript(w, "/T").returnValue, 0);
  EXPECT_FALSE(Exists(dir + "\\INSTALL.LOG"));
}

TEST(InstallLog, HeaderWithInstallerDetailsAndOptionalLines) {
  std::string dir = test::MakeTempDirectory("logH");
  ScriptHeaderFields h = Header(dir + "\\INSTALL.LOG", kOptionLogInstallerDetails | kOptionRestorePoint);
  h.userKeyName = "LogTestUser";
  h.uninstallStatusName = "UNINST";
  h.manufacturer = "Tarn";
  h.product = "Logger";
  h.productVersion = "2.0";
  h.serialNumber = "7";
  ScriptWriter w(h);
  RunScript(w);
  std::string content = ReadWholeFile(dir + "\\INSTALL.LOG");
  char host[MAX_PATH];
  GetModuleFileNameA(nullptr, host, sizeof host);
  size_t source = content.find(std::string("Source: ") + host + " | ");
  ASSERT_NE(source, std::string::npos) << content;
  // " | MM-DD-YYYY | HH:MM:SS | size" continues the source line.
  std::string line = content.substr(source, content.find("\r\n", source) - source);
  EXPECT_EQ(Count(line, " | "), 3u) << line;
  EXPECT_NE(content.find("Uninstall MIF: UNINST\r\nManufacturer: Tarn\r\nProduct: Logger\r\n"
                         "Version Number: 2.0\r\nSerial Number: 7\r\nPer-User ID: LogTestUser\r\n"
                         "System Restore: Enabled\r\n"),
            std::string::npos)
      << content;

  std::string plainDir = test::MakeTempDirectory("logP");
  ScriptWriter plain(Header(plainDir + "\\INSTALL.LOG"));
  RunScript(plain);
  std::string plainContent = ReadWholeFile(plainDir + "\\INSTALL.LOG");
  EXPECT_NE(plainContent.find(std::string("Source: ") + host + "\r\n"), std::string::npos) << plainContent;
  EXPECT_EQ(plainContent.find("Per-User ID"), std::string::npos);
}

TEST(InstallLog, PausedRecordsAreLostAndAPausedLogIsDiscarded) {
  std::string dir = test::MakeTempDirectory("logPause");
  ScriptWriter w(Header(dir + "\\INSTALL.LOG"));
  AddText(w, "kept 1%CRLF%");
  LogControl(w, 1);
  AddText(w, "lost%CRLF%");
  LogControl(w, 0);
  AddText(w, "kept 2%CRLF%");
  RunScript(w);
  std::string content = ReadWholeFile(dir + "\\INSTALL.LOG");
  EXPECT_NE(content.find("kept 1\r\nkept 2\r\n"), std::string::npos) << content;
  EXPECT_EQ(content.find("lost"), std::string::npos);

  std::string discardedDir = test::MakeTempDirectory("logDiscard");
  ScriptWriter paused(Header(discardedDir + "\\INSTALL.LOG"));
  AddText(paused, "never seen%CRLF%");
  LogControl(paused, 1);
  RunScript(paused);
  EXPECT_FALSE(Exists(discardedDir + "\\INSTALL.LOG"));
}

TEST(InstallLog, LogControlStartsANewLogElsewhereEvenInTestMode) {
  std::string dir = test::MakeTempDirectory("logNew");
  std::string second = dir + "\\second\\place\\NEW.LOG";
  ScriptWriter w(Header(dir + "\\INSTALL.LOG"));
  AddText(w, "in the first%CRLF%");
  LogControl(w, 2, second);
  AddText(w, "in the second%CRLF%");
  RunScript(w);
  std::string first = ReadWholeFile(dir + "\\INSTALL.LOG");
  std::string next = ReadWholeFile(second);
  EXPECT_NE(first.find("in the first"), std::string::npos);
  EXPECT_EQ(first.find("in the second"), std::string::npos);
  EXPECT_EQ(next.rfind("***  Installation Started ", 0), 0u) << next;
  EXPECT_NE(next.find("in the second"), std::string::npos);

  // In a test run the new log is opened too, but a test run never leaves a log behind
  // and writes no text into it.
  std::string testDir = test::MakeTempDirectory("logNewT");
  ScriptWriter t(Header(""));
  LogControl(t, 2, testDir + "\\T.LOG");
  bool opened = false;
  static bool* s_opened;
  s_opened = &opened;
  g_run.hooks.beforeRelease = [] { *s_opened = g_run.logFile != INVALID_HANDLE_VALUE; };
  RunScript(t, "/T");
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_TRUE(opened);
  EXPECT_FALSE(Exists(testDir + "\\T.LOG"));
}

TEST(InstallLog, FailedRunEndsTheLogWithItsReason) {
  std::string dir = test::MakeTempDirectory("logFail");
  ScriptWriter w(Header(dir + "\\INSTALL.LOG"));
  AddText(w, "before%CRLF%");
  w.AppendRaw({14});  // an invalid record
  EXPECT_EQ(RunScript(w).returnValue, 1);
  std::string content = ReadWholeFile(dir + "\\INSTALL.LOG");
  std::string tail = "before\r\nmessage 7";
  ASSERT_GE(content.size(), tail.size());
  // The reason is the last text, right after the records; on the NT family the
  // administrator line may follow it.
  EXPECT_NE(content.find(tail), std::string::npos) << content;
}

class FileRecords : public ::testing::Test {
 protected:
  test::EngineFixture run_;
  std::string dir_ = test::MakeTempDirectory("logF");
  std::string Written(uint32_t options, const FileRecordFields& fields) {
    g_run.header.headerOptions = options;
    std::string log = dir_ + "\\records.tmp";
    OpenLog(log.c_str());
    std::string header = ReadWholeFile(log);
    WriteFileRecord(fields);
    CloseHandle(g_run.logFile);
    g_run.logFile = INVALID_HANDLE_VALUE;
    std::string all = ReadWholeFile(log);
    return all.substr(all.find("Title:"));  // past the date line
  }
};

TEST_F(FileRecords, DetailsFollowTheOptions) {
  run_.SetCurrentOpcode(OP_INSTALL_FILE);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string dll = std::string(system) + "\\kernel32.dll";
  FileRecordFields f;
  f.destination = dll.c_str();
  f.existed = true;
  f.size = 1234;
  f.checksum = 0xabc;
  auto record = [&](uint32_t options) {
    std::string text = Written(options, f);
    return text.substr(text.find("File "));
  };
  // 0x20: date, time and version.
  std::string details = record(kOptionLogFileDetails);
  EXPECT_EQ(details.rfind("File Overwrite: " + dll + " | ", 0), 0u) << details;
  EXPECT_EQ(Count(details, " | "), 3u) << details;
  EXPECT_EQ(Count(details, "."), 1u + 3u) << details;  // the ".dll" and the version's dots
  // 0x40 with a known checksum: size and checksum too.
  std::string full = record(kOptionLogInstallerDetails);
  EXPECT_NE(full.find(" | 1234 | abc\r\n"), std::string::npos) << full;
  // 0x40 without a known checksum: no details at all.
  f.checksum = 0;
  EXPECT_EQ(record(kOptionLogInstallerDetails), "File Overwrite: " + dll + "\r\n");
  // No option: the bare record; a new file is a copy.
  f.existed = false;
  EXPECT_EQ(record(0), "File Copy: " + dll + "\r\n");
  // A file that cannot be opened has empty date fields.
  std::string gone = dir_ + "\\gone.txt";
  f.destination = gone.c_str();
  EXPECT_EQ(record(kOptionLogFileDetails), "File Copy: " + gone + " | | |\r\n");
}

TEST_F(FileRecords, BackupInUseAndOtherOpcodes) {
  FileRecordFields f;
  f.destination = "C:\\APP\\A.DLL";
  f.backupPath = "C:\\BAK\\A.001";
  run_.SetCurrentOpcode(OP_INSTALL_FILE_EX);
  std::string backup = Written(0, f);
  EXPECT_NE(backup.find("Backup Copy: C:\\BAK\\A.001\r\n"), std::string::npos);
  f.backupPath = nullptr;
  f.inUse = true;
  std::string inUse = Written(0, f);
  EXPECT_NE(inUse.find("In Use: C:\\APP\\A.DLL Not Copied\r\n"), std::string::npos);
  // A record kind belongs to its opcode: a file record from another step writes nothing.
  run_.SetCurrentOpcode(OP_CALL_DLL_FUNCTION);
  f.inUse = false;
  std::string none = Written(0, f);
  EXPECT_EQ(none.find("File "), std::string::npos);
}

}  // namespace
}  // namespace tarn
