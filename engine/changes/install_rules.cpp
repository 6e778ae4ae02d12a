#include "engine/changes/install_rules.h"

#include <cstring>

#include "engine/script/script_format.h"

namespace tarn {
namespace {
const char* NextString(const char* s) { return s + std::strlen(s) + 1; }
}  // namespace

InstallRecord ReadInstallRecord(const uint8_t* record, int languageCount) {
  InstallRecord r;
  r.opcode = record[0];
  r.flags = record[1];
  r.flags2 = record[2];
  r.dataStart = ReadU32(record + 3);
  r.dataEnd = ReadU32(record + 7);
  r.fileDate = ReadU16(record + 11);
  r.fileTime = ReadU16(record + 13);
  r.fileSize = ReadU32(record + 15);
  r.versionMS = ReadU32(record + 19);
  r.versionLS = ReadU32(record + 23);
  r.fileOS = ReadU32(record + 27);
  r.fileType = ReadU32(record + 31);
  r.fileSubtype = ReadU32(record + 35);
  r.dataChecksum = ReadU32(record + 39);
  const char* text = reinterpret_cast<const char*>(record + kInstallRecordFixed);
  r.destination = text;
  text = NextString(text);
  r.descriptions = text;
  for (int i = 0; i < languageCount; ++i) text = NextString(text);
  r.transformArg = text;
  if (r.opcode == OP_INSTALL_FILE_EX) r.source = NextString(text);
  return r;
}

bool DateAllowsCopy(uint16_t existingDate, uint16_t existingTime, uint16_t newDate, uint16_t newTime, uint8_t rule) {
  if (newDate != existingDate) return newDate > existingDate;
  if (newTime != existingTime) return newTime > existingTime;
  return (rule & kDateRuleMask) == kDateSkipIfNewer;
}

SharedCounterAction SharedCounterFor(bool shared, bool existed, uint32_t count) {
  SharedCounterAction action;
  if (shared) {
    if (existed && count == 0) count = 1;
    action.write = true;
    action.value = count + 1;
  } else if (count > 0) {
    action.logIgnored = true;
  }
  return action;
}

std::string PieceSuffix(unsigned piece) {
  const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix(3, '0');
  for (int i = 2; i >= 0; --i) {
    suffix[static_cast<size_t>(i)] = digits[piece % 36];
    piece /= 36;
  }
  return suffix;
}

long ParseDecimal(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long value = 0;
  while (*text >= '0' && *text <= '9') {
    if (value < 0x7FFFFFFF / 10) value = value * 10 + (*text - '0');
    ++text;
  }
  return negative ? -value : value;
}

}  // namespace tarn
