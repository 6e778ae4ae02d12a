#include "host/pack.h"

#include <zlib.h>

#include "host/crc32.h"
#include "host/setup_format.h"

namespace tarn {

std::vector<uint8_t> PackStored(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  packed.reserve(data.size() + 1);
  packed.push_back(kPackStored);
  packed.insert(packed.end(), data.begin(), data.end());
  return packed;
}

std::vector<uint8_t> PackBest(const std::vector<uint8_t>& data, int level) {
  if (data.size() < 64) return PackStored(data);
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return PackStored(data);
  std::vector<uint8_t> packed(1 + deflateBound(&z, static_cast<uLong>(data.size())));
  packed[0] = kPackDeflate;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = packed.data() + 1;
  z.avail_out = static_cast<uInt>(packed.size() - 1);
  int result = deflate(&z, Z_FINISH);
  size_t produced = z.total_out;
  deflateEnd(&z);
  if (result != Z_STREAM_END || produced + 1 >= data.size() + 1) return PackStored(data);
  packed.resize(produced + 1);
  return packed;
}

bool Unpack(const std::vector<uint8_t>& packed, std::vector<uint8_t>* out) {
  out->clear();
  if (packed.empty()) return true;
  if (packed[0] == kPackStored) {
    out->assign(packed.begin() + 1, packed.end());
    return true;
  }
  if (packed[0] != kPackDeflate) return false;
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(packed.data() + 1);
  z.avail_in = static_cast<uInt>(packed.size() - 1);
  uint8_t chunk[65536];
  int result;
  do {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    result = inflate(&z, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    out->insert(out->end(), chunk, chunk + (sizeof chunk - z.avail_out));
  } while (result != Z_STREAM_END && (z.avail_in > 0 || z.avail_out == 0));
  inflateEnd(&z);
  return result == Z_STREAM_END;
}

uint32_t PeImageEnd(const uint8_t* h, size_t size) {
  auto u16 = [&](size_t at) -> uint32_t { return at + 2 <= size ? static_cast<uint32_t>(h[at] | (h[at + 1] << 8)) : 0; };
  auto u32 = [&](size_t at) -> uint32_t { return at + 4 <= size ? u16(at) | (u16(at + 2) << 16) : 0; };
  if (size < 64 || h[0] != 'M' || h[1] != 'Z') return 0;
  size_t pe = u32(60);
  if (pe + 24 > size || h[pe] != 'P' || h[pe + 1] != 'E') return 0;
  uint32_t sections = u16(pe + 6);
  size_t table = pe + 24 + u16(pe + 20);
  uint32_t end = 0;
  for (uint32_t i = 0; i < sections; ++i) {
    size_t section = table + i * 40;
    if (section + 40 > size) return 0;
    uint32_t raw = u32(section + 20) + u32(section + 16);
    if (raw > end) end = raw;
  }
  return end;
}

uint32_t Checksum(const std::vector<uint8_t>& data) { return Crc32Update(0, data.data(), data.size()); }

}  // namespace tarn
