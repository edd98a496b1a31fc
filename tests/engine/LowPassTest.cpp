#include "engine/LowPass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "engine/NoiseSource.h"

namespace {

// Steady-state gain of the filter for a sine of frequency f.
double Gain(LowPass filter, double f, double rate) {
  const int n = static_cast<int>(rate);  // one second
  const double w = 2.0 * std::numbers::pi * f / rate;
  double re = 0.0, im = 0.0;
  for (int i = 0; i < 2 * n; ++i) {
    const double y = filter.Process(std::sin(w * i));
    if (i >= n) {
      re += y * std::cos(w * i);
      im += y * std::sin(w * i);
    }
  }
  return 2.0 * std::hypot(re, im) / n;
}

LowPass Make(double cutoff, double q, double rate) {
  LowPass filter;
  filter.SetSampleRate(rate);
  filter.SetOmega(2.0 * std::numbers::pi * cutoff / rate);
  filter.SetQ(q);
  filter.ComputeCoefficients();
  return filter;
}

}  // namespace

TEST(LowPass, ResponseOfASecondOrderLowPass) {
  const LowPass filter = Make(2000.0, 0.7071067811865476, 44100.0);
  EXPECT_NEAR(Gain(filter, 100.0, 44100.0), 1.0, 1e-3);
  EXPECT_NEAR(Gain(filter, 2000.0, 44100.0), std::sqrt(0.5), 1e-3);
  // Two poles: 12 dB per octave well above the cutoff (a little more near Nyquist).
  const double g8 = 20.0 * std::log10(Gain(filter, 8000.0, 44100.0));
  const double g16 = 20.0 * std::log10(Gain(filter, 16000.0, 44100.0));
  EXPECT_LT(g16 - g8, -12.0);
  const LowPass peaked = Make(2000.0, 2.0, 44100.0);
  EXPECT_NEAR(Gain(peaked, 2000.0, 44100.0), 2.0, 2e-2);
}

TEST(LowPass, NaNCountsAsSilence) {
  LowPass a = Make(7000.0, 0.7071067811865476, 48000.0);
  LowPass b = a;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 1000; ++i) {
    const double x = (i % 5 == 0) ? 0.0 : std::sin(i * 0.3);
    ASSERT_EQ(a.Process(x), b.Process(i % 5 == 0 ? nan : x));
  }
  // A NaN produced inside the section (an infinite input) is dropped instead of sticking.
  LowPass c = a;
  const double inf = std::numeric_limits<double>::infinity();
  c.Process(inf);
  double last = 0.0;
  for (int i = 0; i < 10; ++i) last = c.Process(0.0);
  EXPECT_TRUE(std::isfinite(last));
}

TEST(NoiseSource, ConsecutiveValuesFollowTheSharedSequence) {
  RandomSequence& sequence = NoiseSource::Sequence();
  std::int32_t state = sequence.State();
  double sum = 0.0, sumSquares = 0.0;
  for (int i = 0; i < 100000; ++i) {
    state = static_cast<std::int32_t>(static_cast<std::uint32_t>(state) * 16807u);
    const double v = NoiseSource::Next();
    ASSERT_EQ(v, state * 4.6566129e-10);
    ASSERT_LE(std::abs(v), 1.0);
    sum += v;
    sumSquares += v * v;
  }
  EXPECT_NEAR(sum / 100000, 0.0, 0.01);
  EXPECT_NEAR(sumSquares / 100000, 1.0 / 3.0, 0.01);  // uniform over -1 ... 1
  // A run of draws filled at once continues the same sequence, whatever its length, and leaves
  // the state where the single draws would.
  double filled[37];
  for (int count : {0, 1, 3, 4, 5, 8, 11, 37}) {
    sequence.Fill(filled, count);
    for (int i = 0; i < count; ++i) {
      state = static_cast<std::int32_t>(static_cast<std::uint32_t>(state) * 16807u);
      ASSERT_EQ(filled[i], state * 4.6566129e-10) << count << " values, value " << i;
    }
    ASSERT_EQ(sequence.State(), state) << count << " values";
  }
  // Passing over draws leaves the state where the draws would.
  for (int count : {0, 1, 2, 7, 8, 37, 1000, 704 * 2 + 5}) {
    sequence.Skip(count);
    for (int i = 0; i < count; ++i) state = static_cast<std::int32_t>(static_cast<std::uint32_t>(state) * 16807u);
    ASSERT_EQ(sequence.State(), state) << count << " draws passed over";
  }
}

namespace {

// The product's noise state as the program loaded, before any test drew from it: the sequence is
// set up by constant initialisation, which precedes every dynamic initialiser such as this one.
const std::int32_t kNoiseStateAtLoad = NoiseSource::Sequence().State();

}  // namespace

TEST(NoiseSource, StartsAtOneWhenTheLibraryLoads) {
  EXPECT_EQ(kNoiseStateAtLoad, 1);
  RandomSequence fresh(kNoiseStateAtLoad);
  EXPECT_EQ(fresh.Next(), 16807 * 4.6566129e-10);
  EXPECT_EQ(fresh.Next(), 282475249 * 4.6566129e-10);
  EXPECT_EQ(fresh.State(), 282475249);
}
