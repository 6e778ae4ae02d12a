// The layout of a self-contained setup program: the setup stub, then the archive, then a
// fixed trailer at the very end of the file that tells the stub where everything is.
//
// Archive, in order: the packed engine library, the packed compiled script, then what
// the engine itself reads in order (auxiliary entries 4 to 7 when present, the built-in
// dialog block) and the packed file data. A packed entry is one method byte followed by
// the data: 0 stored, 1 raw deflate.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

constexpr uint8_t kPackStored = 0;
constexpr uint8_t kPackDeflate = 1;

constexpr char kSetupMagic[8] = {'T', 'A', 'R', 'N', 'S', 'E', 'T', '1'};

#pragma pack(push, 1)
struct SetupTrailer {
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
  uint32_t diskSize;              // 68: bytes per archive file; 0 = one file
  uint32_t reserved[4];           // 72
  char magic[8];                  // 88
};
#pragma pack(pop)
static_assert(sizeof(SetupTrailer) == 96);
static_assert(offsetof(SetupTrailer, packedSize) == 20);
static_assert(offsetof(SetupTrailer, gradientColours) == 56);
static_assert(offsetof(SetupTrailer, magic) == 88);

}  // namespace tarn
