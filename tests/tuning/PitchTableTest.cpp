#include "tuning/PitchTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "TuningTestUtil.h"
#include "engine/PitchFunction.h"
#include "tuning/CSingleScale.h"

namespace {

// The nearest pitch found by walking one pitch unit at a time from the note's equal-tempered pitch.
int WalkedPitch(int note, double h) {
  if (h < kLowestTunedFrequency) h = kLowestTunedFrequency;
  if (h > kHighestTunedFrequency) h = kHighestTunedFrequency;
  int p = 0;
  int q = 0;
  if (PitchToFrequency(128 * note) > h) {
    p = 128 * note - 1;
    while (PitchToFrequency(p) > h) --p;
    q = p + 1;
  } else {
    p = 128 * note + 1;
    while (PitchToFrequency(p) < h) ++p;
    q = p - 1;
  }
  return std::fabs(PitchToFrequency(q) - h) < std::fabs(PitchToFrequency(p) - h) ? q : p;
}

}  // namespace

TEST(PitchTable, EqualTemperamentGivesWholeSemitones) {
  TUN::CSingleScale s;
  std::int32_t table[128];
  BuildPitchTable(s, table);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(table[n], 128 * n) << n;
}

TEST(PitchTable, FrequenciesOutsideTheRangeAreClamped) {
  TUN::CSingleScale s;
  s.SetFrequency(0, 1.0);
  s.SetFrequency(1, -5.0);
  s.SetFrequency(2, std::numeric_limits<double>::quiet_NaN());
  s.SetFrequency(3, -std::numeric_limits<double>::infinity());
  s.SetFrequency(124, 30000.0);
  s.SetFrequency(125, std::numeric_limits<double>::infinity());
  s.SetFrequency(127, 8.0);  // a high note at the very bottom: the longest search
  std::int32_t table[128];
  BuildPitchTable(s, table);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], 0);
  EXPECT_EQ(table[2], 0);
  EXPECT_EQ(table[3], 0);
  EXPECT_EQ(table[124], kPitchLimit);
  EXPECT_EQ(table[125], kPitchLimit);
  EXPECT_EQ(table[127], 0);
}

TEST(PitchTable, SearchMatchesTheStepwiseWalk) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> octaves(std::log2(7.0), std::log2(21000.0));
  for (int i = 0; i < 4000; ++i) {
    const int note = static_cast<int>(rng() % 128);
    const double hz = std::exp2(octaves(rng));
    ASSERT_EQ(NearestPitch(note, hz), WalkedPitch(note, hz)) << note << " " << hz;
  }
  // Exact table frequencies, and the points halfway between two pitches. A tie is decided in the
  // last bit of the arithmetic, which the 32-bit build carries in extended precision, so there
  // either neighbour is the nearest.
  for (int p = 0; p < kPitchLimit; p += 37) {
    const double a = PitchToFrequency(p);
    const double mid = (a + PitchToFrequency(p + 1)) / 2;
    for (int note : {0, 40, 69, 127}) {
      ASSERT_EQ(NearestPitch(note, a), WalkedPitch(note, a)) << p;
      const int found = NearestPitch(note, mid);
      ASSERT_TRUE(found == p || found == p + 1) << p;
    }
    ASSERT_EQ(NearestPitch(p / 128, a), p);
  }
}

TEST(PitchTable, ReadsThroughTheKeyMapping) {
  TUN::CSingleScale s;
  s.SetKeyMapping(60, 72);
  std::int32_t table[128];
  BuildPitchTable(s, table);
  EXPECT_EQ(table[60], 128 * 72);
  EXPECT_EQ(table[61], 128 * 61);
}
