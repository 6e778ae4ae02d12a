#pragma once

namespace tarn {
// Walks the records from the current record to the end of the script. Returns -1 for a
// normal end and -2 when the run was aborted (a cancel, an archive error, or a record
// that is invalid or runs past the end of the script: the fatal error of message 7).
int RunScriptToEnd();
}  // namespace tarn
