#include "wavetable/BuiltInWaveTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "WaveTestHelpers.h"
#include "shell/Resources.h"
#include "wavetable/BuiltInTableCache.h"

namespace {

using wavetest::Harmonics;
using wavetest::WaveOf;

constexpr int kWaveCounts[38] = {
    1, 1, 1, 2, 2, 4, 2, 2, 64, 64,       // 0-9
    2, 16, 64, 16, 16, 9, 12, 8, 16, 64,  // 10-19
    16, 16, 33, 33, 33, 33, 33, 33, 33, 33,  // 20-29
    33, 3, 33, 33, 33, 33, 33, 8,            // 30-37
};

TEST(BuiltInWaveTables, EveryTableBuildsWithItsWaveCount) {
  for (int id = 0; id < 38; ++id) {
    const auto levels = BuiltInTableCache::Get(id);
    ASSERT_TRUE(levels) << id;
    EXPECT_EQ(levels->waveCount, kWaveCounts[id]) << id;
    for (const auto& level : levels->level) EXPECT_EQ(level.size(), kWaveCounts[id] * 2048u) << id;
    // No wave of level 0 is silent.
    for (int w = 0; w < levels->waveCount; ++w) {
      std::vector<std::int16_t> wave(levels->level[0].begin() + w * 2048, levels->level[0].begin() + (w + 1) * 2048);
      EXPECT_GE(wavetest::Peak(wave), 32766) << id << " wave " << w;
    }
  }
  EXPECT_FALSE(BuiltInWaveTables::Build(38));
  EXPECT_FALSE(BuiltInWaveTables::Build(-1));
  EXPECT_FALSE(BuiltInTableCache::Get(65531));
}

TEST(BuiltInWaveTables, StandardWaveFormulas) {
  const auto saw = BuiltInWaveTables::TimeDomainWaves(0);
  ASSERT_EQ(saw.size(), 2048u);
  EXPECT_EQ(saw[0], 1.0f);
  EXPECT_NEAR(saw[2047], -1.0f, 1e-5);
  EXPECT_NEAR(saw[1], 1.0f - 2.0f / 2047.0f, 1e-7);

  const auto triSine = BuiltInWaveTables::TimeDomainWaves(3);
  ASSERT_EQ(triSine.size(), 4096u);
  EXPECT_EQ(triSine[511], 511.0f / 512.0f);
  EXPECT_EQ(triSine[512], 511.0f / 512.0f);
  EXPECT_EQ(triSine[1024], 0.0f);
  EXPECT_EQ(triSine[1535], -511.0f / 512.0f);
  EXPECT_EQ(triSine[1536], -511.0f / 512.0f);
  EXPECT_NEAR(triSine[2048 + 512], 1.0f, 1e-6);  // the sine's crest

  const auto sawTri = BuiltInWaveTables::TimeDomainWaves(8);
  ASSERT_EQ(sawTri.size(), 64u * 2048);
  EXPECT_EQ(sawTri[0], 1.0f);  // wave 0: falling saw
  EXPECT_NEAR(sawTri[1023], 1.0f / 1024.0f, 1e-7);
  EXPECT_NEAR(sawTri[2047], -1.0f, 1e-7);
  EXPECT_EQ(sawTri[63 * 2048 + 0], 0.0f);  // wave 63: triangle
  EXPECT_EQ(sawTri[63 * 2048 + 256], 0.5f);
  EXPECT_EQ(sawTri[63 * 2048 + 512], 1.0f);

  const auto sqTri = BuiltInWaveTables::TimeDomainWaves(9);
  EXPECT_EQ(sqTri[0], 1.0f);  // wave 0: square
  EXPECT_EQ(sqTri[1023], 1.0f);
  EXPECT_EQ(sqTri[1024], -1.0f);
  EXPECT_EQ(sqTri[63 * 2048 + 256], 0.5f);  // wave 63: triangle

  const auto up = BuiltInWaveTables::TimeDomainWaves(18);
  ASSERT_EQ(up.size(), 16u * 2048);
  EXPECT_NEAR(Harmonics(up.data() + 15 * 2048)[16], 1.0, 1e-4);
}

TEST(BuiltInWaveTables, AdditiveSpectra) {
  const auto dirac = BuiltInTableCache::Get(12);
  // Wave 63 is a single sine; wave 0 has 64 equal harmonics.
  const auto last = Harmonics(WaveOf(*dirac, 0, 63));
  EXPECT_NEAR(last[1], 1.0, 0.01);
  EXPECT_LT(last[2], 1e-3);
  const auto first = Harmonics(WaveOf(*dirac, 0, 0));
  for (int k = 2; k <= 64; ++k) EXPECT_NEAR(first[k] / first[1], 1.0 - (k * k - 1) / (1024.0 * 1024.0), 0.01) << k;
  EXPECT_LT(first[65], 1e-3 * first[1]);

  // Octaves wave 7 reaches harmonic 128: level 2 (limit 256) keeps it, level 3 (limit 128) not.
  const auto octaves = BuiltInTableCache::Get(17);
  const auto l2 = Harmonics(WaveOf(*octaves, 2, 7));
  const auto l3 = Harmonics(WaveOf(*octaves, 3, 7));
  EXPECT_GT(l2[128], 0.1 * l2[1]);
  EXPECT_LT(l3[128], 1e-3 * l3[1]);
  EXPECT_GT(l3[64], 0.1 * l3[1]);

  // Even to Odd, wave 1: 1, 2, 4 ... 14, 15, 17.
  const auto e2o = Harmonics(WaveOf(*BuiltInTableCache::Get(15), 0, 1));
  for (int k : {1, 2, 4, 6, 8, 10, 12, 14, 15, 17}) EXPECT_GT(e2o[k], 0.5 * e2o[1]) << k;
  for (int k : {3, 5, 16}) EXPECT_LT(e2o[k], 1e-3) << k;

  // Primes wave 11 ends at 31; Odd wave 3 is 1, 3, 5.
  const auto primes = Harmonics(WaveOf(*BuiltInTableCache::Get(16), 0, 11));
  EXPECT_GT(primes[31], 0.5 * primes[1]);
  EXPECT_LT(primes[4], 1e-3);
  const auto odd = Harmonics(WaveOf(*BuiltInTableCache::Get(13), 0, 3));
  EXPECT_GT(odd[5], 0.5 * odd[1]);
  EXPECT_LT(odd[7], 1e-3);

  // Drawbar Mixed wave 1: a full fundamental and a half second harmonic; Drawbar Full: both full.
  const auto mixed = Harmonics(WaveOf(*BuiltInTableCache::Get(21), 0, 1));
  EXPECT_NEAR(mixed[2] / mixed[1], 0.5, 0.01);
  const auto full = Harmonics(WaveOf(*BuiltInTableCache::Get(20), 0, 1));
  EXPECT_NEAR(full[2] / full[1], 1.0, 0.01);
  const auto full11 = Harmonics(WaveOf(*BuiltInTableCache::Get(20), 0, 11));
  for (int k : {1, 2, 3, 10, 12, 16}) EXPECT_GT(full11[k], 0.5 * full11[1]) << k;
  for (int k : {4, 6, 8}) EXPECT_LT(full11[k], 1e-3) << k;
}

TEST(BuiltInWaveTables, PhasedSawShiftsItsUpperHarmonics) {
  const auto phased = BuiltInTableCache::Get(19);
  // Wave 0 is a plain 32-harmonic saw: amplitudes 1/k.
  const auto a = Harmonics(WaveOf(*phased, 0, 0));
  for (int k = 1; k <= 32; ++k) EXPECT_NEAR(a[k] / a[1], (1.0 / k) * (1.0 - (k * k - 1) / (1024.0 * 1024.0)), 0.005) << k;
  EXPECT_LT(a[33], 1e-3 * a[1]);
  // Wave 32 shifts harmonic k by (k-1) pi/2: harmonic 3 turns by pi, so its sign flips against
  // wave 0's; the spectrum's magnitudes stay.
  RealDft d0, d32;
  const auto w0 = WaveOf(*phased, 0, 0);
  const auto w32 = WaveOf(*phased, 0, 32);
  std::copy(w0.begin(), w0.end(), d0.Wave());
  std::copy(w32.begin(), w32.end(), d32.Wave());
  d0.Forward();
  d32.Forward();
  const auto r1 = d32.Spectrum()[1] / d0.Spectrum()[1];
  const auto r3 = d32.Spectrum()[3] / d0.Spectrum()[3];
  EXPECT_NEAR(std::arg(r1), 0.0, 0.01);
  EXPECT_NEAR(std::abs(std::arg(r3)), std::numbers::pi, 0.01);
}

TEST(BuiltInWaveTables, SineTimesCosineBecomesAFullScaleSecondHarmonic) {
  const auto sine = BuiltInTableCache::Get(4);
  const auto a = Harmonics(WaveOf(*sine, 0, 1));
  EXPECT_NEAR(a[2], 1.0, 0.01);
  EXPECT_LT(a[1], 1e-3);
}

TEST(BuiltInWaveTables, LevelsAboveAWavesContentAreSilentNotNoise) {
  // "Frequency Up" wave 15 is harmonic 16 alone: levels whose limit is 16 or lower hold nothing.
  const auto up = BuiltInTableCache::Get(18);
  for (int l = 6; l < 10; ++l) {
    std::vector<std::int16_t> wave(up->level[l].begin() + 15 * 2048, up->level[l].begin() + 16 * 2048);
    EXPECT_EQ(wavetest::Peak(wave), 0) << l;
  }
}

TEST(BuiltInWaveTables, ResourceSetsHaveTheirLayout) {
  for (int id = 0; id < 38; ++id) {
    const char* name = BuiltInWaveTables::ResourceName(id);
    if (name == nullptr) continue;
    const auto bytes = FindResource("WAV", name);
    ASSERT_TRUE(bytes) << name;
    EXPECT_EQ(bytes->size(), kWaveCounts[id] * 4096u) << name;
  }
  EXPECT_STREQ(BuiltInWaveTables::ResourceName(37), "WAVE_DW6000");
  EXPECT_STREQ(BuiltInWaveTables::ResourceName(11), "WAVE_DW8000");
  EXPECT_EQ(BuiltInWaveTables::ResourceName(12), nullptr);
}

}  // namespace
