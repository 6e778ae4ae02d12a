// The installation log: written to a temporary file during the run, appended to the log
// location (INSTALL.LOG by default) when it is closed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

// Start of the run: unless the run is a test run or the script disables the log, opens a
// log on a fresh temporary file with prefix "ZEG".
void StartLog();
// Creates the log at `temporaryPath` and writes its header; false leaves it closed.
bool OpenLog(const char* temporaryPath);
// Appends the log to its location (unless paused or a test run) and deletes it.
void CloseLog();
bool LogIsWritable();  // open and not paused

void LogRaw(const char* bytes, size_t length);
void LogText(const std::string& text);
void LogLine(const char* text);  // the text and CR LF

// The file record of an installed file: the backup record when `backupPath` is given,
// else the in-use record when `inUse`, else "File Copy/Overwrite" with its details.
// `describedPath` is the file whose date and version the details show (the destination,
// or the temporary file of a file waiting for replacement at restart).
struct FileRecordFields {
  const char* destination = "";
  const char* describedPath = nullptr;
  const char* backupPath = nullptr;
  bool inUse = false;
  bool existed = false;
  uint32_t checksum = 0;
  long size = 0;
};
void WriteFileRecord(const FileRecordFields& fields);

void WriteIniRecord(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value, const std::string* previous);
void WriteRegistryRecord(const std::string& key, const std::string& newValue, const std::string& oldValue,
                         bool oldPresent, const std::string& valueName, char previousType, uint8_t flagByte, int root);
void WriteProgramGroupRecord(const std::string& command);

// While the log location is empty, the first logged file sets it to its directory +
// "INSTALL.LOG".
void SetDefaultLogLocation(const char* destination);


}  // namespace tarn
