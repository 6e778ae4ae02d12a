// The host's side of archive reading: the decompress and checksum functions that the
// engine calls through the host record. A packed entry is one method byte followed by
// the data: 0 = stored.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/entry/host_record.h"

namespace tarn {

constexpr uint8_t kPackStored = 0;

// The record whose errorState, cancelState and readTarget the two functions use.
void SetCodecHostRecord(HostRecord* host);

void __stdcall HostDecompress(HostHandle input, HostHandle output, uint32_t packedSize, uint32_t* checksum);
uint32_t __stdcall HostChecksum(const void* data, uint32_t length);

// Packs `data` as a stored entry.
std::vector<uint8_t> PackStored(const std::vector<uint8_t>& data);

}  // namespace tarn
