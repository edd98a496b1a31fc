#include "engine/Chorus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/NoiseSource.h"
#include "shell/DenormalGuard.h"

namespace {

// Wet-only impulse response of the left channel, with the sweep held still by depth 0.
std::vector<double> ImpulseResponse(Chorus& chorus, int samples) {
  chorus.SetMix(1.0);
  chorus.ControlTick();
  std::vector<double> out;
  for (int i = 0; i < samples; ++i) {
    double l = i == 0 ? 1.0 : 0.0, r = l;
    chorus.Process(l, r);
    out.push_back(l);
  }
  return out;
}

int PeakIndex(const std::vector<double>& x, int from = 0) {
  int best = from;
  for (int i = from; i < static_cast<int>(x.size()); ++i) {
    if (std::abs(x[static_cast<std::size_t>(i)]) > std::abs(x[static_cast<std::size_t>(best)])) best = i;
  }
  return best;
}

}  // namespace

TEST(Chorus, LineHoldsTwentyMilliseconds) {
  Chorus chorus;
  EXPECT_EQ(chorus.SlotCount(), 882);
  chorus.SetSampleRate(48000.0);
  EXPECT_EQ(chorus.SlotCount(), 960);
  chorus.SetSampleRate(0.0);  // nonsense from a host: as at 44100 Hz
  EXPECT_EQ(chorus.SlotCount(), 882);
}

TEST(Chorus, DelaySettingsSpanTwoAndAHalfToTwentyMilliseconds) {
  Chorus longest;
  longest.SetDelay(1.0);
  longest.SetDepth(0.0);
  longest.ControlTick();
  EXPECT_DOUBLE_EQ(longest.Rate(), 1.0);
  // One slot per sample: the impulse comes out 882 samples later, plus the few samples of delay of
  // the two 7 kHz filters and the interpolation.
  const int longPeak = PeakIndex(ImpulseResponse(longest, 2000));
  EXPECT_GE(longPeak, 882);
  EXPECT_LE(longPeak, 892);

  Chorus shortest;
  shortest.SetDelay(0.0);
  shortest.SetDepth(0.0);
  shortest.ControlTick();
  EXPECT_DOUBLE_EQ(shortest.Rate(), 0.125);
  const int shortPeak = PeakIndex(ImpulseResponse(shortest, 2000));  // 2.5 ms
  EXPECT_GE(shortPeak, 110);
  EXPECT_LE(shortPeak, 120);

  // Full depth sweeps the whole range over one cycle of the triangle.
  Chorus sweep;
  sweep.SetDelay(0.5);
  sweep.SetDepth(1.0);
  sweep.SetSpeed(1.0);  // 1000 ticks per cycle
  double low = 1e9, high = 0.0;
  for (int tick = 0; tick < 1000; ++tick) {
    sweep.ControlTick();
    low = std::min(low, sweep.DelaySamples());
    high = std::max(high, sweep.DelaySamples());
  }
  EXPECT_NEAR(low, 882 * 0.125, 1.0);
  EXPECT_NEAR(high, 882.0, 1.5);
  // Out-of-range settings cannot stall the clock.
  Chorus wild;
  wild.SetDelay(-5.0);
  wild.SetDepth(0.0);
  wild.ControlTick();
  EXPECT_DOUBLE_EQ(wild.Rate(), 0.125);
}

TEST(Chorus, MixIsEqualPower) {
  Chorus chorus;
  chorus.SetMix(0.5);
  EXPECT_NEAR(chorus.DryGain(), 0.7071, 1e-4);
  EXPECT_NEAR(chorus.WetGain(), 0.7071, 1e-4);
  chorus.SetMix(0.0);
  for (int i = 0; i < 3000; ++i) {
    const double x = std::sin(i * 0.01);
    double l = x, r = -x;
    chorus.Process(l, r);
    ASSERT_EQ(l, x);
    ASSERT_EQ(r, -x);
  }
}

TEST(Chorus, NegativeFeedbackInvertsTheRecirculatedSignal) {
  for (double feedback : {-1.0, 0.5}) {
    Chorus chorus;
    chorus.SetDelay(1.0);
    chorus.SetDepth(0.0);
    chorus.SetFeedback(feedback);
    const std::vector<double> h = ImpulseResponse(chorus, 3000);
    const int first = PeakIndex(h);
    const int second = PeakIndex(h, first + 400);
    EXPECT_NEAR(second - first, 882, 4);
    EXPECT_EQ(h[static_cast<std::size_t>(second)] > 0.0, h[static_cast<std::size_t>(first)] * feedback > 0.0);
    // Somewhat less than the feedback: the second pass goes through the output filter once more.
    const double ratio = std::abs(h[static_cast<std::size_t>(second)] / h[static_cast<std::size_t>(first)]);
    EXPECT_LE(ratio, std::abs(feedback));
    EXPECT_GE(ratio, 0.7 * std::abs(feedback));
  }
}

TEST(Chorus, FeedbackStaysBoundedAndClearSilencesTheLines) {
  Chorus chorus;
  chorus.SetDelay(0.3);
  chorus.SetDepth(0.8);
  chorus.SetSpeed(4.0);
  chorus.SetFeedback(1.0);
  chorus.SetMix(1.0);
  double peak = 0.0;
  for (int i = 0; i < 200000; ++i) {
    if (i % 44 == 0) chorus.ControlTick();
    double l = NoiseSource::Next(), r = NoiseSource::Next();
    chorus.Process(l, r);
    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
    peak = std::max({peak, std::abs(l), std::abs(r)});
  }
  EXPECT_LT(peak, 20.0);
  chorus.Clear();
  for (int i = 0; i < 5000; ++i) {
    if (i % 44 == 0) chorus.ControlTick();
    double l = 0.0, r = 0.0;
    chorus.Process(l, r);
    ASSERT_EQ(l, 0.0) << i;
    ASSERT_EQ(r, 0.0) << i;
  }
}

TEST(Chorus, StereoChannelsRunSeparateLines) {
  Chorus chorus;
  chorus.SetDelay(1.0);
  chorus.SetDepth(0.0);
  chorus.SetMix(1.0);
  chorus.ControlTick();
  std::vector<double> left, right;
  for (int i = 0; i < 2000; ++i) {
    double l = i == 0 ? 1.0 : 0.0, r = i == 100 ? 1.0 : 0.0;
    chorus.Process(l, r);
    left.push_back(l);
    right.push_back(r);
  }
  EXPECT_EQ(PeakIndex(right) - PeakIndex(left), 100);

  // Each channel's output follows from its own input alone, whether the two inputs are the same
  // (one line's work can serve both), part ways, meet again, or fall silent and sound again (without
  // feedback the lines come to rest in the silence).
  const DenormalGuard denormals;
  for (double feedback : {0.4, 0.0}) {
    Chorus same, parted, other;
    for (Chorus* c : {&same, &parted, &other}) {
      c->SetDelay(0.3);
      c->SetDepth(0.8);
      c->SetFeedback(feedback);
      c->SetMix(0.5);
    }
    bool rested = false;
    for (int i = 0; i < 70000; ++i) {
      if (i % 44 == 0) {
        for (Chorus* c : {&same, &parted, &other}) c->ControlTick();
      }
      const bool sounding = i < 6000 || i >= 60000;
      const double x = sounding ? NoiseSource::Next() : 0.0;
      const double y = i >= 2000 && i < 4000 ? 0.5 * x : x;  // apart for a while, then the same again
      double l1 = x, r1 = x, l2 = x, r2 = y, l3 = y, r3 = y;
      same.Process(l1, r1);
      parted.Process(l2, r2);
      other.Process(l3, r3);
      ASSERT_EQ(std::memcmp(&l1, &l2, sizeof l1), 0) << feedback << " sample " << i;
      ASSERT_EQ(std::memcmp(&r2, &r3, sizeof r2), 0) << feedback << " sample " << i;
      ASSERT_EQ(std::memcmp(&l1, &r1, sizeof l1), 0) << feedback << " sample " << i;
      if (i == 59999) rested = parted.Silent();
    }
    EXPECT_EQ(rested, feedback == 0.0) << feedback;
  }
}

// Once its lines hold nothing, the chorus skips their arithmetic: the samples, the sweep and the
// clock must be those of the full work, through the silence and the sound after it, with a mix ramp
// running. Without feedback the lines come to rest soon after the sound; with much feedback a decay
// takes longer than this silence to reach 0, and the full work goes on.
TEST(Chorus, SkippingSilenceChangesNoSample) {
  const DenormalGuard denormals;  // as in the plug-in's audio calls: decays end at exactly 0
  for (double feedback : {0.0, -0.9}) {
    Chorus skipping;
    Chorus full;
    full.SetSkipsSilence(false);
    for (Chorus* c : {&skipping, &full}) {
      c->SetDelay(0.4);
      c->SetDepth(0.7);
      c->SetSpeed(3.0);
      c->SetFeedback(feedback);
      c->SetMix(0.3);
    }
    bool rested = false;
    bool woke = false;
    for (int i = 0; i < 150000; ++i) {
      const bool sounding = i < 3000 || (i >= 120000 && i < 121000);
      // Later a faint click, whose input side settles long before its echo leaves the line.
      const double in = sounding ? NoiseSource::Next() : (i == 140000 ? 1e-300 : 0.0);
      if (i % 44 == 0) {
        skipping.ControlTick();
        full.ControlTick();
      }
      if (i == 121000) woke = !skipping.Silent();
      if (i == 119000) {
        rested = skipping.Silent();
        skipping.SetMix(0.8, 500);
        full.SetMix(0.8, 500);
      }
      // Silence is +0, as the voices' sum gives it (-0 in holds a -0 in the input section).
      const double other = sounding ? -in : 0.0;
      double l1 = in, r1 = other, l2 = in, r2 = other;
      skipping.Process(l1, r1);
      full.Process(l2, r2);
      ASSERT_EQ(std::memcmp(&l1, &l2, sizeof l1), 0) << feedback << " sample " << i;
      ASSERT_EQ(std::memcmp(&r1, &r2, sizeof r1), 0) << feedback << " sample " << i;
    }
    EXPECT_EQ(rested, feedback == 0.0) << feedback;
    EXPECT_TRUE(woke) << feedback;
  }
}
