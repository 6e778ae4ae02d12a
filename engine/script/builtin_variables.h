#pragma once

namespace tarn {
// Creates the variables the engine provides at start-up (slots 2 to 7 and the named
// ones); in the directory-override run mode each directory is confirmed first.
// Returns false when such a confirmation was cancelled.
bool CreateBuiltinVariables();
}  // namespace tarn
