// The file-system routines against real files under Wine.
#include "engine/changes/file_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/changes/install_log.h"
#include "engine/script/steps.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

namespace tarn {
namespace {

using test::Exists;
using test::ReadWholeFile;
using test::WriteWholeFile;

class FileSystem : public ::testing::Test {
 protected:
  test::EngineFixture run_;
  std::string dir_ = test::MakeTempDirectory("fs");
};

TEST_F(FileSystem, ShortFormKeepsWhatDoesNotExist) {
  std::string first = dir_ + "\\Long Directory Name";
  CreateDirectoryA(first.c_str(), nullptr);
  std::string second = first + "\\Another Long Name";
  CreateDirectoryA(second.c_str(), nullptr);
  char path[256];
  std::snprintf(path, sizeof path, "%s\\Missing Component\\file name.txt", second.c_str());
  ConvertPathForm(path, false);
  char expectedPrefix[MAX_PATH];
  GetShortPathNameA(second.c_str(), expectedPrefix, sizeof expectedPrefix);
  EXPECT_EQ(std::string(path), std::string(expectedPrefix) + "\\Missing Component\\file name.txt");
  // And back to the long form.
  ConvertPathForm(path, true);
  EXPECT_EQ(std::string(path), second + "\\Missing Component\\file name.txt");
  char drive[256] = "c:";
  ConvertPathForm(drive, false);
  EXPECT_STREQ(drive, "c:");  // a bare drive is left alone
}

// Converted names are remembered within a step; a change on disk shows once the run has
// forgotten them, and a file put in place replaces what was remembered of its path.
TEST_F(FileSystem, RememberedPathFormsFollowTheDisk) {
  ForgetPathForms();
  std::string mixed = dir_ + "\\Mixed Case";
  ASSERT_TRUE(CreateDirectoryA(mixed.c_str(), nullptr));
  auto longForm = [](std::string text) {
    char path[256];
    std::snprintf(path, sizeof path, "%s", text.c_str());
    ConvertPathForm(path, true);
    return std::string(path);
  };
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\f.txt"), mixed + "\\f.txt");
  std::string upper = dir_ + "\\MIXED CASE";
  ASSERT_TRUE(RemoveDirectoryA(mixed.c_str()));  // made again under another case
  ASSERT_TRUE(CreateDirectoryA(upper.c_str(), nullptr));
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\f.txt"), mixed + "\\f.txt");  // still the step's view
  ForgetPathForms();
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\f.txt"), upper + "\\f.txt");

  // An existing file under another case: its own name, also after it was replaced.
  WriteWholeFile(upper + "\\Old.txt", "old");
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\OLD.TXT"), upper + "\\Old.txt");
  ASSERT_TRUE(DeleteFileA((upper + "\\Old.txt").c_str()));
  WriteWholeFile(upper + "\\OLD.TXT", "replaced");
  NotePathPlaced((dir_ + "\\mixed case\\OLD.TXT").c_str(), false);
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\OLD.TXT"), upper + "\\OLD.TXT");

  // A new file carries the name it was created under; a trailing dot is left to the disk.
  WriteWholeFile(upper + "\\New File.txt", "new");
  NotePathPlaced((dir_ + "\\mixed case\\New File.txt").c_str(), true);
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\New File.txt"), upper + "\\New File.txt");
  WriteWholeFile(upper + "\\dotted", "dot");
  NotePathPlaced((dir_ + "\\mixed case\\dotted.").c_str(), true);
  EXPECT_EQ(longForm(dir_ + "\\mixed case\\dotted."), upper + "\\dotted");
  ForgetPathForms();
}

TEST_F(FileSystem, BackupNamesAreNumbered) {
  std::string backup = dir_ + "\\backup";
  CreateDirectoryA(backup.c_str(), nullptr);
  SetVariable(*g_run.variables, "BACKUPDIR", backup.c_str());
  WriteWholeFile(backup + "\\A.DLL", "old");
  WriteWholeFile(backup + "\\A.001", "older");
  WriteWholeFile(backup + "\\README", "r");
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {{"A.DLL", "A.002"}, {"README", "README.001"}, {"NEW.TXT", "NEW.TXT"}};
  for (const Case& c : cases) {
    std::string sourcePath = dir_ + "\\" + c.name;
    WriteWholeFile(sourcePath, std::string("content of ") + c.name);
    char source[256];
    std::snprintf(source, sizeof source, "%s", sourcePath.c_str());
    CopyRequest copy;
    copy.source = source;
    copy.returnName = true;
    uint32_t checksum = 0, size = 0;
    copy.checksum = &checksum;
    copy.size = &size;
    ASSERT_EQ(CopyFileWithProgress(copy), 0) << c.name;
    EXPECT_EQ(std::string(source), backup + "\\" + c.expected);
    EXPECT_EQ(ReadWholeFile(source), std::string("content of ") + c.name);
    EXPECT_EQ(size, std::string("content of ").size() + std::strlen(c.name));
    EXPECT_NE(checksum, 0u);
  }
}

TEST_F(FileSystem, NineHundredNinetyNineBackupsReuseTheLast) {
  std::string backup = dir_ + "\\full";
  CreateDirectoryA(backup.c_str(), nullptr);
  SetVariable(*g_run.variables, "BACKUPDIR", backup.c_str());
  WriteWholeFile(backup + "\\NOTES", "x");
  for (int n = 1; n <= 999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "\\NOTES.%03d", n);
    WriteWholeFile(backup + name, "x");
  }
  std::string sourcePath = dir_ + "\\NOTES";
  WriteWholeFile(sourcePath, "newest");
  char source[256];
  std::snprintf(source, sizeof source, "%s", sourcePath.c_str());
  CopyRequest copy;
  copy.source = source;
  copy.returnName = true;
  ASSERT_EQ(CopyFileWithProgress(copy), 0);
  EXPECT_EQ(std::string(source), backup + "\\NOTES.999");
  EXPECT_EQ(ReadWholeFile(source), "newest");
}

TEST_F(FileSystem, CopyCreditsProgressAndKeepsTheDate) {
  std::string sourcePath = dir_ + "\\big.bin";
  WriteWholeFile(sourcePath, std::string(150000, 'b'));
  char source[256];
  std::snprintf(source, sizeof source, "%s", sourcePath.c_str());
  std::string target = dir_ + "\\sub\\dir\\copy.bin";
  CopyRequest copy;
  copy.source = source;
  copy.target = target.c_str();
  copy.credit = 100000;
  run_.host().bytesDone = 5;
  ASSERT_EQ(CopyFileWithProgress(copy), 0);
  EXPECT_EQ(ReadWholeFile(target).size(), 150000u);
  EXPECT_EQ(run_.host().bytesDone, 100005u);
  EXPECT_EQ(run_.host().fileBytesDone, 100000u);
  // Append mode extends the target.
  copy.append = true;
  copy.credit = 0;
  ASSERT_EQ(CopyFileWithProgress(copy), 0);
  EXPECT_EQ(ReadWholeFile(target).size(), 300000u);
  // A cancelled copy leaves no target behind.
  std::string cancelled = dir_ + "\\cancelled.bin";
  copy.target = cancelled.c_str();
  copy.append = false;
  run_.host().cancelState = kCancelUser;
  EXPECT_EQ(CopyFileWithProgress(copy), 0);
  EXPECT_FALSE(Exists(cancelled));
  run_.host().cancelState = kCancelNone;
  // A missing source.
  char missing[256];
  std::snprintf(missing, sizeof missing, "%s\\nothing.here", dir_.c_str());
  copy.source = missing;
  EXPECT_EQ(CopyFileWithProgress(copy), 1);
}

TEST_F(FileSystem, CreateDirectoriesLogsEachCreatedDirectoryOuterFirst) {
  std::string log = dir_ + "\\log.tmp";
  ASSERT_TRUE(OpenLog(log.c_str()));
  std::string path = dir_ + "\\outer\\inner\\file.txt";
  CreateDirectories(path.c_str());
  CreateDirectories(path.c_str());  // nothing new: nothing logged
  CloseHandle(g_run.logFile);
  g_run.logFile = INVALID_HANDLE_VALUE;
  std::string text = ReadWholeFile(log);
  std::string lines = text.substr(text.find("Made Dir:"));
  EXPECT_EQ(lines, "Made Dir: " + dir_ + "\\outer\r\nMade Dir: " + dir_ + "\\outer\\inner\r\n");
  EXPECT_TRUE(Exists(dir_ + "\\outer\\inner"));
  EXPECT_FALSE(Exists(path));
}

TEST_F(FileSystem, LineReaderOverARealFile) {
  std::string path = dir_ + "\\lines.txt";
  WriteWholeFile(path, "first\r\nsecond\nstill second\r\n");
  HANDLE file = OpenFile(path.c_str(), kOpenRead, false);
  RewindLines(file);
  char line[64];
  std::vector<std::string> lines;
  while (NextLine(line, sizeof line, file)) lines.push_back(line);
  CloseHandle(file);
  EXPECT_EQ(lines, (std::vector<std::string>{"first\n", "secondstill second\n"}));
}

TEST_F(FileSystem, VolumeLabelInShortForm) {
  // The test prefix maps drive L: to a folder labelled INSTALLDISK1.
  if (GetDriveTypeA("L:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no drive L: with a label in this prefix";
  FindRecord record;
  EXPECT_EQ(FindFirst("L:\\SETUP\\*.*", kFindVolumeLabel, &record), 0);
  EXPECT_STREQ(record.name, "INSTALLD.ISK1");
  EXPECT_EQ(record.handle, INVALID_HANDLE_VALUE);
  FindClose(&record);
}

TEST_F(FileSystem, VersionRecordsAndComparison) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string dll = std::string(system) + "\\kernel32.dll";
  VersionRecord dllVersion{}, exeVersion{};
  ASSERT_EQ(ReadVersionRecord(dll.c_str(), &dllVersion), 0);
  // A program of the system that carries a version resource.
  std::string exe;
  for (const char* name : {"notepad.exe", "regedit.exe", "winver.exe", "cmd.exe", "explorer.exe", "wordpad.exe"}) {
    std::string candidate = std::string(system) + "\\" + name;
    if (ReadVersionRecord(candidate.c_str(), &exeVersion) == 0 && exeVersion.fileType == VFT_APP) {
      exe = candidate;
      break;
    }
  }
  ASSERT_FALSE(exe.empty()) << "no system program with a version resource";
  EXPECT_EQ(dllVersion.fileType, static_cast<uint32_t>(VFT_DLL));
  EXPECT_EQ(exeVersion.fileType, static_cast<uint32_t>(VFT_APP));
  EXPECT_EQ(dllVersion.is32BitImage, 1u);
  EXPECT_TRUE(Is32BitImage(exe.c_str()));

  // A file without a version resource is always older.
  std::string plain = dir_ + "\\plain.dll";
  WriteWholeFile(plain, "no resources");
  VersionRecord none;
  EXPECT_EQ(ReadVersionRecord(plain.c_str(), &none), 1);
  EXPECT_FALSE(Is32BitImage(plain.c_str()));
  EXPECT_TRUE(IsNewerVersion(&dllVersion, nullptr, plain.c_str(), false));

  // A higher version of another file type: newer by numbers, not newer in full mode.
  VersionRecord higher = exeVersion;
  higher.versionMS = dllVersion.versionMS + 0x10000;
  EXPECT_TRUE(IsNewerVersion(&higher, nullptr, dll.c_str(), true));
  EXPECT_FALSE(IsNewerVersion(&higher, nullptr, dll.c_str(), false));
  // The same type and a higher version is newer in both modes; the same version is not.
  VersionRecord sameType = dllVersion;
  sameType.versionLS = dllVersion.versionLS + 1;
  EXPECT_TRUE(IsNewerVersion(&sameType, nullptr, dll.c_str(), false));
  EXPECT_FALSE(IsNewerVersion(&dllVersion, nullptr, dll.c_str(), false));
}

TEST_F(FileSystem, DeleteFilesStepRefusesSystemDirectoriesRecursively) {
  std::string win = std::string(g_run.variables->values[3]);
  std::string sys = std::string(g_run.variables->values[4]);
  std::string probe = win + "\\tarn_probe.tmp";
  WriteWholeFile(probe, "must stay");
  std::string root = win.substr(0, 3);
  for (std::string target : {win + "\\tarn_probe.tmp", sys + "\\tarn_probe.tmp", root + "tarn_probe.tmp"}) {
    std::vector<uint8_t> record = {OP_DELETE_FILES, 0x08};
    record.insert(record.end(), target.begin(), target.end());
    record.push_back(0);
    DeleteFilesStep(record.data());
  }
  EXPECT_TRUE(Exists(probe));
  // Without 0x08 the same file is deleted.
  std::vector<uint8_t> plain = {OP_DELETE_FILES, 0x00};
  plain.insert(plain.end(), probe.begin(), probe.end());
  plain.push_back(0);
  DeleteFilesStep(plain.data());
  EXPECT_FALSE(Exists(probe));
}

TEST_F(FileSystem, DeleteFilesStepEmptiesAnOrdinaryTree) {
  std::string tree = dir_ + "\\tree";
  CreateDirectoryA(tree.c_str(), nullptr);
  CreateDirectoryA((tree + "\\a").c_str(), nullptr);
  CreateDirectoryA((tree + "\\a\\b").c_str(), nullptr);
  WriteWholeFile(tree + "\\top.txt", "1");
  WriteWholeFile(tree + "\\a\\mid.txt", "2");
  WriteWholeFile(tree + "\\a\\b\\low.txt", "3");
  WriteWholeFile(tree + "\\a\\b\\keep.dat", "4");
  SetFileAttributesA((tree + "\\a\\mid.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  std::string wildcard = tree + "\\*.txt";
  std::vector<uint8_t> record = {OP_DELETE_FILES, 0x08 | 0x04};
  record.insert(record.end(), wildcard.begin(), wildcard.end());
  record.push_back(0);
  // Not in a test run without 0x01.
  g_run.options.runMode = kRunTest;
  DeleteFilesStep(record.data());
  EXPECT_TRUE(Exists(tree + "\\top.txt"));
  g_run.options.runMode = kRunNormal;
  DeleteFilesStep(record.data());
  EXPECT_FALSE(Exists(tree + "\\top.txt"));
  EXPECT_FALSE(Exists(tree + "\\a\\mid.txt"));  // read-only files too
  EXPECT_FALSE(Exists(tree + "\\a\\b\\low.txt"));
  EXPECT_TRUE(Exists(tree + "\\a\\b\\keep.dat"));
  EXPECT_TRUE(Exists(tree + "\\a\\b"));  // not empty: kept
  // Once the last file goes, 0x04 removes every emptied directory, the top one included.
  std::string all = tree + "\\*.*";
  std::vector<uint8_t> everything = {OP_DELETE_FILES, 0x08 | 0x04};
  everything.insert(everything.end(), all.begin(), all.end());
  everything.push_back(0);
  DeleteFilesStep(everything.data());
  EXPECT_FALSE(Exists(tree));
}

TEST_F(FileSystem, TemporaryNamesAndFiles) {
  std::string target = dir_ + "\\file.dll";
  char name[256];
  TemporaryNameNextTo(target.c_str(), name, sizeof name);
  EXPECT_EQ(std::string(name), dir_ + "\\~ZEH0000.TMP");
  WriteWholeFile(dir_ + "\\~ZEH0001.TMP", "taken");
  TemporaryNameNextTo(target.c_str(), name, sizeof name);
  EXPECT_EQ(std::string(name), dir_ + "\\~ZEH0002.TMP");  // the counter skips a name in use

  // Created at once: a file left under the next name (one waiting for a restart, say) is
  // never written over.
  WriteWholeFile(dir_ + "\\~ZEH0003.TMP", "waiting for a restart");
  HANDLE created = CreateTemporaryNextTo(target.c_str(), name, sizeof name);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  EXPECT_EQ(std::string(name), dir_ + "\\~ZEH0004.TMP");
  EXPECT_EQ(ReadWholeFile(dir_ + "\\~ZEH0003.TMP"), "waiting for a restart");
  std::string missing = dir_ + "\\no such directory\\file.dll";
  EXPECT_EQ(CreateTemporaryNextTo(missing.c_str(), name, sizeof name), INVALID_HANDLE_VALUE);

  std::vector<uint8_t> record = {OP_GET_TEMP_FILE_NAME, 'T', 'M', 'P', 'V', 0};
  g_run.options.runMode = kRunTest;  // runs in test mode too
  GetTempFileNameStep(record.data());
  char value[256];
  GetVariable(*g_run.variables, "TMPV", value, sizeof value);
  EXPECT_EQ(std::string(value).substr(0, 3), "ZEF");
  ASSERT_NE(g_run.temporaryNames[0], nullptr);
  EXPECT_TRUE(Exists(g_run.temporaryNames[0]));
  DeleteFileA(g_run.temporaryNames[0]);
  HeapFree(GetProcessHeap(), 0, g_run.temporaryNames[0]);
  g_run.temporaryNames[0] = nullptr;
}

TEST_F(FileSystem, RenameAndFileErrorReport) {
  WriteWholeFile(dir_ + "\\old name.txt", "r");
  std::vector<uint8_t> record = {OP_RENAME_FILE};
  std::string from = dir_ + "\\old name.txt";
  record.insert(record.end(), from.begin(), from.end());
  record.push_back(0);
  for (char c : std::string("new.txt")) record.push_back(static_cast<uint8_t>(c));
  record.push_back(0);
  RenameFileStep(record.data());
  EXPECT_TRUE(Exists(dir_ + "\\new.txt"));
  EXPECT_FALSE(Exists(from));

  std::string missing = dir_ + "\\no such.txt";
  HANDLE h = OpenFile(missing.c_str(), kOpenRead, false);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  ReportFileError(missing.c_str(), 1);
  std::string error = g_run.errorText;
  EXPECT_EQ(error.substr(0, 14 + missing.size()), "Cannot create " + missing);  // message 0 with the path
  EXPECT_GT(error.size(), ("Cannot create " + missing + ".").size());  // and the system's text
}

TEST_F(FileSystem, SearchCollectsMatches) {
  CreateDirectoryA((dir_ + "\\s1").c_str(), nullptr);
  CreateDirectoryA((dir_ + "\\s1\\s2").c_str(), nullptr);
  WriteWholeFile(dir_ + "\\s1\\target.ini", "1");
  WriteWholeFile(dir_ + "\\s1\\s2\\target.ini", "2");
  g_run.dataBuffer[0] = '\0';
  SearchOptions all{kSearchAllMatches, 0};
  SearchFiles((dir_ + "\\*.*").c_str(), "target.ini", true, 0, all);
  EXPECT_EQ(std::string(g_run.dataBuffer), dir_ + "\\s1\\target.ini\r\n" + dir_ + "\\s1\\s2\\target.ini");
  g_run.dataBuffer[0] = '\0';
  SearchOptions first{kSearchDirectories, 0};
  SearchFiles((dir_ + "\\*.*").c_str(), "target.ini", true, 0, first);
  EXPECT_EQ(std::string(g_run.dataBuffer), dir_ + "\\s1");
  g_run.dataBuffer[0] = '\0';
  SearchOptions shallow{kSearchAllMatches, 2};
  SearchFiles((dir_ + "\\*.*").c_str(), "target.ini", true, 0, shallow);
  EXPECT_EQ(std::string(g_run.dataBuffer), dir_ + "\\s1\\target.ini");

  char found[256];
  SearchAlongPath("target.ini", (" ;" + dir_ + "\\nothere; " + dir_ + "\\s1\\s2\\").c_str(), found, sizeof found);
  EXPECT_EQ(std::string(found), dir_ + "\\s1\\s2\\target.ini");
}

}  // namespace
}  // namespace tarn
