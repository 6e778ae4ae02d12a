// The screen routines the interpreter calls between records: the progress display and
// the background painting own them.
#pragma once

namespace tarn {
// Refreshes the bar or the plug-in and the notification tip, serves pending messages and,
// when `allowPause` is non-zero and the script allows it, waits half a second.
void UpdateScreen(int allowPause);
// Closes the progress window when it is open (message boxes and dialogs need the screen).
void CloseProgressWindow();
}  // namespace tarn

// The same, exported for the host and for called libraries.
extern "C" void __stdcall UpdateScreen(int allowPause);
