#include "builder/setup_file.h"

#include <cstring>

#include "host/pack.h"

namespace tarn {
namespace {
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
}  // namespace

std::vector<uint8_t> AssembleSetup(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& engine,
                                   const CompiledSetup& setup) {
  SetupRecord t{};
  // The record goes right after the stub's image; the archive follows it to the end.
  uint32_t imageEnd = PeImageEnd(stub.data(), stub.size());
  std::vector<uint8_t> out(stub.begin(), stub.begin() + (imageEnd ? imageEnd : stub.size()));
  size_t recordAt = out.size();
  out.resize(out.size() + sizeof t);
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
  t.firstPartSize = static_cast<uint32_t>(out.size() - t.archiveOffset);
  std::memcpy(out.data() + recordAt, &t, sizeof t);
  return out;
}

std::vector<std::vector<uint8_t>> SplitSetup(const std::vector<uint8_t>& setupFile, uint32_t diskSize) {
  std::vector<std::vector<uint8_t>> files;
  uint32_t recordAt = PeImageEnd(setupFile.data(), setupFile.size());
  SetupRecord t;
  if (diskSize == 0 || recordAt == 0 || recordAt + sizeof t > setupFile.size()) return {setupFile};
  std::memcpy(&t, setupFile.data() + recordAt, sizeof t);
  size_t firstEnd = t.archiveOffset + diskSize;
  if (firstEnd >= setupFile.size()) return {setupFile};
  t.diskSize = diskSize;
  t.firstPartSize = diskSize;
  std::vector<uint8_t> first(setupFile.begin(), setupFile.begin() + static_cast<long>(firstEnd));
  std::memcpy(first.data() + recordAt, &t, sizeof t);
  files.push_back(first);
  for (size_t at = firstEnd; at < setupFile.size(); at += diskSize) {
    size_t end = at + diskSize < setupFile.size() ? at + diskSize : setupFile.size();
    files.emplace_back(setupFile.begin() + static_cast<long>(at), setupFile.begin() + static_cast<long>(end));
  }
  return files;
}

bool ExtractScript(const std::vector<uint8_t>& file, std::vector<uint8_t>* script) {
  SetupRecord t;
  uint32_t recordAt = PeImageEnd(file.data(), file.size());
  if (recordAt == 0 || recordAt + sizeof t > file.size()) return false;
  std::memcpy(&t, file.data() + recordAt, sizeof t);
  if (std::memcmp(t.magic, kSetupMagic, sizeof t.magic) != 0) return false;
  uint64_t start = static_cast<uint64_t>(t.archiveOffset) + t.enginePackedSize;
  if (start + t.scriptPackedSize > file.size()) return false;
  std::vector<uint8_t> packed(file.begin() + static_cast<long>(start),
                              file.begin() + static_cast<long>(start + t.scriptPackedSize));
  return Unpack(packed, script) && script->size() == t.scriptSize;
}

}  // namespace tarn
