// Packing archive entries: deflate when it pays, stored otherwise.
#pragma once
#include <cstdint>
#include <vector>

namespace tarn {
std::vector<uint8_t> PackStored(const std::vector<uint8_t>& data);
// Deflates `data` (raw deflate); keeps it stored when that is not smaller.
std::vector<uint8_t> PackBest(const std::vector<uint8_t>& data, int level = 6);
// Expands a packed entry; false when it is corrupt.
bool Unpack(const std::vector<uint8_t>& packed, std::vector<uint8_t>* out);
// CRC-32 of data, as the host's checksum computes it.
uint32_t Checksum(const std::vector<uint8_t>& data);
}  // namespace tarn
