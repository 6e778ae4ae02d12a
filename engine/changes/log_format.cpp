#include "engine/changes/log_format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace tarn {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  return std::string(big.data(), static_cast<size_t>(n));
}

// Splits a value text into its lines: at CR (an LF after it skipped) for multi-strings,
// else the whole text is one entry.
std::vector<std::string> ValueLines(const std::string& text, bool multi) {
  std::vector<std::string> lines;
  if (!multi) {
    lines.push_back(text);
    return lines;
  }
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  lines.push_back(line);
  return lines;
}

}  // namespace

std::string LogStartDate(const LocalTime& t) {
  std::string full = Format("%02d/%02d/%04d %d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute, t.second);
  return full.substr(0, full.size() - 3);
}

std::string LogHeader(const LogHeaderFields& f) {
  std::string text = Format("***  Installation Started %s  ***\r\nTitle: %s\r\nSource: %s", LogStartDate(f.now).c_str(),
                            f.title.c_str(), f.installerPath.c_str());
  if (f.installerDetails) {
    const LocalTime& t = f.installerTime;
    text += Format(" | %02d-%02d-%04d | %02d:%02d:%02d | %ld", t.month, t.day, t.year, t.hour, t.minute, t.second,
                   f.installerSize);
  }
  text += "\r\n";
  if (!f.uninstallStatusName.empty()) {
    text += Format("Uninstall MIF: %s\r\nManufacturer: %s\r\nProduct: %s\r\nVersion Number: %s\r\nSerial Number: %s\r\n",
                   f.uninstallStatusName.c_str(), f.manufacturer.c_str(), f.product.c_str(),
                   f.productVersion.c_str(), f.serialNumber.c_str());
  }
  if (!f.userKeyName.empty()) text += Format("Per-User ID: %s\r\n", f.userKeyName.c_str());
  if (f.restorePoint) text += "System Restore: Enabled\r\n";
  return text;
}

int LogYearFromDosDate(uint16_t dosDate) {
  int year = 1980 + (dosDate >> 9);
  int twoDigits = (year - 1900) % 100;
  return twoDigits < 60 ? twoDigits + 2000 : twoDigits + 1900;
}

std::string FileRecordDetails(const FileDetails& d) {
  std::string text;
  if (d.dateKnown) {
    text = Format(" | %02d-%02d-%04d | %02d:%02d:%02d |", (d.dosDate >> 5) & 0x0F, d.dosDate & 0x1F,
                  LogYearFromDosDate(d.dosDate), d.dosTime >> 11, (d.dosTime >> 5) & 0x3F, (d.dosTime & 0x1F) * 2);
  } else {
    text = " | | |";
  }
  if (d.versionKnown) {
    text += Format(" %u.%u.%u.%u", static_cast<unsigned>(d.versionMS >> 16), static_cast<unsigned>(d.versionMS & 0xFFFF),
                   static_cast<unsigned>(d.versionLS >> 16), static_cast<unsigned>(d.versionLS & 0xFFFF));
  }
  if (d.sizeAndChecksum) text += Format(" | %ld | %lx", d.size, static_cast<unsigned long>(d.checksum));
  return text;
}

std::string FileRecord(bool overwrite, const std::string& longPath, const std::string& details) {
  return std::string("File ") + (overwrite ? "Overwrite" : "Copy") + ": " + longPath + details + "\r\n";
}

std::string IniRecord(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value, const std::string* previous) {
  std::string text = "INI File: " + file + "\r\nINI Sect: " + section + "\r\nINI Item: " + key + "\r\nINI Val: " + value;
  if (previous != nullptr) text += "\r\nINI Old: " + *previous;
  return text + "\r\n";
}

std::string RegistryRecord(const std::string& key, const std::string& newValue, const std::string& oldValue,
                           bool oldPresent, const std::string& valueName, char previousType, uint8_t flagByte,
                           int root) {
  bool multi = previousType == '2';
  std::string text = "RegDB Key: " + key;
  for (const std::string& line : ValueLines(newValue, multi)) text += "\r\nRegDB Val: " + line;
  if (!valueName.empty()) text += "\r\nRegDB Name: " + valueName;
  if (previousType != '0') text += std::string("\r\nRegDB Type: ") + previousType;
  if (flagByte != 0) text += Format("\r\nRegDB Root: %d", root);
  text += "\r\n";
  if (oldPresent && !oldValue.empty()) {
    for (const std::string& line : ValueLines(oldValue, multi)) text += "RegDB Old: " + line + "\r\n";
  }
  return text;
}

std::string ProgramGroupRecord(const std::string& command) {
  if (command.size() < 2) return {};
  size_t open = command.find('(');
  if (open == std::string::npos) return {};
  if (command[1] == 'A') {
    size_t comma = command.find(',', open + 1);
    if (comma == std::string::npos) return {};
    size_t next = command.find(',', comma + 1);
    if (next == std::string::npos) return {};
    return "Icon Name: " + command.substr(comma + 1, next - comma - 1) + "\r\nIcon Cmd: " +
           command.substr(open + 1, comma - open - 1) + "\r\n";
  }
  if (command[1] == 'C') {
    size_t end = command.find_first_of(",)", open + 1);
    if (end == std::string::npos) return {};
    return "Icon Group: " + command.substr(open + 1, end - open - 1) + "\r\n";
  }
  return {};
}

}  // namespace tarn
