#include "engine/VoiceFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "engine/PitchFunction.h"

namespace {

using Complex = std::complex<double>;

// Small-signal response of the ladder at pitch p, from its structure: four bilinear one-poles with
// the feedback loop closed around them (the saturation is linear for small signals).
double ModelGain(int type, int pitch, double resonance, double rate, double f) {
  const double e = 2.0 * std::numbers::pi * PitchToFrequency(pitch) / rate;
  const double fc = PitchToFrequency(pitch);
  const double kmax = fc < 500.0 ? 4.1 : (fc > 2000.0 ? 4.005 : 4.1 - (fc - 500.0) * 0.095 / 1500.0);
  const double k = (type == 1 ? resonance * 0.985 : resonance) * kmax;
  const double gain = 2.0 - std::pow(2.0 * std::abs(resonance - 0.5), 2.0);
  const Complex zi = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);  // z^-1
  const double b = (e - 2.0) / (e + 2.0);
  const Complex stage = type == 2 ? (2.0 / (e + 2.0)) * (1.0 - zi) / (1.0 + b * zi)
                                  : (e / (e + 2.0)) * (1.0 + zi) / (1.0 + b * zi);
  const Complex h4 = stage * stage * stage * stage;
  const Complex loop = 1.0 / (1.0 + k * h4);
  const Complex out = type == 1 ? stage * stage * loop : h4 * loop;
  return std::abs(out) * gain;
}

// Measured steady-state gain for a small sine of frequency f (the left channel; the right one is
// fed the same and must agree).
double MeasuredGain(VoiceFilter filter, double rate, double f, int modulation = 0) {
  const int n = static_cast<int>(rate / 2);
  const double w = 2.0 * std::numbers::pi * f / rate;
  const double amplitude = 1e-3;
  double re = 0.0, im = 0.0;
  int channelMismatches = 0;
  for (int i = 0; i < 3 * n; ++i) {
    double l = amplitude * std::sin(w * i), r = l;
    filter.Process(l, r, modulation);
    channelMismatches += l != r;
    if (i >= 2 * n) {
      re += l * std::cos(w * i);
      im += l * std::sin(w * i);
    }
  }
  EXPECT_EQ(channelMismatches, 0);
  return 2.0 * std::hypot(re, im) / n / amplitude;
}

VoiceFilter Make(int type, int cutoff, double resonance, double rate) {
  VoiceFilter filter;
  filter.SetSampleRate(rate);
  filter.SetType(type);
  filter.SetCutoff(cutoff, false);
  filter.SetResonance(resonance);
  return filter;
}

double Db(double g) { return 20.0 * std::log10(g); }

}  // namespace

TEST(VoiceFilter, FrequencyResponseOfEachTypeMatchesTheLadder) {
  const double rate = 44100.0;
  const int cutoff = 72 * 128;  // note 72, 523 Hz
  for (int type : {0, 1, 2}) {
    for (double resonance : {0.0, 0.3}) {
      const VoiceFilter filter = Make(type, cutoff, resonance, rate);
      for (double f : {50.0, 200.0, 400.0, 523.0, 700.0, 1000.0, 2000.0, 5000.0}) {
        const double model = ModelGain(type, cutoff, resonance, rate, f);
        EXPECT_NEAR(Db(MeasuredGain(filter, rate, f)), Db(model), 0.05)
            << "type " << type << " resonance " << resonance << " at " << f << " Hz";
      }
    }
  }
  // The shapes themselves: 24 dB per octave far above (Lowpass 24), 12 dB (Lowpass 12), and 24 dB
  // per octave far below (Highpass 24).
  const VoiceFilter lp24 = Make(0, cutoff, 0.0, rate);
  EXPECT_NEAR(Db(MeasuredGain(lp24, rate, 4000.0)) - Db(MeasuredGain(lp24, rate, 8000.0)), 24.0, 3.0);
  const VoiceFilter lp12 = Make(1, cutoff, 0.0, rate);
  EXPECT_NEAR(Db(MeasuredGain(lp12, rate, 4000.0)) - Db(MeasuredGain(lp12, rate, 8000.0)), 12.0, 2.0);
  const VoiceFilter hp24 = Make(2, cutoff, 0.0, rate);
  EXPECT_NEAR(Db(MeasuredGain(hp24, rate, 120.0)) - Db(MeasuredGain(hp24, rate, 60.0)), 24.0, 1.0);
  EXPECT_NEAR(MeasuredGain(lp24, rate, 30.0), 1.0, 0.01);
  EXPECT_NEAR(MeasuredGain(hp24, rate, 15000.0), 1.0, 0.02);
}

TEST(VoiceFilter, ResonanceRaisesAPeakNearTheCutoff) {
  const double rate = 48000.0;
  const int cutoff = 84 * 128;  // 1046.5 Hz
  const VoiceFilter filter = Make(0, cutoff, 0.8, rate);
  double peakGain = 0.0, peakFrequency = 0.0;
  for (double f = 600.0; f <= 1400.0; f += 10.0) {
    const double g = MeasuredGain(filter, rate, f);
    if (g > peakGain) {
      peakGain = g;
      peakFrequency = f;
    }
  }
  double modelPeak = 0.0;
  for (double f = 600.0; f <= 1400.0; f += 10.0) {
    modelPeak = std::max(modelPeak, ModelGain(0, cutoff, 0.8, rate, f));
  }
  EXPECT_NEAR(Db(peakGain), Db(modelPeak), 0.1);
  EXPECT_NEAR(peakFrequency, 1000.0, 60.0);
  EXPECT_GT(Db(peakGain) - Db(MeasuredGain(filter, rate, 50.0)), 10.0);
  // Resonance 0.5 doubles the output: the passband sits at 2 / (1 + k).
  const VoiceFilter half = Make(0, 69 * 128, 0.5, 44100.0);
  EXPECT_NEAR(MeasuredGain(half, 44100.0, 20.0), 2.0 / (1.0 + 0.5 * 4.1), 0.002);
}

TEST(VoiceFilter, FullResonanceFeedbackFollowsTheCutoff) {
  VoiceFilter lp24 = Make(0, 40 * 128, 1.0, 44100.0);  // 82 Hz
  VoiceFilter lp12 = Make(1, 40 * 128, 1.0, 44100.0);
  double l = 0.0, r = 0.0;
  lp24.Process(l, r, 0);
  lp12.Process(l, r, 0);
  EXPECT_DOUBLE_EQ(lp24.Feedback(), 4.1);
  EXPECT_DOUBLE_EQ(lp12.Feedback(), 4.0385);
  EXPECT_DOUBLE_EQ(lp24.OutputGain(), 1.0);
  lp24.Process(l, r, 100 * 128 - 40 * 128);  // 2637 Hz
  EXPECT_DOUBLE_EQ(lp24.Feedback(), 4.005);
  // Full resonance rings on by itself, bounded by the saturation.
  VoiceFilter ring = Make(0, 69 * 128, 1.0, 44100.0);
  double peak = 0.0;
  for (int i = 0; i < 44100; ++i) {
    double a = i == 0 ? 0.5 : 0.0, b = a;
    ring.Process(a, b, 0);
    if (i > 40000) peak = std::max(peak, std::abs(a));
  }
  EXPECT_GT(peak, 0.5);
  EXPECT_LT(peak, 30.0);
}

TEST(VoiceFilter, CutoffSlewsOneUnitPerSampleWhileTheVoiceSounds) {
  VoiceFilter filter = Make(0, 10000, 0.0, 44100.0);
  filter.SetCutoff(12000.0, true);
  int samples = 0;
  while (filter.CurrentCutoff() != 12000 && samples < 5000) {
    double l = 0.0, r = 0.0;
    filter.Process(l, r, 0);
    ++samples;
  }
  EXPECT_EQ(samples, 2000);
  filter.SetCutoff(11000.5, true);
  for (int i = 0; i < 999; ++i) {
    double l = 0.0, r = 0.0;
    filter.Process(l, r, 0);
  }
  EXPECT_EQ(filter.CurrentCutoff(), 11001);
  double l = 0.0, r = 0.0;
  filter.Process(l, r, 0);
  filter.Process(l, r, 0);
  EXPECT_EQ(filter.CurrentCutoff(), 11000);  // stops at the target
  filter.SetCutoff(3000.0, false);           // no note sounding: at once
  EXPECT_EQ(filter.CurrentCutoff(), 3000);
}

TEST(VoiceFilter, ModulationBeyondTheTablesHoldsTheEndEntries) {
  VoiceFilter low = Make(0, 0, 0.4, 44100.0);
  VoiceFilter below = Make(0, 200, 0.4, 44100.0);
  VoiceFilter high = Make(2, kPitchLimit, 0.4, 44100.0);
  VoiceFilter above = Make(2, 17000, 0.4, 44100.0);
  for (int i = 0; i < 5000; ++i) {
    const double x = std::sin(i * 0.05) * 0.3;
    double a = x, b = x, c = x, d = x;
    low.Process(a, b, 0);
    below.Process(c, d, -100000);
    ASSERT_EQ(a, c);
    double e = x, f = x, g = x, h = x;
    high.Process(e, f, 0);
    above.Process(g, h, 2000000000);
    ASSERT_EQ(e, g);
  }
}

TEST(VoiceFilter, TypeChangeResetsTheStateAndKeepsTheCutoff) {
  VoiceFilter changed = Make(0, 9000, 0.2, 44100.0);
  for (int i = 0; i < 1000; ++i) {
    double l = std::sin(i * 0.1), r = l;
    changed.Process(l, r, 0);
  }
  changed.SetType(2.4);  // rounds to Highpass 24
  EXPECT_EQ(changed.Type(), VoiceFilter::kHighpass24);
  EXPECT_EQ(changed.CurrentCutoff(), 9000);
  VoiceFilter fresh = Make(2, 9000, 0.2, 44100.0);
  for (int i = 0; i < 200; ++i) {
    double a = std::cos(i * 0.2), b = a, c = a, d = a;
    changed.Process(a, b, 0);
    fresh.Process(c, d, 0);
    ASSERT_NEAR(a, c, 1e-12) << i;  // the same filter from the same seeded state
  }
  changed.SetType(2.0);  // no change: no reset
  changed.SetType(7.0);  // beyond the list: the last type
  EXPECT_EQ(changed.Type(), VoiceFilter::kHighpass24);
}

TEST(VoiceFilter, NaNIsDroppedAndSilenceStaysOutOfTheSubnormalRange) {
  VoiceFilter filter = Make(1, 8000, 0.9, 96000.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double l = nan, r = 0.5;
  filter.Process(l, r, 0);
  EXPECT_TRUE(std::isfinite(l));
  EXPECT_TRUE(std::isfinite(r));
  for (int i = 0; i < 2000000; ++i) {
    double a = 0.0, b = 0.0;
    filter.Process(a, b, 0);
    ASSERT_NE(std::fpclassify(a), FP_SUBNORMAL) << i;
    ASSERT_TRUE(std::isfinite(a));
  }
}

TEST(VoiceFilter, EachSampleRateUsesItsOwnCoefficients) {
  // Two instances at different rates side by side: each filter's response fits its own rate.
  const int cutoff = 90 * 128;
  const VoiceFilter a = Make(0, cutoff, 0.3, 44100.0);
  const VoiceFilter b = Make(0, cutoff, 0.3, 96000.0);
  EXPECT_NEAR(Db(MeasuredGain(a, 44100.0, 1480.0)), Db(ModelGain(0, cutoff, 0.3, 44100.0, 1480.0)), 0.05);
  EXPECT_NEAR(Db(MeasuredGain(b, 96000.0, 1480.0)), Db(ModelGain(0, cutoff, 0.3, 96000.0, 1480.0)), 0.05);
  // Rate changes reset the base cutoff to 0 until the next cutoff setting.
  VoiceFilter c = a;
  c.SetSampleRate(48000.0);
  EXPECT_EQ(c.CurrentCutoff(), 0);
}

TEST(VoiceFilter, ChannelsAreFilteredIndependentlyWithSharedCoefficients) {
  for (int type : {0, 1, 2}) {
    VoiceFilter stereo = Make(type, 9500, 0.95, 44100.0);
    VoiceFilter leftOnly = stereo;
    VoiceFilter rightOnly = stereo;
    for (int i = 0; i < 20000; ++i) {
      const double a = 2.0 * std::sin(i * 0.031), b = (i % 300 < 150) ? 1.5 : -1.5;  // driven hard
      const int m = (i * 13) % 900 - 450;
      double l = a, r = b;
      stereo.Process(l, r, m);
      double l1 = a, r1 = a;
      leftOnly.Process(l1, r1, m);
      double l2 = b, r2 = b;
      rightOnly.Process(l2, r2, m);
      ASSERT_EQ(l, l1) << type << " " << i;
      ASSERT_EQ(r, r2) << type << " " << i;
      ASSERT_EQ(l1, r1);
    }
  }
}
