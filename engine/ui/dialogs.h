// What every engine dialog receives before it is shown.
#pragma once
#include <windows.h>

namespace tarn {

// Widens `dialog` and its direct children by a sixth and, with the light dialog look,
// gives every child the light dialog font kept in `slot` (the shared slot when null),
// making it the first time.
void PrepareDialog(HWND dialog, HFONT* slot);

}  // namespace tarn
