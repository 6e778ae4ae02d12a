// The install-file record and the decisions of the install step that need no file system:
// the date rule, the shared-file counter, the names of download pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

// flags
constexpr uint8_t kCheckVersion = 0x01;
constexpr uint8_t kSharedFile = 0x02;
constexpr uint8_t kNoLog = 0x04;
constexpr uint8_t kDateRuleMask = 0x18;
constexpr uint8_t kDateSkipIfNewer = 0x08;
constexpr uint8_t kDateSkipIfNewerOrSame = 0x10;
constexpr uint8_t kDateOnlyIfMissing = 0x18;
constexpr uint8_t kNoProgress = 0x20;
constexpr uint8_t kExternalSource = 0x40;
// flags2
constexpr uint8_t kRecurse = 0x01;
constexpr uint8_t kLocalData = 0x08;
constexpr uint8_t kSelfRegister = 0x10;
constexpr uint8_t kPrivateLocation = 0x20;
constexpr uint8_t kLocalDataUncounted = 0x40;
constexpr uint8_t kWildcard = 0x80;

constexpr size_t kInstallRecordFixed = 43;

// The fields of an install-file record (opcodes 0 and 18). Texts point into the record
// (or, for the files of a wildcard record, into the walk's own buffers).
struct InstallRecord {
  uint8_t opcode = 0;
  uint8_t flags = 0;
  uint8_t flags2 = 0;
  uint32_t dataStart = 0;
  uint32_t dataEnd = 0;
  uint16_t fileDate = 0;
  uint16_t fileTime = 0;
  uint32_t fileSize = 0;
  uint32_t versionMS = 0, versionLS = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
  uint32_t dataChecksum = 0;
  const char* destination = "";
  const char* descriptions = "";  // language 0's description; one per language follows
  const char* transformArg = "";
  const char* source = "";        // opcode 18 only
};

// Reads the record at `record` (its strings already known to end inside the script).
InstallRecord ReadInstallRecord(const uint8_t* record, int languageCount);

// The date rule: whether a new file with (newDate, newTime) replaces an existing one.
// Dates, then times, compare as unsigned 16-bit values; an equal date and time copies only
// under kDateSkipIfNewer.
bool DateAllowsCopy(uint16_t existingDate, uint16_t existingTime, uint16_t newDate, uint16_t newTime, uint8_t rule);

// What the shared-file counter becomes: a shared file gets count + 1 (an existing file
// found without a counter counts as 1, so it gets 2); a file that is not shared leaves a
// positive counter alone and says so in the log.
struct SharedCounterAction {
  bool write = false;
  uint32_t value = 0;
  bool logIgnored = false;
};
SharedCounterAction SharedCounterFor(bool shared, bool existed, uint32_t count);

// The three base-36 digits ("0"-"9", then "a"-"z") that name download piece `piece`.
std::string PieceSuffix(unsigned piece);

// Numeric value of a size variable such as TARNCURFILEBAR: leading blanks, sign, digits.
long ParseDecimal(const char* text);

}  // namespace tarn
