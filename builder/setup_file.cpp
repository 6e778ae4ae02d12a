#include "builder/setup_file.h"

#include <cstring>

#include "host/pack.h"

namespace tarn {
namespace {
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
}  // namespace

std::vector<uint8_t> AssembleSetup(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& engine,
                                   const CompiledSetup& setup) {
  SetupTrailer t{};
  std::vector<uint8_t> out = stub;
  t.archiveOffset = static_cast<uint32_t>(out.size());
  std::vector<uint8_t> packed = PackBest(engine);
  t.enginePackedSize = static_cast<uint32_t>(packed.size());
  t.engineSize = static_cast<uint32_t>(engine.size());
  Append(out, packed);
  packed = PackBest(setup.script);
  t.scriptPackedSize = static_cast<uint32_t>(packed.size());
  t.scriptSize = static_cast<uint32_t>(setup.script.size());
  Append(out, packed);
  for (int i = 0; i < 4; ++i) {
    if (setup.auxEntries[static_cast<size_t>(i)].empty()) continue;
    packed = PackBest(setup.auxEntries[static_cast<size_t>(i)]);
    t.packedSize[i] = static_cast<uint32_t>(packed.size());
    Append(out, packed);
  }
  const std::vector<uint8_t> dialogBlock = {'T', 'D', 'B', 0};
  packed = PackStored(dialogBlock);
  t.dialogBlockPackedSize = static_cast<uint32_t>(packed.size());
  t.dialogBlockSize = static_cast<uint32_t>(dialogBlock.size());
  Append(out, packed);
  Append(out, setup.fileData);
  t.hostFlags = setup.hostFlags;
  t.exitSectionOffset = setup.exitSectionOffset;
  t.abortSectionOffset = setup.abortSectionOffset;
  std::memcpy(t.gradientColours, setup.gradient, sizeof t.gradientColours);
  t.diskSize = setup.diskSize;
  std::memcpy(t.magic, kSetupMagic, sizeof t.magic);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&t);
  out.insert(out.end(), raw, raw + sizeof t);
  return out;
}

bool ExtractScript(const std::vector<uint8_t>& file, std::vector<uint8_t>* script) {
  if (file.size() < sizeof(SetupTrailer)) return false;
  SetupTrailer t;
  std::memcpy(&t, file.data() + file.size() - sizeof t, sizeof t);
  if (std::memcmp(t.magic, kSetupMagic, sizeof t.magic) != 0) return false;
  uint64_t start = static_cast<uint64_t>(t.archiveOffset) + t.enginePackedSize;
  if (start + t.scriptPackedSize > file.size() - sizeof t) return false;
  std::vector<uint8_t> packed(file.begin() + static_cast<long>(start),
                              file.begin() + static_cast<long>(start + t.scriptPackedSize));
  return Unpack(packed, script) && script->size() == t.scriptSize;
}

}  // namespace tarn
