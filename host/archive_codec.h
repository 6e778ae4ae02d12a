// The host's side of archive reading: the decompress and checksum functions that the
// engine calls through the host record. Entries are packed as host/pack.h makes them.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/entry/host_record.h"
#include "host/pack.h"
#include "host/setup_format.h"

namespace tarn {

// The record whose errorState, cancelState and readTarget the two functions use.
void SetCodecHostRecord(HostRecord* host);

void __stdcall HostDecompress(HostHandle input, HostHandle output, uint32_t packedSize, uint32_t* checksum);
uint32_t __stdcall HostChecksum(const void* data, uint32_t length);

// How a split archive continues: the setup program `setupPath` holds it up to logical
// position `firstEnd`, each further part `diskSize` bytes; the parts SETUP.W02,
// SETUP.W03, ... lie in `directory` (with a final backslash). No call: one file.
void SetCodecArchiveParts(const char* setupPath, uint32_t firstEnd, uint32_t diskSize, const char* directory);

// Called after every chunk written by HostDecompress with the bytes written so far (a
// host may show progress or take a cancel there); null = none.
void SetCodecChunkHook(void (*hook)(uint32_t written));

}  // namespace tarn
