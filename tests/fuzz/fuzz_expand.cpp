// Expands arbitrary texts over arbitrary variable sets. Input: variable lines
// "NAME=value", a line "--", then the text; the first byte picks the capacity.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/script/text.h"
#include "engine/script/variables.h"

namespace {
bool OddLeadByte(unsigned char c) { return c >= 0x81 && c <= 0x9F; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static std::unique_ptr<tarn::VariableStore> store(new tarn::VariableStore);
  tarn::ClearVariables(*store);
  tarn::SetLeadBytePredicate((data[1] & 1) ? &OddLeadByte : nullptr);
  size_t capacity = 1 + data[0] * 3;
  std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
  size_t split = input.find("\n--\n");
  std::string definitions = split == std::string::npos ? "" : input.substr(0, split);
  std::string text = split == std::string::npos ? input : input.substr(split + 4);
  size_t start = 0;
  while (start < definitions.size()) {
    size_t end = definitions.find('\n', start);
    if (end == std::string::npos) end = definitions.size();
    std::string line = definitions.substr(start, end - start);
    size_t eq = line.find('=');
    if (eq != std::string::npos) {
      std::string name = line.substr(0, eq);
      std::string value = line.substr(eq + 1);
      tarn::SetVariable(*store, name.c_str(), value.c_str());
      if (value.size() < 255) tarn::CopyText(tarn::FindOrAddVariable(*store, name.c_str()), 256, value.c_str());
    }
    start = end + 1;
  }
  std::unique_ptr<char[]> out(new char[capacity]);
  tarn::ExpandText(*store, out.get(), text.c_str(), capacity);
  if (std::strlen(out.get()) >= capacity) __builtin_trap();
  // In place as well.
  std::unique_ptr<char[]> same(new char[capacity]);
  tarn::CopyText(same.get(), capacity, text.c_str());
  tarn::ExpandText(*store, same.get(), same.get(), capacity);
  if (std::strcmp(same.get(), out.get()) != 0) __builtin_trap();
  return 0;
}
