// The install-file step (opcodes 0 and 18): one file, or every file a wildcard matches.
#pragma once
#include <cstdint>

#include "engine/changes/install_rules.h"

namespace tarn {

// Asks what to do about a destination that stays in use: true = try again. Goes on
// without asking when nothing failed, the run is cancelled, or replacement at restart is
// allowed.
bool InUsePromptRetry(const char* path, bool failed);

// What the version-installer branch hands back to the install step.
struct BranchResult {
  char destination[256] = {};  // possibly moved to the recommended directory
  bool existed = false;
  char backupPath[256] = {};
  uint32_t backupChecksum = 0;
  uint32_t backupSize = 0;
  char inUseName[256] = {};
  bool temporaryStays = false;
  bool logDisabled = false;
};

// Installs the temporary file with the system's version installer. Returns 0, or a
// negative result that the step returns at once.
int RunVersionInstallerBranch(const InstallRecord& record, const char* temporaryPath, bool backups,
                              BranchResult* result);

}  // namespace tarn
