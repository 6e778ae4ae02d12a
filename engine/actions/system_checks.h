#pragma once

namespace tarn {
// True when the process runs with administrator rights (always true on the 9x family).
bool IsAdministrator();
}  // namespace tarn
