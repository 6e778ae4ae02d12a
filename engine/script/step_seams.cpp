// Steps whose work is not built yet. Each passes over its record and lets the run go on;
// building a step means replacing its line here by the real function elsewhere.
#include "engine/script/steps.h"

namespace tarn {

int ProgmanCommandStep(const uint8_t*) { return 0; }
int RunProgramStep(const uint8_t*) { return 0; }
int CallFunctionStep(const uint8_t*) { return 0; }
int BeginProgmanStep(const uint8_t*) { return 0; }
int EndProgmanStep(const uint8_t*) { return 0; }
int CustomDialogStep(const uint8_t*) { return 0; }
int OdbcInstallDriverStep(const uint8_t*) { return 0; }
int OdbcConfigSourceStep(const uint8_t*) { return 0; }

}  // namespace tarn
