// The progress display as the install step drives it: the window, its status text, and
// the progress plug-in that may replace both.
#pragma once

namespace tarn {
bool ProgressPluginLoaded();
bool ProgressWindowOpen();
void OpenProgressWindow();
void RedrawProgressWindow();
// Shows `text` as the status and lets pending window messages through.
void ShowStatus(const char* text);
// Cuts a path to fit the status control of the progress window (no-op without a window).
void FitPathToStatus(char* path, int capacity);
}  // namespace tarn
