// The lines of the installation log. The uninstaller reads this file: every format here
// is byte-exact, and every line ends with CR LF unless a record continues it.
#pragma once
#include <cstdint>
#include <string>

namespace tarn {

struct LocalTime {
  int year, month, day, hour, minute, second;
};

// "MM/DD/YYYY H:MM" (the time without its seconds).
std::string LogStartDate(const LocalTime& t);

struct LogHeaderFields {
  LocalTime now;
  std::string title;
  std::string installerPath;
  bool installerDetails = false;  // detail option 0x40 and the installer file could be read
  LocalTime installerTime{};
  long installerSize = 0;
  std::string uninstallStatusName;  // expanded; empty = no uninstall lines
  std::string manufacturer, product, productVersion, serialNumber;
  std::string userKeyName;
  bool restorePoint = false;
};
std::string LogHeader(const LogHeaderFields& f);

// Year of a DOS date as the log writes it: (year - 1900) mod 100, then 20xx below 60.
int LogYearFromDosDate(uint16_t dosDate);

struct FileDetails {
  bool dateKnown = false;  // the described file could be opened
  uint16_t dosDate = 0, dosTime = 0;
  bool versionKnown = false;
  uint32_t versionMS = 0, versionLS = 0;
  bool sizeAndChecksum = false;  // option 0x40 with a known checksum
  long size = 0;
  uint32_t checksum = 0;
};
// The text that continues a file record line after its path.
std::string FileRecordDetails(const FileDetails& d);

// "File Copy: " / "File Overwrite: " + path + details + CR LF.
std::string FileRecord(bool overwrite, const std::string& longPath, const std::string& details);

std::string IniRecord(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value, const std::string* previous);

// A registry record. `previousType` is the type digit of the value that was there before;
// multi-line texts are split only when it is '2'. `flagByte` is the record's flag byte,
// `root` its root number.
std::string RegistryRecord(const std::string& key, const std::string& newValue, const std::string& oldValue,
                           bool oldPresent, const std::string& valueName, char previousType, uint8_t flagByte,
                           int root);

// Program-group records from a program-manager command: "[AddItem(cmd,name,...)]" gives an
// icon record, "[CreateGroup(name,...)]" a group record; other commands give "".
std::string ProgramGroupRecord(const std::string& command);

}  // namespace tarn
