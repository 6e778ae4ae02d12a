// The progress display: the progress window (or the progress plug-in that replaces it),
// its status text and bar, and the percentage of the run they show.
#pragma once
#include <windows.h>

#include <cstdint>

namespace tarn {

bool ProgressPluginLoaded();
bool ProgressWindowOpen();
// Opens the progress window unless a plug-in is loaded, one is open, or the run is silent.
void OpenProgressWindow();
// Repaints the bar of the open progress window.
void RedrawProgressWindow();
// Shows `text` as the status (null = keep the text) and lets pending window messages through.
void ShowStatus(const char* text);
// Cuts a path to fit the status control of the progress window (no-op without a window).
void FitPathToStatus(char* path, int capacity);

// Computes the run's percentage (and switches billboards when it reaches the next one).
// done and total may be null.
uint8_t ComputeProgress(int32_t* done, int32_t* total);

// True when the user confirms leaving the installation; `owner` owns the question.
bool ConfirmCancel(HWND owner);

// Dispatches every queued message of the thread; never blocks.
void DrainMessages();

// With `enable`, waits `ms` milliseconds for the host's timer 8297 while serving messages;
// without, serves the queued messages once.
void TimedWait(unsigned ms, bool enable);

// The notification icon of a silent run: NIM_ADD, NIM_MODIFY (only when the percentage
// moved) or NIM_DELETE.
void UpdateTrayTip(DWORD message);

// The progress plug-in's start call (start-up) and the disabled cancel control of a
// script without cancel.
void StartProgressPlugin();
void DisablePluginCancel();

}  // namespace tarn

// Dialog procedure of the progress window (dialog resource 1538).
extern "C" INT_PTR CALLBACK CopyDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
