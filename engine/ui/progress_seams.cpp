// The progress window is not built yet: the install step runs without one.
#include "engine/ui/progress.h"

namespace tarn {
bool ProgressPluginLoaded() { return false; }
bool ProgressWindowOpen() { return false; }
void OpenProgressWindow() {}
void RedrawProgressWindow() {}
void ShowStatus(const char*) {}
void FitPathToStatus(char*, int) {}
}  // namespace tarn
