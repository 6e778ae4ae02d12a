// The layout of a self-contained setup program: the setup stub (a PE image), right after
// its last section a fixed record that tells the stub where everything is, then the
// archive up to the end of the file.
//
// Archive, in order: the packed engine library, the packed compiled script, then what
// the engine itself reads in order (auxiliary entries 4 to 7 when present, the built-in
// dialog block) and the packed file data. A packed entry is one method byte followed by
// the data: 0 stored, 1 raw deflate.
//
// With a disk size the archive is split: the setup program holds its first part, and the
// files SETUP.W02, SETUP.W03, ... beside it hold `diskSize` bytes each. Positions in the
// archive count as if the parts followed the setup program's first part directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarn {

constexpr uint8_t kPackStored = 0;
constexpr uint8_t kPackDeflate = 1;

constexpr char kSetupMagic[8] = {'T', 'A', 'R', 'N', 'S', 'E', 'T', '1'};

#pragma pack(push, 1)
struct SetupRecord {
  uint32_t archiveOffset;         // 0: where the archive starts in the setup file
  uint32_t enginePackedSize;      // 4
  uint32_t engineSize;            // 8
  uint32_t scriptPackedSize;      // 12
  uint32_t scriptSize;            // 16
  uint32_t packedSize[4];         // 20: auxiliary entries 4 to 7
  uint32_t dialogBlockPackedSize; // 36
  uint32_t dialogBlockSize;       // 40
  uint32_t hostFlags;             // 44
  uint32_t exitSectionOffset;     // 48
  uint32_t abortSectionOffset;    // 52
  int16_t gradientColours[6];     // 56
  uint32_t diskSize;              // 68: bytes of archive in each further file; 0 = one file
  uint32_t firstPartSize;         // 72: bytes of archive in the setup program itself
  uint32_t reserved[3];           // 76
  char magic[8];                  // 88
};
#pragma pack(pop)
static_assert(sizeof(SetupRecord) == 96);
static_assert(offsetof(SetupRecord, packedSize) == 20);
static_assert(offsetof(SetupRecord, gradientColours) == 56);
static_assert(offsetof(SetupRecord, magic) == 88);

// The end of the PE image in `headers` (the first bytes of the file, at least up to the
// section table): the end of its last section's raw data. 0 when it is no PE image.
uint32_t PeImageEnd(const uint8_t* headers, size_t size);

}  // namespace tarn
