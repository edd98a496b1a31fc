#include "engine/Oscillator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/OscillatorTables.h"
#include "engine/PitchFunction.h"
#include "engine/TestWaveTable.h"

namespace {

constexpr int kNote69 = 69 * 128;

// Frequency of a rendered signal from its rising zero crossings (linearly interpolated).
double MeasureFrequency(const std::vector<double>& x, double rate) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0.0 && x[i] >= 0.0) {
      const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0.0) first = t;
      last = t;
      ++crossings;
    }
  }
  return (crossings - 1) * rate / (last - first);
}

std::vector<double> Render(Oscillator& osc, int samples, double fm = 0.0) {
  std::vector<double> out(static_cast<std::size_t>(samples));
  for (auto& v : out) v = osc.Render(fm);
  return out;
}

struct OscillatorFixture : ::testing::Test {
  TestWaveTable table;
  Oscillator osc;
  void Use(int identifier, int waves, const std::function<double(int, int)>& f) {
    table.Fill(identifier, waves, f);
    osc.SetTable(&table);
  }
};

}  // namespace

TEST(OscillatorTables, IncrementAndLevelFollowThePitchFunction) {
  const auto tables = OscillatorTables::ForRate(44100.0);
  EXPECT_EQ(tables->Increment(kNote69), 1339133);
  EXPECT_EQ(tables->Level(kNote69), 5);  // step 20: five halvings, 32 harmonics
  EXPECT_EQ(tables->Level(0), 0);
  for (int p = 0; p <= kPitchLimit; p += 97) {
    const double exact = PitchToFrequency(p) * 134217728.0 / 44100.0;
    EXPECT_EQ(tables->Increment(p), static_cast<std::int32_t>(exact)) << p;
  }
  EXPECT_EQ(OscillatorTables::LevelForStep(2), 1);
  EXPECT_EQ(OscillatorTables::LevelForStep(3), 2);
  EXPECT_EQ(OscillatorTables::LevelForStep(1), 0);
  EXPECT_EQ(OscillatorTables::LevelForStep(600), 9);
  EXPECT_EQ(OscillatorTables::LevelForStep(2048), 0);
  // Each level keeps the read step within one sample of the band-limited wave.
  for (int p = 0; p <= kPitchLimit; ++p) {
    const int step = tables->Increment(p) >> 16;
    const int level = tables->Level(p);
    if (step > 1 && step < 512) {
      ASSERT_LE(step, 1 << level) << p;
      ASSERT_GT(step, 1 << (level - 1)) << p;
    }
  }
}

TEST(Oscillator, SampleValueIsTheSinglePrecisionQuotient) {
  for (int s = -32768; s <= 32767; ++s) {
    volatile float divisor = 32767.0f;
    const float quotient = static_cast<float>(s) / divisor;
    ASSERT_EQ(Oscillator::SampleValue(static_cast<std::int16_t>(s)), quotient) << s;
  }
}

TEST(OscillatorTables, EachRateGetsItsOwnTablesAndSameRateShares) {
  const auto a = OscillatorTables::ForRate(44100.0);
  const auto b = OscillatorTables::ForRate(96000.0);
  const auto c = OscillatorTables::ForRate(44100.0);
  EXPECT_EQ(a.get(), c.get());
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(b->Increment(kNote69), static_cast<std::int32_t>(440.0 * 134217728.0 / 96000.0));
  // Absurd rates neither overflow nor divide by zero.
  EXPECT_EQ(OscillatorTables::ForRate(0.0)->Rate(), 44100.0);
  EXPECT_EQ(OscillatorTables::ForRate(100.0)->Increment(kPitchLimit), OscillatorTables::kMaxIncrement);
}

TEST_F(OscillatorFixture, SineAtNote69Renders440Hz) {
  Use(4, 1, TestWaveTable::Sine);
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    osc.SetSampleRate(rate);
    osc.ControlTick(kNote69, 0.0);
    EXPECT_FALSE(osc.IsMuted());
    const double f = MeasureFrequency(Render(osc, static_cast<int>(rate * 2)), rate);
    EXPECT_NEAR(f, 440.0, 0.1) << rate;
  }
}

TEST_F(OscillatorFixture, TuningMovesPitchByOctavesSemitonesAndFine) {
  Use(4, 1, TestWaveTable::Sine);
  osc.SetOctave(1);
  osc.SetSemitone(-5);
  osc.SetFine(7);
  osc.ControlTick(6000.0, 12.75);
  EXPECT_EQ(osc.Pitch(), 6000 + 12 + 1536 - 640 + 7);
  osc.SetOctave(-1);
  osc.SetSemitone(0);
  osc.SetFine(0);
  osc.ControlTick(kNote69 + 1536, 0.0);
  const double f = MeasureFrequency(Render(osc, 88200), 44100.0);
  EXPECT_NEAR(f, 440.0, 0.1);
}

TEST_F(OscillatorFixture, PitchOutsideTheTablesMutes) {
  Use(4, 1, TestWaveTable::Sine);
  osc.ControlTick(17000.0, 280.5);  // truncates to 17280, the last table entry
  EXPECT_FALSE(osc.IsMuted());
  EXPECT_EQ(osc.Pitch(), kPitchLimit);
  osc.ControlTick(17000.0, 281.0);
  EXPECT_TRUE(osc.IsMuted());
  EXPECT_EQ(osc.Pitch(), kPitchLimit);
  for (double v : Render(osc, 100)) ASSERT_EQ(v, 0.0);
  osc.ControlTick(0.0, -0.9);  // truncates to 0: in range
  EXPECT_FALSE(osc.IsMuted());
  osc.ControlTick(0.0, -1.0);
  EXPECT_TRUE(osc.IsMuted());
  EXPECT_EQ(osc.Pitch(), 0);
  osc.ControlTick(6000.0, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(osc.IsMuted());

  // A muted oscillator's phase keeps running.
  osc.ControlTick(20000.0, 0.0);
  const std::int32_t before = osc.Phase();
  osc.Render(0.0);
  EXPECT_EQ(osc.Phase(), (before + osc.Increment()) & Oscillator::kPhaseMask);

  // A slave of a muted master is muted; it follows the master's state of its own last tick.
  Oscillator slave;
  slave.SetTable(&table);
  slave.SetSyncMaster(&osc);
  slave.ControlTick(6000.0, 0.0);
  EXPECT_TRUE(slave.IsMuted());
  osc.ControlTick(6000.0, 0.0);
  slave.ControlTick(6000.0, 0.0);
  EXPECT_FALSE(slave.IsMuted());
}

TEST_F(OscillatorFixture, WavePositionInterpolatesOrPicksTheNearestWave) {
  // Wave w is a constant level (w + 1) / 100, so the output shows which waves are mixed.
  Use(7, 64, [](int w, int) { return (w + 1) / 100.0; });
  const auto level = [](int w) { return static_cast<float>(std::lround((w + 1) / 100.0 * 32767.0)) / 32767.0f; };
  osc.SetInterpolate(true);
  osc.SetShape(0.5);
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 31);
  EXPECT_EQ(osc.NextWave(), 32);
  EXPECT_DOUBLE_EQ(osc.Weight0(), 0.5);
  EXPECT_DOUBLE_EQ(osc.Weight1(), 0.5);
  EXPECT_DOUBLE_EQ(osc.Render(0.0), level(31) * 0.5 + level(32) * 0.5);

  osc.SetInterpolate(false);
  osc.MarkTableChanged();
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 32);  // 31.5 rounds away from zero
  EXPECT_DOUBLE_EQ(osc.Render(0.0), level(32));

  osc.SetShape(1.7);  // clamped
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 63);
  EXPECT_EQ(osc.NextWave(), 63);
  osc.SetShape(-3.0);
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 0);
  osc.SetShape(std::numeric_limits<double>::quiet_NaN());
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 0);
  EXPECT_EQ(osc.Shape(), 0.0);

  // A shape change waits for the next control tick.
  osc.SetInterpolate(true);
  osc.SetShape(0.25);
  EXPECT_EQ(osc.Wave(), 0);
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 15);
  EXPECT_NEAR(osc.Weight1(), 0.75, 1e-12);
}

TEST_F(OscillatorFixture, TableChangesReadSilenceUntilThePositionIsRecomputed) {
  Use(7, 64, [](int w, int) { return (w + 1) / 100.0; });
  osc.SetShape(1.0);
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 63);
  // Rebuilt with fewer waves: wave 63 no longer exists and reads 0 ...
  table.Fill(7, 4, [](int w, int) { return (w + 1) / 10.0; });
  EXPECT_EQ(osc.Render(0.0), 0.0);
  // ... until the next tick notices the new wave count.
  osc.ControlTick(6000.0, 0.0);
  EXPECT_EQ(osc.Wave(), 3);
  EXPECT_NEAR(osc.Render(0.0), 0.4, 1e-4);

  table.DropLevel(osc.Level());
  EXPECT_EQ(osc.Render(0.0), 0.0);
  table.Fill(7, 4, [](int, int) { return 0.5; });
  table.MarkInvalid();
  EXPECT_EQ(osc.Render(0.0), 0.0);
  Oscillator noTable;
  noTable.ControlTick(6000.0, 0.0);
  EXPECT_EQ(noTable.Render(0.0), 0.0);
}

namespace {

// Fraction of one cycle at which the output lies above its mean, and the cycle's mean and peak.
struct PulseShape {
  double duty = 0.0, mean = 0.0, peak = 0.0;
};

PulseShape MeasurePulse(Oscillator& osc) {
  // Pitch 3072 (32.7 Hz) reads every table sample at level 0.
  osc.ControlTick(3072.0, 0.0);
  osc.Restart();
  const int cycle = static_cast<int>(std::ceil(134217728.0 / osc.Increment()));
  std::vector<double> x = Render(osc, cycle);
  PulseShape s;
  for (double v : x) {
    s.mean += v / cycle;
    s.peak = std::max(s.peak, std::abs(v));
  }
  int above = 0;
  for (double v : x) above += v > s.mean + 1e-9;
  s.duty = static_cast<double>(above) / cycle;
  return s;
}

}  // namespace

TEST_F(OscillatorFixture, PulseNarrowsToSilenceAtFullShape) {
  Use(1, 1, TestWaveTable::Saw);
  osc.SetShape(0.0);
  PulseShape s = MeasurePulse(osc);
  EXPECT_NEAR(s.duty, 0.5, 0.002);  // a square from the saw
  EXPECT_NEAR(s.peak, 1.0, 0.002);
  // The negative part narrows from half a cycle to nothing as the shape rises.
  osc.SetShape(0.75);
  s = MeasurePulse(osc);
  EXPECT_NEAR(s.duty, 0.875, 0.002);
  EXPECT_NEAR(s.mean, 0.0, 0.002);
  osc.SetShape(1.0);
  s = MeasurePulse(osc);
  EXPECT_EQ(s.peak, 0.0);
}

TEST_F(OscillatorFixture, FullPwmCoversTwoDutyCycles) {
  Use(2, 1, TestWaveTable::Saw);
  osc.SetShape(0.0);
  PulseShape s = MeasurePulse(osc);
  EXPECT_NEAR(s.duty, 0.5, 0.002);
  osc.SetShape(1.0);
  EXPECT_NEAR(MeasurePulse(osc).duty, 0.5, 0.002);
  osc.SetShape(0.25);
  s = MeasurePulse(osc);
  EXPECT_NEAR(s.duty, 0.25, 0.002);
  EXPECT_NEAR(s.mean, 0.0, 0.002);
  osc.SetShape(0.75);
  s = MeasurePulse(osc);
  EXPECT_NEAR(s.duty, 0.75, 0.002);
  EXPECT_NEAR(s.mean, 0.0, 0.002);
  osc.SetShape(0.5);
  EXPECT_EQ(MeasurePulse(osc).peak, 0.0);
}

TEST_F(OscillatorFixture, SawModeMixesAShiftedCopy) {
  Use(0, 1, TestWaveTable::Saw);
  Oscillator plain;
  TestWaveTable plainTable;
  plainTable.Fill(5, 1, TestWaveTable::Saw);
  plain.SetTable(&plainTable);
  osc.SetShape(0.0);
  osc.ControlTick(kNote69, 0.0);
  plain.ControlTick(kNote69, 0.0);
  for (int i = 0; i < 500; ++i) ASSERT_DOUBLE_EQ(osc.Render(0.0), plain.Render(0.0)) << i;
  // Shape 1 adds the copy half a cycle away: the fundamental cancels, leaving the octave.
  osc.SetShape(1.0);
  osc.ControlTick(kNote69, 0.0);
  EXPECT_EQ(osc.SecondReadOffset(), 1024);
  const double f = MeasureFrequency(Render(osc, 88200), 44100.0);
  EXPECT_NEAR(f, 880.0, 0.5);
}

TEST_F(OscillatorFixture, RestartGoesToTheStartPhase) {
  Use(4, 1, TestWaveTable::Sine);
  osc.ControlTick(kNote69, 0.0);
  Render(osc, 123);
  osc.SetStartPhase(0.25);
  osc.Restart();
  EXPECT_EQ(osc.Phase(), 1 << 25);
  EXPECT_NEAR(osc.Render(0.0), 1.0, 1e-4);  // a quarter cycle into the sine
  osc.SetStartPhase(1.0 / 3.0);
  osc.Restart();
  EXPECT_EQ(osc.Phase(), 44739243);  // 134217728 / 3 = 44739242.67, rounded
}

TEST_F(OscillatorFixture, HardSyncRestartsAtTheSubSampleWrapPosition) {
  Use(4, 1, TestWaveTable::Sine);
  Oscillator master;
  master.SetTable(&table);
  master.ControlTick(kNote69 - 1536.0, 0.0);  // 220 Hz
  osc.SetSyncMaster(&master);
  osc.SetStartPhase(0.125);
  osc.ControlTick(kNote69 + 700.0, 0.0);
  const double masterInc = master.Increment();
  const double slaveInc = osc.Increment();
  const std::int32_t start = 1 << 24;
  int wraps = 0;
  for (int i = 0; i < 20000; ++i) {
    master.Render(0.0);
    const std::int32_t slaveBefore = osc.Phase();
    osc.Render(0.0);
    if (master.Wrapped()) {
      ++wraps;
      // The slave restarted at its start phase advanced by the fraction of this sample since the
      // master's wrap, then advanced by one increment.
      const double fraction = master.Phase() / masterInc;
      ASSERT_GE(fraction, 0.0);
      ASSERT_LT(fraction, 1.0);
      const auto expected = static_cast<std::int32_t>(
          (start + std::lround(slaveInc * fraction) + osc.Increment()) & Oscillator::kPhaseMask);
      ASSERT_EQ(osc.Phase(), expected) << i;
    } else {
      ASSERT_EQ(osc.Phase(), (slaveBefore + osc.Increment()) & Oscillator::kPhaseMask);
    }
  }
  EXPECT_GT(wraps, 90);
}

TEST_F(OscillatorFixture, HardSyncQuarterSampleExample) {
  Use(4, 1, TestWaveTable::Sine);
  Oscillator master;
  master.SetTable(&table);
  master.ControlTick(kNote69, 0.0);
  // Place the master three quarters of an increment before its wrap.
  const std::int32_t inc = master.Increment();  // 1339133
  master.SetStartPhase((134217728.0 - 0.75 * inc) / 134217728.0);
  master.Restart();
  osc.SetSyncMaster(&master);
  osc.SetStartPhase(0.5);
  osc.ControlTick(kNote69 + 1536.0, 0.0);
  master.Render(0.0);
  ASSERT_TRUE(master.Wrapped());
  EXPECT_NEAR(static_cast<double>(master.Phase()) / inc, 0.25, 1e-6);
  osc.Render(0.0);
  const double expected = (1 << 26) + 0.25 * osc.Increment() + osc.Increment();
  EXPECT_NEAR(osc.Phase(), expected, 1.0);
}

TEST_F(OscillatorFixture, LinearFmShiftsTheReadPositionAndIgnoresNaN) {
  Use(4, 1, TestWaveTable::Sine);
  Oscillator shifted;
  shifted.SetTable(&table);
  shifted.SetStartPhase(0.25);
  shifted.Restart();
  osc.ControlTick(kNote69, 0.0);
  shifted.ControlTick(kNote69, 0.0);
  // Once the 2 kHz smoother has settled on the constant input, a quarter-cycle phase input reads
  // exactly where a quarter-cycle start phase does; the stored phase is not moved.
  Render(osc, 4000, 0.25);
  Render(shifted, 4000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(osc.Render(0.25), shifted.Render(0.0)) << i;
  EXPECT_EQ((osc.Phase() + (1 << 25)) & Oscillator::kPhaseMask, shifted.Phase());

  Oscillator clean, poisoned;
  for (Oscillator* o : {&clean, &poisoned}) {
    o->SetTable(&table);
    o->ControlTick(kNote69, 0.0);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 2000; ++i) {
    const double fm = (i % 7 == 0) ? 0.0 : 0.01 * std::sin(i * 0.1);
    const double a = clean.Render(fm);
    const double b = poisoned.Render(i % 7 == 0 ? nan : fm);
    ASSERT_EQ(a, b) << i;
    ASSERT_TRUE(std::isfinite(b));
  }
  // When the FM input stops, the smoother comes to rest at exactly 0 (not hovering on subnormal
  // numbers, whatever the floating-point mode) while the read position has already stopped moving.
  EXPECT_FALSE(clean.FmSmootherAtRest());
  Oscillator plain;
  plain.SetTable(&table);
  plain.ControlTick(kNote69, 0.0);
  for (int i = 0; i < 2000; ++i) plain.Render(0.0);
  int settled = -1;
  for (int i = 0; i < 20000; ++i) {
    const double fromFm = clean.Render(0.0);
    const double without = plain.Render(0.0);
    if (i >= 400) {
      ASSERT_EQ(fromFm, without) << "sample " << i << " after the FM input stopped";
    }
    if (settled < 0 && clean.FmSmootherAtRest()) settled = i;
  }
  EXPECT_GE(settled, 0);
  EXPECT_LT(settled, 2000);
}

TEST_F(OscillatorFixture, SampleRateChangeStopsThePhaseAndRetunes) {
  Use(4, 1, TestWaveTable::Sine);
  osc.ControlTick(kNote69, 0.0);
  Render(osc, 77);
  osc.SetSampleRate(48000.0);
  EXPECT_EQ(osc.Phase(), 0);
  EXPECT_EQ(osc.Increment(), 0);
  EXPECT_EQ(osc.Render(0.0), 0.0);
  osc.ControlTick(kNote69, 0.0);
  EXPECT_EQ(osc.Increment(), static_cast<std::int32_t>(440.0 * 134217728.0 / 48000.0));
  EXPECT_EQ(osc.Tables().Rate(), 48000.0);
}
