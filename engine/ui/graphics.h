// The graphic table of the run and the painting of the host's background.
#pragma once
#include <windows.h>

#include <cstdint>

#include "engine/ui/screen_rules.h"

namespace tarn {

// The run's 32 entries (the run state's table).
GraphicEntry* GraphicTable();

// Invalidation and release of entries on the host's background window.
GraphicActions ScreenGraphicActions();

// Frees every entry's data (end of the run).
void FreeGraphics();

// Builds a logical palette from an 8-bit bitmap's colour table, selects and realizes it
// in `dc`, and keeps it in `slot` (deleting the one kept there before).
void SelectBitmapPalette(HDC dc, const BITMAPINFOHEADER* header, HPALETTE* slot);

// Palette messages of the wizard frame and the custom dialogs.
LRESULT HandlePaletteMessage(HWND window, UINT message, WPARAM wParam);

}  // namespace tarn

// Paints the graphic table into the host's background; the host calls it while painting.
extern "C" void __stdcall DisplayGraphics(uint32_t unused, HDC dc);
