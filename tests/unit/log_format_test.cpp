#include "engine/changes/log_format.h"

#include <gtest/gtest.h>

#include "engine/changes/path_rules.h"

namespace tarn {
namespace {

uint16_t DosDate(int year, int month, int day) { return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day); }
uint16_t DosTime(int hour, int minute, int second) { return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2)); }

TEST(LogFormat, HeaderWithAndWithoutOptionalLines) {
  LogHeaderFields f;
  f.now = {2026, 3, 7, 9, 5, 42};
  f.title = "App Setup";
  f.installerPath = "C:\\DL\\SETUP.EXE";
  EXPECT_EQ(LogHeader(f),
            "***  Installation Started 03/07/2026 9:05  ***\r\nTitle: App Setup\r\nSource: C:\\DL\\SETUP.EXE\r\n");
  f.installerDetails = true;
  f.installerTime = {2025, 12, 31, 23, 59, 58};
  f.installerSize = 123456;
  f.uninstallStatusName = "UNINST";
  f.manufacturer = "Tarn";
  f.product = "App";
  f.productVersion = "1.2";
  f.serialNumber = "42";
  f.userKeyName = "AppUser";
  f.restorePoint = true;
  EXPECT_EQ(LogHeader(f),
            "***  Installation Started 03/07/2026 9:05  ***\r\nTitle: App Setup\r\n"
            "Source: C:\\DL\\SETUP.EXE | 12-31-2025 | 23:59:58 | 123456\r\n"
            "Uninstall MIF: UNINST\r\nManufacturer: Tarn\r\nProduct: App\r\nVersion Number: 1.2\r\nSerial Number: 42\r\n"
            "Per-User ID: AppUser\r\nSystem Restore: Enabled\r\n");
}

TEST(LogFormat, FileRecordDetails) {
  FileDetails d;
  d.dateKnown = true;
  d.dosDate = DosDate(2000, 8, 30);
  d.dosTime = DosTime(20, 34, 8);
  d.versionKnown = true;
  d.versionMS = 0x00010000;
  d.versionLS = 0x00000011;
  d.sizeAndChecksum = true;
  d.size = 40960;
  d.checksum = 0x9f3a21c4;
  EXPECT_EQ(FileRecord(true, "C:\\Program Files\\App\\app.dll", FileRecordDetails(d)),
            "File Overwrite: C:\\Program Files\\App\\app.dll | 08-30-2000 | 20:34:08 | 1.0.0.17 | 40960 | 9f3a21c4\r\n");
  FileDetails unknown;
  EXPECT_EQ(FileRecord(false, "C:\\a.txt", FileRecordDetails(unknown)), "File Copy: C:\\a.txt | | |\r\n");
  d.versionKnown = false;
  d.sizeAndChecksum = false;
  d.dosDate = DosDate(2061, 1, 2);  // 2060 and later are written in the 1900s
  EXPECT_EQ(FileRecordDetails(d), " | 01-02-1961 | 20:34:08 |");
  EXPECT_EQ(LogYearFromDosDate(DosDate(2059, 1, 1)), 2059);
  EXPECT_EQ(LogYearFromDosDate(DosDate(2060, 1, 1)), 1960);
  EXPECT_EQ(LogYearFromDosDate(DosDate(1999, 1, 1)), 1999);
}

TEST(LogFormat, RegistryRecords) {
  // A new string value under HKEY_CLASSES_ROOT without a value name: key and value only.
  EXPECT_EQ(RegistryRecord(".tarn", "TarnFile", "", false, "", '0', 0, 0), "RegDB Key: .tarn\r\nRegDB Val: TarnFile\r\n");
  // A multi-string value replaced: one line per line of the new and the old text.
  EXPECT_EQ(RegistryRecord("Software\\T", "a\r\nb", "x\r\ny\r\nz", true, "List", '2', 0x22, 2),
            "RegDB Key: Software\\T\r\nRegDB Val: a\r\nRegDB Val: b\r\nRegDB Name: List\r\nRegDB Type: 2\r\n"
            "RegDB Root: 2\r\nRegDB Old: x\r\nRegDB Old: y\r\nRegDB Old: z\r\n");
  // Not a multi-string: the CR stays inside the one entry; an empty old value is not logged.
  EXPECT_EQ(RegistryRecord("K", "a\r\nb", "", true, "", '3', 1, 1),
            "RegDB Key: K\r\nRegDB Val: a\r\nb\r\nRegDB Type: 3\r\nRegDB Root: 1\r\n");
}

TEST(LogFormat, IniAndProgramGroupRecords) {
  std::string old = "1";
  EXPECT_EQ(IniRecord("C:\\W\\A.INI", "Sect", "Key", "2", &old),
            "INI File: C:\\W\\A.INI\r\nINI Sect: Sect\r\nINI Item: Key\r\nINI Val: 2\r\nINI Old: 1\r\n");
  EXPECT_EQ(IniRecord("A.INI", "S", "Gone", "", nullptr), "INI File: A.INI\r\nINI Sect: S\r\nINI Item: Gone\r\nINI Val: \r\n");
  EXPECT_EQ(ProgramGroupRecord("[AddItem(C:\\App\\app.exe,My App,icon.ico)]"),
            "Icon Name: My App\r\nIcon Cmd: C:\\App\\app.exe\r\n");
  EXPECT_EQ(ProgramGroupRecord("[CreateGroup(Tools,1)]"), "Icon Group: Tools\r\n");
  EXPECT_EQ(ProgramGroupRecord("[CreateGroup(Tools)]"), "Icon Group: Tools\r\n");
  EXPECT_EQ(ProgramGroupRecord("[ShowGroup(Tools,1)]"), "");
  EXPECT_EQ(ProgramGroupRecord("[AddItem(no second comma)]"), "");
}

TEST(PathRules, NumberedNamesAndLabels) {
  EXPECT_EQ(NumberedName("D:\\BAK\\A.DLL", 2), "D:\\BAK\\A.002");
  EXPECT_EQ(NumberedName("D:\\BAK\\README", 1), "D:\\BAK\\README.001");
  EXPECT_EQ(NumberedName("D:\\B.AK\\README", 999), "D:\\B.AK\\README.999");  // a dot of a directory is no extension
  EXPECT_EQ(VolumeLabelAsShortName("INSTALLDISK1"), "INSTALLD.ISK1");
  EXPECT_EQ(VolumeLabelAsShortName("DISK1"), "DISK1");
  EXPECT_EQ(TemporaryFileName(0x1a), "~ZEH001a.TMP");
  EXPECT_TRUE(IsSystemOrAbove("C:\\WINDOWS\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS"));
  EXPECT_TRUE(IsSystemOrAbove("c:\\windows\\system32\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS"));
  EXPECT_TRUE(IsSystemOrAbove("C:\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS"));
  EXPECT_FALSE(IsSystemOrAbove("C:\\WINDOWS\\TEMP\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS"));
  EXPECT_FALSE(IsSystemOrAbove("C:\\WIN\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS"));
}

struct Source {
  std::string data;
  size_t at = 0;
  size_t chunk = 3;  // small refills exercise lines that cross the buffer's end
};
size_t Refill(void* context, char* buffer, size_t size) {
  Source* s = static_cast<Source*>(context);
  size_t n = std::min({size, s->chunk, s->data.size() - s->at});
  s->data.copy(buffer, n, s->at);
  s->at += n;
  return n;
}

TEST(PathRules, LineReader) {
  struct Case {
    const char* what;
    std::string data;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF lines", "one\r\ntwo\r\n", {"one\n", "two\n"}},
      {"LF only is one line", "a\nb\nc\n", {"abc"}},
      {"last line without end", "x\r\nlast", {"x\n", "last"}},
      {"long line cut to capacity - 2", "abcdefghij\r\nk\r\n", {"abcdef", "k\n"}},
  };
  for (const Case& c : cases) {
    Source source{c.data};
    char buffer[4];
    LineBuffer lines{buffer, sizeof buffer, 0, 0};
    std::vector<std::string> got;
    char out[8];
    while (NextLine(lines, out, sizeof out, &Refill, &source)) got.push_back(out);
    EXPECT_EQ(got, c.lines) << c.what;
  }
}

}  // namespace
}  // namespace tarn
