// The record an installer host hands to TarnMain, and the host's two functions. Fixed to
// the byte: hosts built separately fill it. 32-bit Windows only.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

static_assert(sizeof(void*) == 4, "the host record is a 32-bit layout");

using HostHandle = void*;  // HWND, HINSTANCE, HANDLE, HGLOBAL, HPALETTE as the host passes them

// decompress(input, output, packedSize, checksum): consumes packedSize bytes at the
// current position of `input`, writes the expanded data to `output` (or to readTarget
// when output is 0) and leaves the checksum it computed at *checksum when given.
using DecompressFunction = void(__stdcall*)(HostHandle input, HostHandle output, uint32_t packedSize,
                                            uint32_t* checksum);
// checksum(nullptr, 0) starts a running checksum; every call returns the running value.
using ChecksumFunction = uint32_t(__stdcall*)(const void* data, uint32_t length);

#pragma pack(push, 1)
struct HostRecord {
  HostHandle hostWindow;             // 0x00
  HostHandle splashWindow;           // 0x04
  HostHandle hostInstance;           // 0x08
  uint32_t archivePosition;          // 0x0C
  uint32_t diskBase;                 // 0x10
  uint32_t unused14;                 // 0x14
  uint32_t bytesDone;                // 0x18
  uint32_t fileBytesDone;            // 0x1C
  HostHandle archiveHandle;          // 0x20
  uint32_t cancelState;              // 0x24
  uint8_t errorState;                // 0x28
  uint8_t errorStatePad[3];
  int32_t backgroundWidth;           // 0x2C
  int32_t backgroundHeight;          // 0x30
  uint32_t timerWaiting;             // 0x34
  uint32_t silent;                   // 0x38
  uint32_t hostBusy;                 // 0x3C
  uint32_t hostFlags;                // 0x40
  uint8_t screenState;               // 0x44
  uint8_t screenStatePad[3];
  HostHandle hostPalette;            // 0x48
  HostHandle backgroundPalette;      // 0x4C
  HostHandle videoWindow;            // 0x50
  uint32_t scriptLength;             // 0x54
  uint32_t unused58[3];              // 0x58 .. 0x60
  uint32_t packedSize[4];            // 0x64: entries 4, 5, 6, 7 (index 0 = entry 4)
  uint32_t unused74[3];              // 0x74 .. 0x7C
  uint32_t dialogBlockPackedSize;    // 0x80
  uint32_t dialogBlockSize;          // 0x84
  uint32_t unused88[3];              // 0x88 .. 0x90
  uint32_t exitSectionOffset;        // 0x94
  uint32_t abortSectionOffset;       // 0x98
  const int16_t* gradientColours;    // 0x9C: start r, g, b, then change of r, g, b
  HostHandle scriptMemory;           // 0xA0
  uint8_t* script;                   // 0xA4: room for one byte after scriptLength
  HostHandle splashMemory;           // 0xA8
  uint32_t splashCleared;            // 0xAC
  void* readTarget;                  // 0xB0
  const char* installerPath;         // 0xB4
  DecompressFunction decompress;     // 0xB8
  ChecksumFunction checksum;         // 0xBC
  char** messageTable;               // 0xC0
};
#pragma pack(pop)

static_assert(sizeof(HostRecord) == 196);
static_assert(offsetof(HostRecord, splashWindow) == 0x04);
static_assert(offsetof(HostRecord, hostInstance) == 0x08);
static_assert(offsetof(HostRecord, archivePosition) == 0x0C);
static_assert(offsetof(HostRecord, diskBase) == 0x10);
static_assert(offsetof(HostRecord, bytesDone) == 0x18);
static_assert(offsetof(HostRecord, fileBytesDone) == 0x1C);
static_assert(offsetof(HostRecord, archiveHandle) == 0x20);
static_assert(offsetof(HostRecord, cancelState) == 0x24);
static_assert(offsetof(HostRecord, errorState) == 0x28);
static_assert(offsetof(HostRecord, backgroundWidth) == 0x2C);
static_assert(offsetof(HostRecord, backgroundHeight) == 0x30);
static_assert(offsetof(HostRecord, timerWaiting) == 0x34);
static_assert(offsetof(HostRecord, silent) == 0x38);
static_assert(offsetof(HostRecord, hostBusy) == 0x3C);
static_assert(offsetof(HostRecord, hostFlags) == 0x40);
static_assert(offsetof(HostRecord, screenState) == 0x44);
static_assert(offsetof(HostRecord, hostPalette) == 0x48);
static_assert(offsetof(HostRecord, backgroundPalette) == 0x4C);
static_assert(offsetof(HostRecord, videoWindow) == 0x50);
static_assert(offsetof(HostRecord, scriptLength) == 0x54);
static_assert(offsetof(HostRecord, packedSize) == 0x64);
static_assert(offsetof(HostRecord, dialogBlockPackedSize) == 0x80);
static_assert(offsetof(HostRecord, dialogBlockSize) == 0x84);
static_assert(offsetof(HostRecord, exitSectionOffset) == 0x94);
static_assert(offsetof(HostRecord, abortSectionOffset) == 0x98);
static_assert(offsetof(HostRecord, gradientColours) == 0x9C);
static_assert(offsetof(HostRecord, scriptMemory) == 0xA0);
static_assert(offsetof(HostRecord, script) == 0xA4);
static_assert(offsetof(HostRecord, splashMemory) == 0xA8);
static_assert(offsetof(HostRecord, splashCleared) == 0xAC);
static_assert(offsetof(HostRecord, readTarget) == 0xB0);
static_assert(offsetof(HostRecord, installerPath) == 0xB4);
static_assert(offsetof(HostRecord, decompress) == 0xB8);
static_assert(offsetof(HostRecord, checksum) == 0xBC);
static_assert(offsetof(HostRecord, messageTable) == 0xC0);

// hostFlags bits
constexpr uint32_t kHostBackgroundMask = 0x3;       // 0 maximised, 1 normal, 2 not shown
constexpr uint32_t kHostTopmostForProgman = 0x4;
constexpr uint32_t kHostProgressByPosition = 0x40;
constexpr uint32_t kHostGradientPalette = 0x80;
constexpr uint32_t kHostDialogLookMask = 0x600;
constexpr uint32_t kHostDialogLookShift = 9;
constexpr uint32_t kHostBeepBeforeDiskPrompt = 0x800;
constexpr uint32_t kHostOpaqueBackground = 0x1000;
constexpr uint32_t kHostRestartReplaceAllowed = 0x2000;
constexpr uint32_t kHostHasTransformLibrary = 0x8000;
constexpr uint32_t kHostBytesProgress = 0x10000;
constexpr uint32_t kHostHasRegistrationProgram = 0x20000;
constexpr uint32_t kHostListDialogOption = 0x100000;
constexpr uint32_t kHostDownloadMode = 0x400000;
constexpr uint32_t kHostKeepSilentForRestart = 0x20000000;

// cancelState values
constexpr uint32_t kCancelNone = 0;
constexpr uint32_t kCancelUser = 1;
constexpr uint32_t kCancelDiskMissing = 2;
constexpr uint32_t kCancelController = 4;
// errorState values
constexpr uint8_t kErrorNone = 0;
constexpr uint8_t kErrorReported = 1;
constexpr uint8_t kErrorArchiveRead = 2;

}  // namespace tarn
