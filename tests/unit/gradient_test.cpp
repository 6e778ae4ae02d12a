#include "engine/entry/gradient.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(Gradient, EntriesRunFromStartByChangeAndAreClamped) {
  GradientColour out[kGradientEntries];
  const int16_t none[6] = {10, 20, 30, 0, 0, 0};
  EXPECT_FALSE(ComputeGradient(none, out));
  const int16_t colours[6] = {0, 200, 255, 255, 100, -300};
  ASSERT_TRUE(ComputeGradient(colours, out));
  EXPECT_EQ(out[0].red, 0);
  EXPECT_EQ(out[95].red, 255);
  EXPECT_EQ(out[1].red, 2);        // 255 * 1 / 95 truncated
  EXPECT_EQ(out[95].green, 255);   // 300 clamped
  EXPECT_EQ(out[50].green, 252);   // 200 + 100 * 50 / 95 = 252
  EXPECT_EQ(out[1].blue, 252);     // 255 + (-300 / 95 toward zero = -3)
  EXPECT_EQ(out[95].blue, 0);      // -45 clamped
}

}  // namespace
}  // namespace tarn
