// The readable installation-script language of the builder, compiled into the engine's
// script format. One statement per line; "#" starts a comment; texts are in double quotes,
// "" standing for a quote inside a text; backslashes are plain characters. Errors name
// the line; nothing is produced when there is one.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarn {

// A payload file as the builder found it on disk.
struct PayloadFile {
  std::vector<uint8_t> data;
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
};
// Reads a payload file named in the script (relative to the script's folder); false when
// it cannot be read.
using PayloadLoader = std::function<bool(const std::string& path, PayloadFile* file)>;

struct CompiledSetup {
  std::vector<uint8_t> script;
  std::vector<uint8_t> fileData;                // packed entries, in record order
  std::vector<std::vector<uint8_t>> auxEntries = std::vector<std::vector<uint8_t>>(4);  // 4..7, plain
  uint32_t hostFlags = 0;
  uint32_t exitSectionOffset = 0;
  uint32_t abortSectionOffset = 0;
  int16_t gradient[6] = {0, 0, 128, 0, 0, 127};
  uint32_t diskSize = 0;
};

struct BuildError {
  std::string file;
  int line = 0;
  std::string message;
  std::string Text() const { return file + ":" + std::to_string(line) + ": " + message; }
};

// Compiles `source`; on failure returns false with the first error.
bool CompileSetup(const std::string& source, const std::string& fileName, const PayloadLoader& load,
                  CompiledSetup* out, BuildError* error);

// One line per record: offset, opcode name and fields.
std::string DumpScript(const std::vector<uint8_t>& script);

}  // namespace tarn
