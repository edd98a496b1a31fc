#include "wavetable/BandLimiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "WaveTestHelpers.h"
#include "wavetable/RealDft.h"

namespace {

using wavetest::Harmonics;
using wavetest::WaveOf;

std::vector<float> Sines(std::initializer_list<std::pair<int, double>> parts) {
  std::vector<float> x(kWaveLength, 0.0f);
  for (int i = 0; i < kWaveLength; ++i) {
    double v = 0.0;
    for (auto [k, a] : parts) v += a * std::sin(2.0 * std::numbers::pi * k * i / kWaveLength);
    x[i] = static_cast<float>(v);
  }
  return x;
}

TEST(RealDft, NaturalBinOrderAndExactInverse) {
  RealDft dft;
  ASSERT_TRUE(dft.Ok());
  const auto x = Sines({{3, 0.5}, {1000, 0.25}});
  std::copy(x.begin(), x.end(), dft.Wave());
  dft.Forward();
  // sin(k theta) lands in bin k as -i N/2 times its amplitude.
  EXPECT_NEAR(dft.Spectrum()[3].imag(), -0.5 * 1024, 0.05);
  EXPECT_NEAR(dft.Spectrum()[1000].imag(), -0.25 * 1024, 0.05);
  EXPECT_NEAR(std::abs(dft.Spectrum()[4]), 0.0, 0.05);
  dft.Inverse();
  for (int i = 0; i < kWaveLength; ++i) ASSERT_NEAR(dft.Wave()[i], x[i], 1e-5) << i;
}

TEST(BandLimiter, SineIsTheSameFullScaleSineAtEveryLevel) {
  const auto x = Sines({{1, 0.3}});
  auto levels = BandLimiter::BuildFromWaves(x.data(), 1);
  ASSERT_TRUE(levels);
  EXPECT_EQ(levels->waveCount, 1);
  for (int l = 0; l < kWaveLevelCount; ++l) {
    const auto& level = levels->level[l];
    ASSERT_EQ(level.size(), static_cast<std::size_t>(kWaveLength));
    EXPECT_GE(wavetest::Peak(level), 32766) << l;
    for (int i = 0; i < kWaveLength; i += 97) {
      EXPECT_NEAR(level[i], 32767.0 * std::sin(2.0 * std::numbers::pi * i / kWaveLength), 3.0) << l << " " << i;
    }
  }
}

TEST(BandLimiter, HarmonicAboveALevelsLimitLeavesThatLevelSilent) {
  const auto x = Sines({{600, 1.0}});
  auto levels = BandLimiter::BuildFromWaves(x.data(), 1);
  ASSERT_TRUE(levels);
  EXPECT_GE(wavetest::Peak(levels->level[0]), 32766);
  const auto a = Harmonics(WaveOf(*levels, 0, 0));
  EXPECT_NEAR(a[600], 1.0, 0.01);
  for (int l = 1; l < kWaveLevelCount; ++l) EXPECT_EQ(wavetest::Peak(levels->level[l]), 0) << l;
}

TEST(BandLimiter, QuietContentBelowTheLimitIsStillNormalised) {
  // 80 dB below the loud harmonic, but the only thing left at level 1: it becomes the level's wave.
  const auto x = Sines({{1, 1e-4}, {600, 1.0}});
  auto levels = BandLimiter::BuildFromWaves(x.data(), 1);
  ASSERT_TRUE(levels);
  EXPECT_GE(wavetest::Peak(levels->level[1]), 32766);
  EXPECT_NEAR(Harmonics(WaveOf(*levels, 1, 0))[1], 1.0, 0.01);
}

TEST(BandLimiter, SilentWaveStaysZeroWithoutDividingByZero) {
  const std::vector<float> silent(2 * kWaveLength, 0.0f);
  auto levels = BandLimiter::BuildFromWaves(silent.data(), 2);
  ASSERT_TRUE(levels);
  for (int l = 0; l < kWaveLevelCount; ++l) EXPECT_EQ(wavetest::Peak(levels->level[l]), 0);
}

TEST(BandLimiter, WeightsRollOffTowardsEachLevelsLimitAndKeepDc) {
  // Harmonics 1 and 256 of equal amplitude plus a DC offset. At level 1 (limit 512) harmonic 256 is
  // weighted 1 - (256/512)^2 = 0.75; at level 2 (limit 256) it is gone. DC passes everywhere.
  auto x = Sines({{1, 0.4}, {256, 0.4}});
  for (auto& v : x) v += 0.1f;
  auto levels = BandLimiter::BuildFromWaves(x.data(), 1);
  ASSERT_TRUE(levels);
  const auto a1 = Harmonics(WaveOf(*levels, 1, 0));
  EXPECT_NEAR(a1[256] / a1[1], 0.75 / (1.0 - 1.0 / (512.0 * 512.0)), 0.002);
  EXPECT_NEAR(a1[0] / a1[1], 2 * 0.1 / 0.4, 0.01);  // bin 0 holds DC twice over the amplitude scale
  const auto a2 = Harmonics(WaveOf(*levels, 2, 0));
  EXPECT_LT(a2[256], 1e-3);
  EXPECT_NEAR(a2[0] / a2[1], 2 * 0.1 / 0.4, 0.01);
}

TEST(BandLimiter, EachWaveIsNormalisedOnItsOwn) {
  std::vector<float> x = Sines({{1, 0.001}});
  const auto loud = Sines({{2, 1.0}});
  x.insert(x.end(), loud.begin(), loud.end());
  auto levels = BandLimiter::BuildFromWaves(x.data(), 2);
  ASSERT_TRUE(levels);
  for (int w = 0; w < 2; ++w) {
    std::vector<std::int16_t> wave(levels->level[0].begin() + w * kWaveLength,
                                   levels->level[0].begin() + (w + 1) * kWaveLength);
    EXPECT_GE(wavetest::Peak(wave), 32766) << w;
  }
}

TEST(BandLimiter, NonFiniteInputCountsAsSilence) {
  auto x = Sines({{1, 0.5}});
  x[10] = std::numeric_limits<float>::quiet_NaN();
  x[20] = std::numeric_limits<float>::infinity();
  auto levels = BandLimiter::BuildFromWaves(x.data(), 1);
  ASSERT_TRUE(levels);
  EXPECT_GE(wavetest::Peak(levels->level[9]), 32000);
  const auto a = Harmonics(WaveOf(*levels, 9, 0));
  EXPECT_NEAR(a[1], 1.0, 0.02);
}

TEST(BandLimiter, WaveCountIsClampedToTheTableSize) {
  const std::vector<float> x(65 * kWaveLength, 0.25f);
  EXPECT_EQ(BandLimiter::BuildFromWaves(x.data(), 65)->waveCount, 64);
  EXPECT_EQ(BandLimiter::BuildFromWaves(x.data(), 0)->waveCount, 1);
}

}  // namespace
