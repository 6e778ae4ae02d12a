// The installer's command-line switches. Pure logic: the host program's module path is
// passed in for "/M=" names without a directory.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

enum RunMode : uint8_t {
  kRunNormal = 0,
  kRunTest = 1,             // "/T": every step that changes the system skips its change
  kRunDirectoryOverride = 2,  // "/M", "/M1"
  kRunExtract = 3,          // "/X"
  kRunExtractExitZero = 4,  // "/Z"
};

struct CommandLineOptions {
  RunMode runMode = kRunNormal;
  bool announceRegistration = false;  // "/M1"
  bool startPaused = false;           // "/M2"
  // Offset in the command line of the text after "/X" or "/Z" (its argument); -1 = none.
  long extractArgument = -1;
  char answerFile[256] = {};          // "/M="
  char ddeServiceName[256] = {};      // "/M2"
};

void ParseCommandLine(const char* commandLine, const char* hostModulePath, CommandLineOptions* out);

}  // namespace tarn
