// Evaluates any byte string as an expression over a small variable store, into output
// buffers of several sizes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/actions/expression.h"
#include "engine/script/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<tarn::VariableStore> store;
  if (!store) store = std::make_unique<tarn::VariableStore>();
  tarn::ClearVariables(*store);
  tarn::SetVariable(*store, "A", "12");
  tarn::SetVariable(*store, "LONG", std::string(700, 'x').c_str());
  std::string expression(reinterpret_cast<const char*>(data), size);
  expression = expression.c_str();  // an expression ends at its first zero byte
  static const size_t sizes[] = {1, 2, 17, 300, 61440};
  for (size_t outputSize : sizes) {
    std::unique_ptr<char[]> output(new char[outputSize]);
    tarn::EvaluateExpression(*store, expression.c_str(), output.get(), outputSize);
    if (std::strlen(output.get()) >= outputSize) __builtin_trap();
  }
  return 0;
}
