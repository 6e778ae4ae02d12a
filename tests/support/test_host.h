// A test installer host: fills the host record exactly as a real host does, owns a small
// archive file and a background window, calls TarnMain and records what the engine left
// for the host.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/entry/host_record.h"

namespace tarn::test {

using TarnMainFunction = int(__stdcall*)(HostRecord*, const char*, int32_t*, char*, char*);

struct Installation {
  std::vector<uint8_t> script;
  // Auxiliary entries 4..7 (index 0..3) in plain form; packed and placed when not empty.
  std::array<std::vector<uint8_t>, 4> auxEntries;
  std::vector<uint8_t> dialogBlock{'D', 'L', 'G'};
  std::vector<uint8_t> fileData;  // packed entries that follow the dialog block
  std::string commandLine;
  uint32_t hostFlags = 2;  // background window not shown
  uint32_t silent = 1;
  std::array<int16_t, 6> gradient{};
  bool splashWindow = false;
  uint32_t dialogBlockPackedSizeOverride = 0;  // announce a different packed size
  uint32_t exitSectionOffset = 0;
  uint32_t abortSectionOffset = 0;
  // Directory the archive file is written to; a fresh temporary one when empty.
  std::string workDirectory;
  // Called from the host window's procedure for every message (tests observe with it).
  void (*onHostMessage)(HostRecord*, UINT, WPARAM, LPARAM) = nullptr;
};

struct RunResult {
  int returnValue = -1;
  int32_t exitCode = -1;
  std::string runProgram;
  std::string runArguments;
  std::vector<std::string> titlesSet;      // every SetWindowText on the host window
  std::vector<std::string> messages;        // the message table seen when the window died
  bool messageTableSeen = false;
  HostRecord recordAfter{};
  bool hostWindowDestroyed = false;
  bool scriptEndMarked = false;             // the byte at scriptLength was "?"
  std::string archivePath;
  std::string installerPath;
};

// Runs one installation through `tarnMain` (the engine linked in, or from the DLL).
RunResult RunInstallation(const Installation& installation, TarnMainFunction tarnMain);

// The one language of a test script: English, code ENU, the given title, and messages
// reading "message 0" to "message 53" so that a test sees which one was used.
inline LanguageTexts EnglishTexts(const std::string& title) {
  LanguageTexts l;
  l.name = "English";
  l.code = "ENU";
  l.title = title;
  for (int m = 0; m < 54; ++m) l.messages[m] = "message " + std::to_string(m);
  return l;
}

// A fresh empty directory under the temporary directory.
std::string MakeTempDirectory(const char* tag);

}  // namespace tarn::test
