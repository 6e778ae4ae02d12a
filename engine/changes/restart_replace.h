// Replacing a file in use at the next start of the system.
#pragma once
#include <string>

namespace tarn {

// Schedules `newFile` to replace `destination` at the next start. With `versionCheck` the
// new file must be newer (full mode); with `copyFirst` (only together with versionCheck)
// it is first copied next to the destination. -2 after a reported error, 0 when nothing
// was scheduled, 1 when it was.
int RequestRestartReplacement(bool versionCheck, bool copyFirst, const char* newFile, const char* destination);

}  // namespace tarn
