#include "engine/PitchFunction.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PitchFunction, KnownPoints) {
  EXPECT_DOUBLE_EQ(PitchToFrequency(0), 8.176);
  EXPECT_DOUBLE_EQ(PitchToFrequency(69 * 128), 440.0);
  EXPECT_DOUBLE_EQ(PitchToFrequency(17280), 19912.127);
  EXPECT_DOUBLE_EQ(PitchToFrequency(99999), 19912.127);
  EXPECT_DOUBLE_EQ(PitchToFrequency(-17280), 0.0033570162);
  EXPECT_DOUBLE_EQ(PitchToFrequency(-99999), 0.0033570162);
  // The instrument's own values for semitones 124 ... 127.
  EXPECT_DOUBLE_EQ(PitchToFrequency(124 * 128), 10548.08);
  EXPECT_DOUBLE_EQ(PitchToFrequency(127 * 128), 12543.85);
}

TEST(PitchFunction, InterpolatesFrequencyLinearlyBetweenSemitones) {
  const double a = PitchToFrequency(69 * 128);
  const double b = PitchToFrequency(70 * 128);
  EXPECT_DOUBLE_EQ(PitchToFrequency(69 * 128 + 64), a + (b - a) * 0.5);
  EXPECT_NEAR(PitchToFrequency(-128), 7.7171163805, 1e-9);
  // Monotonic over the whole usable range.
  for (int p = -17280; p < 17280; ++p) ASSERT_LT(PitchToFrequency(p), PitchToFrequency(p + 1)) << p;
}
