// Micro-figures of the interpreter's hottest routines (Google Benchmark, native tree):
// %NAME% expansion, setting a variable in a store of typical size, and stepping from one
// record to the next (all that NextRecord does besides keeping the current position).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "builder/script_language.h"
#include "engine/script/script_format.h"
#include "engine/script/script_header.h"
#include "engine/script/variables.h"

namespace {

// A store as a run has it after start-up: about sixty built-in and script variables.
void FillStore(tarn::VariableStore& store) {
  tarn::ClearVariables(store);
  char name[16], value[64];
  for (int i = 0; i < 60; ++i) {
    std::snprintf(name, sizeof name, "VAR_%02d", i);
    std::snprintf(value, sizeof value, "C:\\Program Files\\Product %d", i);
    tarn::SetVariable(store, name, value);
  }
  tarn::SetVariable(store, "MAINDIR", "C:\\Program Files\\Tarn Demo");
  tarn::SetVariable(store, "SYS", "C:\\Windows\\System32");
}

void BM_ExpandText(benchmark::State& state) {
  static tarn::VariableStore store;
  FillStore(store);
  const char* source = "%MAINDIR%\\bin\\%VAR_42%\\readme.txt in %SYS% (100%% sure)";
  char out[256];
  for (auto _ : state) {
    tarn::ExpandText(store, out, source, sizeof out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExpandText);

void BM_SetVariable(benchmark::State& state) {
  static tarn::VariableStore store;
  FillStore(store);
  int i = 0;
  char value[32];
  for (auto _ : state) {
    std::snprintf(value, sizeof value, "%d", i++ & 1023);
    benchmark::DoNotOptimize(tarn::SetVariable(store, "INSTALL_RESULT", value));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetVariable);

void BM_NextRecord(benchmark::State& state) {
  std::string source = "no-log\n";
  for (int i = 0; i < 1000; ++i) {
    source += "if LANG == \"ENU\"\n  install \"f\" to \"%MAINDIR%\\file" + std::to_string(i) +
              ".txt\" description \"A file\"\nelse\n  log-text \"skipped%CRLF%\"\nend\n";
  }
  tarn::CompiledSetup setup;
  tarn::BuildError error;
  auto load = [](const std::string&, tarn::PayloadFile* file) {
    file->data.assign(16, 'x');
    return true;
  };
  if (!tarn::CompileSetup(source, "bench.tsc", load, &setup, &error)) {
    state.SkipWithError(error.Text().c_str());
    return;
  }
  std::vector<uint8_t> script = setup.script;
  script.push_back(tarn::OP_END_OF_SCRIPT);
  tarn::ScriptHeader header;
  tarn::ParseScriptHeader(script.data(), setup.script.size(), &header);
  size_t pos = header.firstRecord;
  for (auto _ : state) {
    if (tarn::StepOverRecord(script.data(), script.size(), &pos, header.languageCount) != tarn::StepResult::kOk) {
      pos = header.firstRecord;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NextRecord);

}  // namespace

BENCHMARK_MAIN();
