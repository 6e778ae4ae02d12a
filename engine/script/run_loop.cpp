#include "engine/script/run_loop.h"

#include "engine/entry/run_state.h"
#include "engine/script/script_reader.h"
#include "engine/ui/reports.h"

namespace tarn {

constexpr int kMessageInvalidRecord = 7;

// The steps themselves are not dispatched yet: every valid record is stepped over.
int RunScriptToEnd() {
  for (;;) {
    if (g_run.host->cancelState != kCancelNone || g_run.host->errorState != kErrorNone) return -2;
    switch (NextRecord()) {
      case StepResult::kOk:
        break;
      case StepResult::kEndMarker:
        return -1;
      case StepResult::kInvalidOpcode:
      case StepResult::kOverrun:
        ReportMessageError(kMessageInvalidRecord);
        return -2;
    }
  }
}

}  // namespace tarn
