#include "engine/entry/run_state.h"

namespace tarn {

RunState g_run;

void ResetRunState() {
  RunHooks hooks = g_run.hooks;
  g_run.~RunState();
  new (&g_run) RunState();
  g_run.hooks = hooks;
}

const char* Message(int n) {
  if (g_run.messageTable == nullptr || n < 0 || n >= 54 || g_run.messageTable[n] == nullptr) return "";
  return g_run.messageTable[n];
}

}  // namespace tarn
