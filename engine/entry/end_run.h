#pragma once

namespace tarn {
// Ends the run with `result` (-1 completed, anything else failed): decides the final
// result, releases everything the run created, destroys the host window and dispatches
// messages until the quit message. Returns TarnMain's value: 0 completed, 1 not.
int EndRun(int result);

// Releases what start-up made when it stops before the run exists (the auxiliary-entry
// failure): temporary files, libraries and buffers. The host window is left to the host.
void ReleaseEarly();
}  // namespace tarn
