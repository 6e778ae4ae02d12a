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

uint32_t Checksum(const std::vector<uint8_t>& data) { return Crc32Update(0, data.data(), data.size()); }

}  // namespace tarn
