// The interpreter: executes the script's records one after the other, with conditions,
// blocks, loops, the closing sections and the steps it carries out itself.
#pragma once
#include <cstdint>

namespace tarn {

// The whole run: RunScript until the script ends, then the exit section (after a normal
// end) or the abort section (after an abort), each at most once. -1 completed, -2 aborted,
// or another non-zero value a step ended the run with (failed).
int RunScriptToEnd();

// Executes records from the current record on. 0: a step placed the current record itself
// (a loop end, a run of filler bytes) and wants to be called again; -1 normal end; -2 the
// run is aborted; any other value was returned by a step and ends the run as failed.
int RunScript();

// How SkipBlock ended.
enum SkipOutcome {
  kSkipAtBlockEnd = 0,   // the current record is the END, ELSE or ELSE IF that ends the block
  kSkipAtEndMarker = 1,  // the script ended inside the block: the run ends normally
  kSkipBroken = 2,       // an invalid record inside the block: the fatal error has been
                         // reported (message 7) and the caller ends the run with -2
};

// Moves the current record from a record that opens a block to the record that ends it,
// counting nested blocks.
SkipOutcome SkipBlock();

// The loop stack shared with the call-function step's loop modes. Push fails (after
// reporting the fatal error) when 32 loops are open; Pop returns null when none is.
bool PushLoop(const uint8_t* record);
const uint8_t* PopLoop();

// Executes the current IF/WHILE or ELSE IF record: 0 goes on, -1 ends the run normally,
// -2 aborts it.
int EvaluateCondition();

}  // namespace tarn
