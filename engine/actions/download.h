#pragma once
#include <cstdint>

namespace tarn {
// Fetches `url` into `localPath` (`length` bytes, `progressSize` for the progress display,
// the file then dated `dosDate`/`dosTime`). 0 on success; may set cancelState or
// errorState of the host record.
int Download(const char* url, const char* localPath, uint32_t length, uint32_t progressSize, uint16_t dosDate,
             uint16_t dosTime);
}  // namespace tarn
