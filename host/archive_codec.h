// The host's side of archive reading: the decompress and checksum functions that the
// engine calls through the host record. Entries are packed as host/pack.h makes them.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/entry/host_record.h"
#include "host/pack.h"

namespace tarn {

// The record whose errorState, cancelState and readTarget the two functions use.
void SetCodecHostRecord(HostRecord* host);

void __stdcall HostDecompress(HostHandle input, HostHandle output, uint32_t packedSize, uint32_t* checksum);
uint32_t __stdcall HostChecksum(const void* data, uint32_t length);

// Called after every chunk written by HostDecompress with the bytes written so far (a
// host may show progress or take a cancel there); null = none.
void SetCodecChunkHook(void (*hook)(uint32_t written));

}  // namespace tarn
