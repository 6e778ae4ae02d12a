// CRC-32 (the zlib polynomial), the checksum that the host hands to the engine.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {
// Continues a running CRC-32 over `length` bytes; start with crc = 0.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);
}  // namespace tarn
