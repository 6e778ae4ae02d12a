#include "engine/entry/gradient.h"

namespace tarn {
namespace {
uint8_t Channel(int start, int change, int i) {
  int value = start + change * i / (kGradientEntries - 1);
  if (value < 0) value = 0;
  if (value > 255) value = 255;
  return static_cast<uint8_t>(value);
}
}  // namespace

bool ComputeGradient(const int16_t colours[6], GradientColour (&out)[kGradientEntries]) {
  if (colours[3] == 0 && colours[4] == 0 && colours[5] == 0) return false;
  for (int i = 0; i < kGradientEntries; ++i) {
    out[i].red = Channel(colours[0], colours[3], i);
    out[i].green = Channel(colours[1], colours[4], i);
    out[i].blue = Channel(colours[2], colours[5], i);
  }
  return true;
}

}  // namespace tarn
