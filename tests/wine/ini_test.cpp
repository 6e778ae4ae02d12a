// The INI step, read back through the system's profile functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "tests/support/engine_fixture.h"
#include "tests/wine/change_runs.h"

namespace tarn {
namespace {

using test::RunLogged;

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, sizeof buffer);
  return buffer;
}
std::string TempDirectory() {
  char buffer[MAX_PATH];
  GetTempPathA(sizeof buffer, buffer);
  std::string path = buffer;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string Profile(const std::string& file, const std::string& section, const std::string& key) {
  char value[512];
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", value, sizeof value, file.c_str());
  return value;
}

std::string Record(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value, const std::string& old = "") {
  std::string text = "INI File: " + file + "\r\nINI Sect: " + section + "\r\nINI Item: " + key + "\r\nINI Val: " + value;
  if (!old.empty()) text += "\r\nINI Old: " + old;
  return text + "\r\n";
}

std::string g_installResult;
void SnapshotResult() {
  char value[256];
  GetVariable(*g_run.variables, "INSTALL_RESULT", value, sizeof value);
  g_installResult = value;
}

TEST(Ini, WritesAndDeletesKeysAndSectionsAndLogsEachKey) {
  const std::string file = TempDirectory() + "\\tarn_ini_keys.ini";
  DeleteFileA(file.c_str());
  g_run.hooks.beforeRelease = &SnapshotResult;
  g_installResult = "unset";
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditIni(w, "%TEMP%\\tarn_ini_keys.ini", "App", "Name=Tarn\r\nPath=%WIN%\r\nGone=x\r\nEmpty=e");
    // Runs of CR and LF between lines are passed over; a key alone and a key with "=" and
    // nothing after it both delete.
    AddEditIni(w, "%TEMP%\\tarn_ini_keys.ini", "App", "Name=Tarn 2\r\n\r\n\nGone\rEmpty=\r\n");
    AddEditIni(w, "%TEMP%\\tarn_ini_keys.ini", "Other", "K=v");
    AddEditIni(w, "%TEMP%\\tarn_ini_keys.ini", "Other", "");  // deletes the section, unlogged
  });
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_EQ(run.result.returnValue, 0);
  EXPECT_EQ(g_installResult, "");
  const std::string windows = WindowsDirectory();
  EXPECT_EQ(run.records, "INI New: Created INI\r\n" + Record(file, "App", "Name", "Tarn") +
                             Record(file, "App", "Path", windows) + Record(file, "App", "Gone", "x") +
                             Record(file, "App", "Empty", "e") + Record(file, "App", "Name", "Tarn 2", "Tarn") +
                             Record(file, "App", "Gone", "", "x") + Record(file, "App", "Empty", "", "e") +
                             Record(file, "Other", "K", "v"));
  EXPECT_EQ(Profile(file, "App", "Name"), "Tarn 2");
  EXPECT_EQ(Profile(file, "App", "Path"), windows);
  EXPECT_EQ(Profile(file, "App", "Gone"), "<none>");
  EXPECT_EQ(Profile(file, "App", "Empty"), "<none>");
  EXPECT_EQ(Profile(file, "Other", "K"), "<none>");
  DeleteFileA(file.c_str());
}

TEST(Ini, NamesWithoutAVariableLiveInTheWindowsDirectoryAndFailuresSetE) {
  const std::string inWindows = WindowsDirectory() + "\\tarn_ini_win.ini";
  DeleteFileA(inWindows.c_str());
  const std::string unwritable = TempDirectory() + "\\tarn_no_such_dir\\x.ini";
  g_run.hooks.beforeRelease = &SnapshotResult;
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditIni(w, "tarn_ini_win.ini", "S", "K=1");
    AddEditIni(w, "%TEMP%\\tarn_no_such_dir\\x.ini", "S", "A=1\r\nB=2");
  });
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_EQ(run.result.returnValue, 0);  // an INI failure never stops the run
  EXPECT_EQ(g_installResult, "E");
  EXPECT_EQ(Profile(inWindows, "S", "K"), "1");
  // Every line is tried and logged, failed or not.
  EXPECT_EQ(run.records, "INI New: Created INI\r\n" + Record(inWindows, "S", "K", "1") + "INI New: Created INI\r\n" +
                             Record(unwritable, "S", "A", "1") + Record(unwritable, "S", "B", "2"));
  DeleteFileA(inWindows.c_str());
}

TEST(Ini, TestRunChangesNothing) {
  const std::string file = TempDirectory() + "\\tarn_ini_test_run.ini";
  DeleteFileA(file.c_str());
  auto run = RunLogged("", [&](ScriptWriter& w) { AddEditIni(w, "%TEMP%\\tarn_ini_test_run.ini", "S", "K=1"); }, "/T");
  EXPECT_EQ(run.result.returnValue, 0);
  EXPECT_FALSE(test::Exists(file));
}

}  // namespace
}  // namespace tarn
