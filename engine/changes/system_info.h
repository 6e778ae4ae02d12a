// The get-system-information step and the drive queries behind it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

// Kilobytes available to the caller on the drive or share of `path` (see FreeSpaceRoot
// for the root measured); 0 when the query fails. Uses the extended query when the
// system offers it (g_run.getDiskFreeSpaceEx), else the classic one.
uint64_t FreeSpaceKb(const char* path);

// The system's drive type of "%c:\" for drive number `drive` (0 = A).
unsigned DriveTypeOf(int drive);

// The serial number of the volume of drive number `drive` (1 = A); the drive number
// itself when the volume cannot be queried.
uint32_t VolumeSerial(int drive);

// The network user name for the local device `localName` (null: the current user of the
// network) into `out` (256 bytes), through "MPR.DLL". False (out empty) when none is found.
bool NetworkUser(char* out, const char* localName);

}  // namespace tarn
