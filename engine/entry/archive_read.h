// Reading archive data through the host's decompression function.
#pragma once
#include <windows.h>

#include <cstdint>

namespace tarn {

// Positions archiveHandle at archivePosition - diskBase when that lies inside the open
// archive file; otherwise leaves the handle at the end of the file.
void SeekArchive();

// The only way the engine calls the host's decompress: adds the read-error retry.
void ReadEntry(HANDLE input, HANDLE output, uint32_t packedSize, uint32_t* checksum);

// Extracts auxiliary entry `index` (4..7) into a fresh temporary file with `prefix`.
// Returns false after reporting "Internal Error" when the file cannot be created.
bool ExtractAuxEntry(int index, const char* prefix);

}  // namespace tarn
