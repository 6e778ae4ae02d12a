// The status file: a short text, made from the script's status template, that tells
// management tools how the installation ended.
#pragma once

namespace tarn {

// The reason a failed run gives: the run's error text, or else message 1, 2 or 7 by the
// host's errorState (none, reported, other).
const char* FailureText();

// Writes the status file named by the script header (nothing when it names none).
// `startingRun` writes the "Failed" status that stays behind when the run never reaches
// its end; otherwise `result` -1 is a success and anything else a failure. The system's
// status writer "ismif32.dll" is used when present; else the engine writes the file.
void WriteStatusFile(bool startingRun, int result);

}  // namespace tarn
