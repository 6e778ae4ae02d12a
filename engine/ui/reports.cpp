#include "engine/ui/reports.h"

#include "engine/entry/run_state.h"
#include "engine/script/text.h"

namespace tarn {

// The message box dialog is not built yet: every question takes its first answer, as a
// silent run does, and reports only keep their text as the run's error text.
int ShowMessage(const char* /*text*/, const char* /*title*/, int /*style*/) { return 1; }

void ReportError(const char* text) { CopyText(g_run.errorText, sizeof g_run.errorText, text); }

void ReportMessageError(int n) {
  ReportError(g_run.messageTable != nullptr ? Message(n) : "Internal Error");
}

}  // namespace tarn
