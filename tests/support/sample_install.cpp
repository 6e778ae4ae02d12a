// Runs a sample installation script through the engine DLL, the way an installer host
// does, and prints what the engine told the host.
#include <windows.h>

#include <cstdio>
#include <string>

#include "builder/script_writer.h"
#include "engine/script/script_format.h"
#include "tests/support/test_host.h"

namespace {

std::vector<uint8_t> SampleScript() {
  tarn::ScriptHeaderFields h;
  h.product = "Sample Product";
  h.manufacturer = "Tarn";
  tarn::LanguageTexts english;
  english.name = "English";
  english.code = "ENU";
  english.title = "Sample Product Setup";
  const char* messages[54] = {};
  messages[7] = "The installation script is damaged.";
  messages[17] = "Installation Aborted";
  messages[18] = "Question";
  messages[31] = "Do you want to cancel the installation?";
  for (int m = 0; m < 54; ++m) english.messages[m] = messages[m] ? messages[m] : "";
  h.languages.push_back(english);
  tarn::ScriptWriter w(h);
  w.If(0x00, "SAMPLE", "");
  w.Filler();
  w.Else();
  w.Exit();
  w.End();
  return w.bytes();
}

}  // namespace

int main(int argc, char** argv) {
  const char* dll = argc > 1 ? argv[1] : "TARN0132.dll";
  const char* commandLine = argc > 2 ? argv[2] : "";
  HMODULE engine = LoadLibraryA(dll);
  if (engine == nullptr) {
    std::printf("cannot load %s (error %lu)\n", dll, GetLastError());
    return 2;
  }
  auto tarnMain = reinterpret_cast<tarn::test::TarnMainFunction>(GetProcAddress(engine, "TarnMain"));
  if (tarnMain == nullptr) {
    std::printf("%s has no TarnMain\n", dll);
    return 2;
  }
  tarn::test::Installation installation;
  installation.script = SampleScript();
  installation.commandLine = commandLine;
  std::printf("engine: %s\nscript: %zu bytes\ncommand line: \"%s\"\n", dll, installation.script.size(), commandLine);
  tarn::test::RunResult r = tarn::test::RunInstallation(installation, tarnMain);
  std::printf("window title set by the engine: %s\n", r.titlesSet.empty() ? "(none)" : r.titlesSet.back().c_str());
  std::printf("message table handed to the host: %s\n", r.messageTableSeen ? "yes, 54 texts" : "no");
  std::printf("TarnMain returned %d, exit code %d\n", r.returnValue, r.exitCode);
  std::printf("program left for the host: %s\n", r.runProgram == "untouched" ? "(none)" : r.runProgram.c_str());
  FreeLibrary(engine);
  return r.returnValue;
}
