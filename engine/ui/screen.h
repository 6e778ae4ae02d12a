// The screen routines the interpreter calls between records: the progress display and
// the background painting own them.
#pragma once

namespace tarn {
// Lets the background and the progress display catch up between two records.
void UpdateScreen(int mode);
// Closes the progress window when it is open (message boxes and dialogs need the screen).
void CloseProgressWindow();
}  // namespace tarn
