// Walks any byte string as a compiled script: the header, then every record to the end.
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/script/script_format.h"
#include "engine/script/script_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The script buffer as the host hands it over: exactly scriptLength + 1 bytes.
  std::unique_ptr<uint8_t[]> script(new uint8_t[size + 1]);
  if (size) std::memcpy(script.get(), data, size);
  script[size] = tarn::OP_END_OF_SCRIPT;
  tarn::ScriptHeader header;
  size_t pos = 0;
  int languages = 1;
  if (tarn::ParseScriptHeader(script.get(), size, &header) == tarn::HeaderError::kNone) {
    pos = header.firstRecord;
    languages = header.languageCount;
    for (int i = 0; i < header.languageCount; ++i) tarn::TitleOffset(script.get(), size, header, i);
  } else if (size > 0) {
    languages = 1 + data[0] % 4;  // walk the raw bytes as records too
  }
  while (tarn::StepOverRecord(script.get(), size + 1, &pos, languages) == tarn::StepResult::kOk) {
  }
  return 0;
}
