#include "host/archive_codec.h"

#include <windows.h>

#include <cstring>

#include "host/crc32.h"

namespace tarn {
namespace {
HostRecord* g_codecHost = nullptr;
uint32_t g_runningChecksum = 0;
constexpr DWORD kChunk = 64 * 1024;

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
  DWORD got = 0;
  return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}
}  // namespace

void SetCodecHostRecord(HostRecord* host) { g_codecHost = host; }

void __stdcall HostDecompress(HostHandle input, HostHandle output, uint32_t packedSize, uint32_t* checksum) {
  HostRecord* host = g_codecHost;
  HANDLE in = static_cast<HANDLE>(input);
  uint8_t method = 0;
  if (packedSize == 0) return;
  if (!ReadExactly(in, &method, 1) || method != kPackStored) {
    host->errorState = kErrorArchiveRead;
    return;
  }
  std::vector<uint8_t> buffer(kChunk);
  uint32_t remaining = packedSize - 1;
  uint32_t crc = 0;
  auto* target = static_cast<uint8_t*>(host->readTarget);
  while (remaining > 0) {
    DWORD n = remaining < kChunk ? remaining : kChunk;
    if (!ReadExactly(in, buffer.data(), n)) {
      host->errorState = kErrorArchiveRead;
      return;
    }
    crc = Crc32Update(crc, buffer.data(), n);
    if (output != nullptr) {
      DWORD written = 0;
      if (!WriteFile(static_cast<HANDLE>(output), buffer.data(), n, &written, nullptr) || written != n) {
        host->errorState = kErrorArchiveRead;
        return;
      }
    } else if (target != nullptr) {
      std::memcpy(target, buffer.data(), n);
      target += n;
    }
    if (host->hostFlags & kHostBytesProgress) host->bytesDone += n;
    remaining -= n;
  }
  if (checksum != nullptr) *checksum = crc;
}

uint32_t __stdcall HostChecksum(const void* data, uint32_t length) {
  if (data == nullptr) {
    g_runningChecksum = 0;
  } else {
    g_runningChecksum = Crc32Update(g_runningChecksum, data, length);
  }
  return g_runningChecksum;
}

std::vector<uint8_t> PackStored(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  packed.reserve(data.size() + 1);
  packed.push_back(kPackStored);
  packed.insert(packed.end(), data.begin(), data.end());
  return packed;
}

}  // namespace tarn
