// Version records and the rule that decides whether a new file is newer than an existing
// one. Pure: the records are read elsewhere.
#pragma once
#include <cstdint>

namespace tarn {

// Seven values read from a file's version resource.
struct VersionRecord {
  uint32_t versionMS = 0, versionLS = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
  uint32_t translation = 0x04E40409;  // language in the low 16 bits, code page in the high
  uint32_t is32BitImage = 0;
};

// Newer by the numbers: a greater versionMS, or an equal one with a greater versionLS.
// In full mode a newer file still is not newer when its OS, type or subtype differ, or,
// with `compareImageKinds` (both records read from files), when one is a 32-bit image and
// the other is not. Language and code page are never compared.
bool IsNewerRecord(const VersionRecord& incoming, const VersionRecord& existing, bool numbersOnly,
                   bool compareImageKinds);

}  // namespace tarn
