// Where engine windows appear on the background area.
#pragma once
#include <windows.h>

#include <cstdint>

namespace tarn {

// Moves `window` (its size unchanged, without repainting). Mode 0 centres it; mode 1
// does too unless the script places every dialog by its position code; mode 2 always uses
// the script's position code. `code` (low byte) then overrides: bits 0-3 horizontal,
// bits 4-7 vertical: 0 keep, 1 first edge, 2/3/4 centred on one quarter/half/three
// quarters, 5 last edge.
void PlaceWindow(HWND window, int mode, uint16_t code);

}  // namespace tarn
