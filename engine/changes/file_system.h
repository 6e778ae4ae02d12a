// The engine's layer over the Windows file services.
#pragma once
#include <cstddef>

namespace tarn {

// Makes a unique file in the system's temporary directory with the three-letter prefix
// ("ZEB" when prefix is null) and writes its path to `out` (256 bytes); the file exists
// afterwards. With a null prefix and `directoryOnly`, the file is deleted again and `out`
// is cut to the temporary directory itself. Returns false when no file could be made.
bool MakeTemporaryFile(const char* prefix, char* out, size_t outSize, bool directoryOnly = false);

}  // namespace tarn
