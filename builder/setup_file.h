// Writing and reading self-contained setup programs: stub, setup record, archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "builder/script_language.h"
#include "host/setup_format.h"

namespace tarn {

// The setup file's bytes: the stub program, the archive (engine, script, auxiliary
// entries, dialog block, file data) and the trailer.
std::vector<uint8_t> AssembleSetup(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& engine,
                                   const CompiledSetup& setup);

// Splits a setup file into the setup program holding the first `diskSize` bytes of the
// archive and further parts (SETUP.W02, ...) of `diskSize` bytes each. 0 = one file.
std::vector<std::vector<uint8_t>> SplitSetup(const std::vector<uint8_t>& setupFile, uint32_t diskSize);

// The compiled script inside a setup file; false when the file is not one.
bool ExtractScript(const std::vector<uint8_t>& setupFile, std::vector<uint8_t>* script);

}  // namespace tarn
