// Engine figures measured inside one process, through the real TARN0132.dll and a host
// that fills the host record as the setup stub does:
//   engine_probe.exe startup DLL DIR   ms from the call of TarnMain to the first record's
//                                     data (the first record installs a 7-byte file)
//   engine_probe.exe records DLL N     ms spent in TarnMain on a script of N small loops
//                                     (5 records executed each); N = 0 is the baseline
// One measurement per process: a run owns the engine's state.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "builder/script_language.h"
#include "host/archive_codec.h"
#include "host/pack.h"
#include "tests/support/test_host.h"

namespace {

using tarn::test::TarnMainFunction;

TarnMainFunction g_tarnMain = nullptr;
LARGE_INTEGER g_frequency, g_entered, g_firstData, g_returned;

double Ms(LARGE_INTEGER from, LARGE_INTEGER to) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

int __stdcall TimedTarnMain(tarn::HostRecord* record, const char* commandLine, int32_t* exitCode, char* program,
                            char* arguments) {
  QueryPerformanceCounter(&g_entered);
  int result = g_tarnMain(record, commandLine, exitCode, program, arguments);
  QueryPerformanceCounter(&g_returned);
  return result;
}

void OnChunk(uint32_t written) {
  if (written == 7 && g_firstData.QuadPart == 0) QueryPerformanceCounter(&g_firstData);
}

bool Compile(const std::string& source, tarn::test::Installation* installation) {
  tarn::CompiledSetup setup;
  tarn::BuildError error;
  auto load = [](const std::string&, tarn::PayloadFile* file) {
    file->data.assign({'p', 'a', 'y', 'l', 'o', 'a', 'd'});
    return true;
  };
  if (!tarn::CompileSetup(source, "probe.tsc", load, &setup, &error)) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return false;
  }
  installation->script = setup.script;
  installation->fileData = setup.fileData;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: engine_probe startup DLL DIR | records DLL N\n");
    return 2;
  }
  std::string mode = argv[1];
  HMODULE dll = LoadLibraryA(argv[2]);
  g_tarnMain = dll ? reinterpret_cast<TarnMainFunction>(GetProcAddress(dll, "TarnMain")) : nullptr;
  if (g_tarnMain == nullptr) {
    std::fprintf(stderr, "%s: no TarnMain\n", argv[2]);
    return 1;
  }
  QueryPerformanceFrequency(&g_frequency);
  tarn::test::Installation installation;
  installation.commandLine = "/S";
  std::string source;
  if (mode == "startup") {
    std::string dir = argv[3];
    source = "log \"" + dir + "\\INSTALL.LOG\"\ninstall \"first\" to \"" + dir + "\\first.txt\"\n";
  } else if (mode == "records") {
    int n = std::atoi(argv[3]);
    source = "no-log\n";
    for (int i = 0; i < n; ++i) {
      source += "while after NEVER == \"yes\"\n  if CMDLINE contains \"/S\"\n  end\nend\n";
    }
  } else {
    return 2;
  }
  if (!Compile(source, &installation)) return 1;
  tarn::SetCodecChunkHook(&OnChunk);
  tarn::test::RunResult result = tarn::test::RunInstallation(installation, &TimedTarnMain);
  if (mode == "startup") {
    if (g_firstData.QuadPart == 0) {
      std::fprintf(stderr, "the first record was never reached (exit code %d)\n", result.exitCode);
      return 1;
    }
    std::printf("%.3f\n", Ms(g_entered, g_firstData));
  } else {
    std::printf("%.3f\n", Ms(g_entered, g_returned));
  }
  return 0;
}
