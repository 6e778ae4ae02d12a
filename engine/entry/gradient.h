// Colours of the 96-entry gradient palette of the background: each of red, green and blue
// is start + change * i / 95 (integer division toward zero), clamped to 0..255.
#pragma once
#include <cstdint>

namespace tarn {

constexpr int kGradientEntries = 96;

struct GradientColour {
  uint8_t red, green, blue;
};

// `colours` holds start red, green, blue, then the change of red, green, blue.
// Returns false when all three changes are 0 (no palette is made then).
bool ComputeGradient(const int16_t colours[6], GradientColour (&out)[kGradientEntries]);

}  // namespace tarn
