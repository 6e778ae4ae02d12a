#include "host/archive_codec.h"

#include <windows.h>

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/crc32.h"
#include "host/setup_format.h"

namespace tarn {
namespace {
HostRecord* g_codecHost = nullptr;
uint32_t g_runningChecksum = 0;
void (*g_chunkHook)(uint32_t) = nullptr;
constexpr DWORD kChunk = 64 * 1024;

// A split archive: where its parts are and which is open.
struct ArchiveParts {
  bool split = false;
  uint32_t firstEnd = 0;
  uint32_t diskSize = 0;
  std::string setupPath;
  std::string directory;
  uint32_t lastArchivePosition = 0;  // archivePosition when the engine last read
};
ArchiveParts g_parts;

// Opens the part that holds logical position `logical` as the archive and seeks there.
bool OpenPartFor(HostRecord* host, uint32_t logical) {
  if (!g_parts.split) return false;
  std::string path = g_parts.setupPath;
  uint32_t base = 0;
  if (logical >= g_parts.firstEnd) {
    uint32_t index = (logical - g_parts.firstEnd) / g_parts.diskSize;  // 0 = SETUP.W02
    char name[32];
    std::snprintf(name, sizeof name, "SETUP.W%02u", index + 2);
    path = g_parts.directory + name;
    base = g_parts.firstEnd + index * g_parts.diskSize;
  }
  HANDLE part = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (part == INVALID_HANDLE_VALUE) return false;
  if (host->archiveHandle != nullptr && host->archiveHandle != INVALID_HANDLE_VALUE) {
    CloseHandle(static_cast<HANDLE>(host->archiveHandle));
  }
  host->archiveHandle = part;
  host->diskBase = base;
  LARGE_INTEGER to;
  to.QuadPart = logical - host->diskBase;
  SetFilePointerEx(part, to, nullptr, FILE_BEGIN);
  return true;
}

uint32_t LogicalPosition(HostRecord* host) {
  LARGE_INTEGER zero{}, at{};
  SetFilePointerEx(static_cast<HANDLE>(host->archiveHandle), zero, &at, FILE_CURRENT);
  return host->diskBase + static_cast<uint32_t>(at.QuadPart);
}

bool AtEndOfPart(HANDLE file) {
  LARGE_INTEGER zero{}, at{}, size{};
  return SetFilePointerEx(file, zero, &at, FILE_CURRENT) && GetFileSizeEx(file, &size) && at.QuadPart >= size.QuadPart;
}

// Reads from the archive across the ends of its parts.
bool ReadArchive(HostRecord* host, HANDLE& in, void* buffer, DWORD size) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(in, out, size, &got, nullptr)) return false;
    out += got;
    size -= got;
    if (size == 0) break;
    if (got == 0 && !OpenPartFor(host, LogicalPosition(host))) return false;
    in = static_cast<HANDLE>(host->archiveHandle);
  }
  return true;
}

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
  DWORD got = 0;
  return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}
}  // namespace

void SetCodecHostRecord(HostRecord* host) { g_codecHost = host; }

void SetCodecArchiveParts(const char* setupPath, uint32_t firstEnd, uint32_t diskSize, const char* directory) {
  g_parts.split = diskSize != 0;
  g_parts.setupPath = setupPath;
  g_parts.firstEnd = firstEnd;
  g_parts.diskSize = diskSize;
  g_parts.directory = directory;
}
void SetCodecChunkHook(void (*hook)(uint32_t written)) { g_chunkHook = hook; }

// Hands one expanded chunk on: to the output file, or to readTarget when there is none.
// False when the output cannot take it.
bool Deliver(HostRecord* host, HANDLE output, uint8_t*& target, const uint8_t* data, DWORD n, uint32_t& crc,
             uint32_t& written) {
  crc = Crc32Update(crc, data, n);
  if (output != nullptr) {
    DWORD done = 0;
    if (!WriteFile(output, data, n, &done, nullptr) || done != n) return false;
  } else if (target != nullptr) {
    std::memcpy(target, data, n);
    target += n;
  }
  if (host->hostFlags & kHostBytesProgress) host->bytesDone += n;
  written += n;
  if (g_chunkHook != nullptr) g_chunkHook(written);
  return true;
}

void __stdcall HostDecompress(HostHandle input, HostHandle output, uint32_t packedSize, uint32_t* checksum) {
  HostRecord* host = g_codecHost;
  HANDLE in = static_cast<HANDLE>(input);
  HANDLE out = static_cast<HANDLE>(output);
  if (packedSize == 0) return;
  bool fromArchive = in == static_cast<HANDLE>(host->archiveHandle);
  if (fromArchive && g_parts.split && AtEndOfPart(in)) {
    // The engine sought outside the open part (it then leaves the handle at the end), or
    // the last entry ended exactly at the end of a part: open the part that holds the data.
    uint32_t wanted = host->archivePosition != g_parts.lastArchivePosition ? host->archivePosition : LogicalPosition(host);
    if (OpenPartFor(host, wanted)) in = static_cast<HANDLE>(host->archiveHandle);
  }
  g_parts.lastArchivePosition = host->archivePosition;
  auto read = [&](void* buffer, DWORD size) {
    return fromArchive ? ReadArchive(host, in, buffer, size) : ReadExactly(in, buffer, size);
  };
  uint8_t method = 0;
  if (!read(&method, 1) || (method != kPackStored && method != kPackDeflate)) {
    host->errorState = kErrorArchiveRead;
    return;
  }
  std::vector<uint8_t> buffer(kChunk);
  std::vector<uint8_t> expanded(method == kPackDeflate ? 4 * kChunk : 0);
  uint32_t remaining = packedSize - 1;
  uint32_t crc = 0, written = 0;
  auto* target = static_cast<uint8_t*>(host->readTarget);
  z_stream z{};
  if (method == kPackDeflate && inflateInit2(&z, -15) != Z_OK) {
    host->errorState = kErrorArchiveRead;
    return;
  }
  bool ok = true, ended = method == kPackStored;
  while (ok && remaining > 0 && host->cancelState == kCancelNone) {
    DWORD n = remaining < kChunk ? remaining : kChunk;
    if (!read(buffer.data(), n)) {
      ok = false;
      break;
    }
    remaining -= n;
    if (method == kPackStored) {
      ok = Deliver(host, out, target, buffer.data(), n, crc, written);
      continue;
    }
    z.next_in = buffer.data();
    z.avail_in = n;
    while (ok && z.avail_in > 0 && !ended) {
      z.next_out = expanded.data();
      z.avail_out = static_cast<uInt>(expanded.size());
      int result = inflate(&z, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END) {
        ok = false;
        break;
      }
      DWORD produced = static_cast<DWORD>(expanded.size() - z.avail_out);
      if (produced > 0) ok = Deliver(host, out, target, expanded.data(), produced, crc, written);
      ended = result == Z_STREAM_END;
    }
  }
  if (method == kPackDeflate) inflateEnd(&z);
  if (host->cancelState != kCancelNone) return;  // a cancel stops the expansion
  if (!ok || !ended) {
    host->errorState = kErrorArchiveRead;
    return;
  }
  if (checksum != nullptr) {
    // Data that does not match the checksum the script expects is damaged: it is reported
    // like a read error, so that the engine never puts it in place.
    if (*checksum != 0 && *checksum != crc) host->errorState = kErrorArchiveRead;
    *checksum = crc;
  }
}

uint32_t __stdcall HostChecksum(const void* data, uint32_t length) {
  if (data == nullptr) {
    g_runningChecksum = 0;
  } else {
    g_runningChecksum = Crc32Update(g_runningChecksum, data, length);
  }
  return g_runningChecksum;
}

}  // namespace tarn
