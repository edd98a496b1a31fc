// The built-in wave sets must sound like their names: checked on the spectra of the built tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "WaveTestHelpers.h"
#include "wavetable/BuiltInTableCache.h"

namespace {

using wavetest::Centroid;
using wavetest::Harmonics;
using wavetest::WaveOf;

std::vector<double> Spectrum(int identifier, int wave) {
  const auto levels = BuiltInTableCache::Get(identifier);
  if (!levels) return std::vector<double>(1025, 0.0);
  return Harmonics(WaveOf(*levels, 0, wave));
}

int Loudest(const std::vector<double>& a, int from, int to) {
  return static_cast<int>(std::max_element(a.begin() + from, a.begin() + to + 1) - a.begin());
}

double Energy(const std::vector<double>& a, int from, int to) {
  double e = 0.0;
  for (int k = from; k <= to; ++k) e += a[k] * a[k];
  return e;
}

// A struck string, an electric-piano reed and both slapped basses darken as they decay.
TEST(WaveSets, DecayingInstrumentsDarkenAcrossTheirWaves) {
  for (int id : {22, 23, 24, 25}) {
    double previous = 1e9;
    for (int w = 0; w <= 32; w += 8) {
      const double c = Centroid(Spectrum(id, w));
      EXPECT_LT(c, previous) << "table " << id << " wave " << w;
      previous = c;
    }
    EXPECT_LT(Centroid(Spectrum(id, 32)), 0.5 * Centroid(Spectrum(id, 0))) << id;
  }
  // The low slap reaches far higher harmonics on its attack than the struck piano string.
  EXPECT_GT(Centroid(Spectrum(24, 0)), 2.0 * Centroid(Spectrum(22, 0)));
}

TEST(WaveSets, RePwmNarrowsFromASquare) {
  const auto square = Spectrum(26, 0);
  EXPECT_LT(square[2], 0.01 * square[1]);  // 50 %: no even harmonics
  EXPECT_NEAR(square[3] / square[1], 1.0 / 3.0, 0.02);
  const auto narrow = Spectrum(26, 32);
  EXPECT_GT(narrow[4] / narrow[1], 0.9);  // a 3 % pulse: a flat top end
  EXPECT_GT(Spectrum(26, 16)[2], 0.5 * Spectrum(26, 16)[1]);
}

TEST(WaveSets, ResonanceSweepsMoveTheirPeakUp) {
  for (int id : {27, 28}) {
    int previous = 0;
    for (int w = 8; w <= 32; w += 8) {
      const auto a = Spectrum(id, w);
      // Undo the source's 1/k slope, so the filter's own response shows.
      std::vector<double> response(a.size());
      for (std::size_t k = 1; k < a.size(); ++k) response[k] = a[k] * static_cast<double>(k);
      const int peak = Loudest(response, 1, 200);
      EXPECT_GT(peak, previous) << "table " << id << " wave " << w;
      previous = peak;
    }
  }
  // Halfway through the saw sweep the cutoff sits near harmonic 12: the resonance stands out of
  // the saw's falling slope, louder than the harmonics an octave below it.
  const auto a = Spectrum(27, 16);
  EXPECT_GT(a[12], a[6]);
  EXPECT_GT(a[12], 4.0 * a[24]);
}

TEST(WaveSets, CrossModulationStartsPureAndGrowsDense) {
  const auto pure = Spectrum(29, 0);
  EXPECT_LT(Energy(pure, 2, 200), 1e-4 * Energy(pure, 1, 1));
  const auto dense = Spectrum(29, 32);
  int strong = 0;
  for (int k = 1; k <= 200; ++k) strong += dense[k] > 0.05 ? 1 : 0;
  EXPECT_GT(strong, 10);
}

TEST(WaveSets, FormantShiftMovesItsFormantUp) {
  EXPECT_LE(Loudest(Spectrum(30, 0), 1, 300), 3);
  EXPECT_GT(Loudest(Spectrum(30, 32), 1, 300), 25);
}

// Vowels voiced at C3: "ah" peaks near 730 Hz (harmonic 6) with its second formant near 1090 Hz
// (harmonic 8); "oh" near 450 Hz (harmonic 3-4); "eh" low at 400 Hz with a high second formant
// near 2080 Hz (harmonic 16), which "oh" lacks.
TEST(WaveSets, VowelsHaveTheirFormants) {
  const auto a = Spectrum(31, 0);
  const auto o = Spectrum(31, 1);
  const auto e = Spectrum(31, 2);
  EXPECT_GE(Loudest(a, 1, 30), 5);
  EXPECT_LE(Loudest(a, 1, 30), 6);
  EXPECT_GT(a[8], a[7]);
  EXPECT_GT(a[8], a[9]);
  EXPECT_GE(Loudest(o, 1, 30), 3);
  EXPECT_LE(Loudest(o, 1, 30), 4);
  EXPECT_LE(Loudest(e, 1, 30), 3);
  EXPECT_EQ(Loudest(e, 12, 20), 16);
  EXPECT_GT(Energy(e, 14, 18), 50.0 * Energy(o, 14, 18));
  EXPECT_GT(Energy(o, 1, 4), Energy(a, 1, 4));
}

// Consonants are noise bands high up: "sh" above 2 kHz (harmonic 16 at C3), the "t" burst above
// 3 kHz (harmonic 23), while the vowels between them sit low.
TEST(WaveSets, ConsonantsAreHighNoiseBands) {
  const auto sh = Spectrum(32, 28);
  EXPECT_GT(Energy(sh, 16, 60), 0.9 * Energy(sh, 1, 60));
  const auto ee = Spectrum(32, 8);
  EXPECT_LT(Energy(ee, 16, 60), 0.2 * Energy(ee, 1, 60));
  const auto t = Spectrum(33, 1);
  EXPECT_GT(Energy(t, 23, 62), 0.8 * Energy(t, 1, 62));
  const auto eh = Spectrum(33, 20);
  EXPECT_LT(Energy(eh, 23, 62), 0.1 * Energy(eh, 1, 62));
  // Noise: neighbouring waves of the "sh" differ, unlike a held tone.
  const auto sh2 = Spectrum(32, 29);
  double diff = 0.0;
  for (int k = 16; k <= 60; ++k) diff += std::abs(sh[k] - sh2[k]);
  EXPECT_GT(diff, 0.2 * std::accumulate(sh.begin() + 16, sh.begin() + 61, 0.0));
}

TEST(WaveSets, TexturesEvolve) {
  for (int id : {34, 35, 36}) {
    const auto first = Spectrum(id, 0);
    const auto middle = Spectrum(id, 16);
    double diff = 0.0, total = 0.0;
    for (int k = 1; k <= 100; ++k) {
      diff += std::abs(first[k] - middle[k]);
      total += first[k];
    }
    EXPECT_GT(diff, 0.2 * total) << id;
  }
}

TEST(WaveSets, DigitalSynthSetsAreDistinctHarmonicMixes) {
  for (int id : {37, 11}) {
    const auto levels = BuiltInTableCache::Get(id);
    ASSERT_TRUE(levels);
    for (int w = 1; w < levels->waveCount; ++w) {
      const auto a = Spectrum(id, w);
      const auto b = Spectrum(id, w - 1);
      double diff = 0.0;
      for (int k = 1; k <= 64; ++k) diff += std::abs(a[k] - b[k]);
      EXPECT_GT(diff, 0.1) << id << " wave " << w;
    }
  }
  // DW-6000 wave 3 is an organ registration: harmonics 1, 2, 3, 4, 6, 8 and nothing at 5 or 7.
  const auto organ = Spectrum(37, 3);
  for (int k : {1, 2, 3, 4, 6, 8}) EXPECT_GT(organ[k], 0.1) << k;
  for (int k : {5, 7, 9}) EXPECT_LT(organ[k], 1e-3) << k;
}

}  // namespace
