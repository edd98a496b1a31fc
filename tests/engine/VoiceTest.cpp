// One voice through the whole instrument: glide and legato, envelope times, the mixer, the
// amplifier and the filter's response.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "EngineHarness.h"

using namespace engine_test;
using namespace param;

namespace {

// Samples until the envelope e of voice 0 leaves stage `stage`, rendering one sample at a time.
int SamplesIn(Harness& h, int e, int stage, int limit) {
  int n = 0;
  while (h.plug->GetVoice(0).Env(e).Stage() == stage && n < limit) {
    h.Render(1);
    ++n;
  }
  return n;
}

// The exponential stage length of a knob value x, in seconds.
double ExpSeconds(double x) { return 1.0 / (std::pow(5.0, 3.3 - 7.5 * x) + 0.05); }

// RMS of a steady sine note at note after the filter, relative to the same note unfiltered.
double Response(int note, double cutoff, int type, double resonance) {
  const auto level = [&](double c) {
    Harness h;
    h.PlainSine();
    h.Set(kFilterType, type);
    h.Set(kFilterCutoff, c);
    h.Set(kFilterResonance, resonance);
    h.NoteOn(0, note);
    return Rms(h.Render(22050).left, 11025);
  };
  return level(cutoff) / level(type == 2 ? 0.0 : 1.0);
}

}  // namespace

TEST(Voice, GlideTakesItsTimeInControlTicks) {
  Harness h(44100.0, 44);
  h.Set(kPortamento, 0.25);  // seconds
  h.NoteOn(0, 48);          // from pitch 6144 (the first note glides from note 48 too)
  h.Render(44);
  h.NoteOn(0, 60);  // to 7680
  h.Render(44);     // the note-on's own tick does not move
  const Voice& v = h.plug->GetVoice(0);
  EXPECT_EQ(v.GlideTicksLeft(), 250);
  EXPECT_DOUBLE_EQ(v.GlideStep(), 6.144);
  for (int tick = 1; tick < 250; ++tick) {
    h.Render(44);
    ASSERT_NEAR(v.CurrentPitch(), 6144.0 + 6.144 * tick, 1e-6) << tick;
  }
  h.Render(44);
  EXPECT_EQ(v.CurrentPitch(), 7680.0);
  EXPECT_EQ(v.GlideTicksLeft(), 0);
}

TEST(Voice, ANoteStartsOnTheWaveItsShapeSelects) {
  // The first note after set-up, and a note after the shape changed while the voice was idle (as
  // a program change does), read the selected wave from their first sample on.
  Harness h;
  h.Set(kWaveTable1, 18);  // "Frequency Up", many waves
  h.plug->FinishWaveTables();
  h.Set(kWaveShape1, 1.0);
  h.Set(kAmpEgRelease, 0.0);
  const Oscillator& osc = h.plug->GetVoice(0).Osc(0);
  const int last = h.plug->WaveTables().Table(0).WaveCount() - 1;
  ASSERT_GT(last, 1);
  h.NoteOn(0, 78);
  h.Render(1);
  EXPECT_EQ(osc.Wave(), last);
  h.NoteOff(0, 78);
  h.Render(4000);
  ASSERT_FALSE(h.plug->GetVoice(0).Active());
  h.Set(kWaveShape1, 0.0);
  h.NoteOn(0, 78);
  h.Render(1);
  EXPECT_EQ(osc.Wave(), 0);
}

TEST(Voice, LegatoGlidesOnlyBetweenHeldKeys) {
  Harness h;
  h.Set(kPortamento, 0.25);
  h.Set(kPortamentoLegato, 1);
  h.Set(kRestartMode1, 1);
  h.Set(kStartPhase1, 90);
  const Voice& v = h.plug->GetVoice(0);
  h.NoteOn(0, 60);  // no key held: no glide, the oscillator restarts
  h.Render(1);
  EXPECT_EQ(v.CurrentPitch(), 7680.0);
  EXPECT_EQ(v.Osc(0).Phase(), (1 << 25) + v.Osc(0).Increment());
  h.Render(1000);
  h.NoteOn(0, 72);  // key 60 still held: glide, and no restart
  h.Render(1);
  EXPECT_EQ(v.CurrentPitch(), 7680.0);
  EXPECT_EQ(v.GlideTicksLeft(), 250);
  EXPECT_NE(v.Osc(0).Phase(), (1 << 25) + v.Osc(0).Increment());
}

TEST(Voice, ExponentialStagesLastAsTheirKnobsSay) {
  for (double x : {0.0, 0.2, 0.3}) {
    Harness h;
    h.Set(kAmpEgAttack, x);
    h.Set(kAmpEgSustain, 1.0);
    h.Set(kAmpEgRelease, x);
    h.NoteOn(0, 60);
    h.Render(1);
    const int attack = SamplesIn(h, Voice::kAmpEg, ExpEG::kAttack, 200000) + 1;
    EXPECT_NEAR(attack / 44100.0, ExpSeconds(x), ExpSeconds(x) * 0.01 + 2.0 / 44100) << x;
    h.NoteOff(0, 60);
    h.Render(1);
    // The release ends where the output reaches 0 from 1: as long as the attack.
    const int release = SamplesIn(h, Voice::kAmpEg, ExpEG::kRelease, 200000) + 1;
    EXPECT_NEAR(release / 44100.0, ExpSeconds(x), ExpSeconds(x) * 0.01 + 2.0 / 44100) << x;
    // The voice goes idle at the first control tick after its amp envelope ends.
    h.Render(44);
    EXPECT_FALSE(h.plug->GetVoice(0).Active());
  }
  // At 0 the attack takes about 217 samples at 44.1 kHz and 4.9 ms at any rate.
  Harness fast(96000.0);
  fast.NoteOn(0, 60);
  fast.Render(1);
  EXPECT_NEAR(SamplesIn(fast, Voice::kAmpEg, ExpEG::kAttack, 10000) + 1, 0.0049 * 96000.0, 6.0);
}

TEST(Voice, LinearStagesLastTenTimesTheSquaredKnob) {
  Harness h;
  h.Set(kLinEg1Attack, 0.1);  // 0.1 s
  h.Set(kLinEg1Decay, 0.2);   // 0.4 s, whatever the sustain level
  h.Set(kLinEg1Sustain, 0.5);
  h.Set(kAmpEgSustain, 1.0);
  h.NoteOn(0, 60);
  h.Render(1);
  EXPECT_NEAR(SamplesIn(h, Voice::kLinEg1, LinearEG::kAttack, 100000) + 1, 4410, 2);
  EXPECT_NEAR(SamplesIn(h, Voice::kLinEg1, LinearEG::kDecay, 100000), 0.4 * 44100, 2);
  EXPECT_EQ(h.plug->GetVoice(0).Env(Voice::kLinEg1).Output(), 0.5);
}

TEST(Voice, PanLevelsAndVelocity) {
  Harness h;
  h.PlainSine();
  h.Set(kPanOsc1, 0.25);  // left 1, right 0.5
  h.Set(kLevelOsc1, 1.0);  // half of full level
  h.Set(kAmpVelocity, 1.0);
  h.NoteOn(0, 69, 127);
  Stereo loud = h.Render(22050);
  EXPECT_NEAR(Peak(loud.right, 4000) / Peak(loud.left, 4000), 0.5, 1e-9);
  // Volume 0.5 (default), level 0.5, the sine's peak 1: 0.25 on the left.
  EXPECT_NEAR(Peak(loud.left, 4000), 0.25, 0.002);
  h.NoteOn(0, 69, 32);  // full velocity sensitivity: a quarter of the level
  const Stereo soft = h.Render(22050);
  EXPECT_NEAR(Peak(soft.left, 4000) / Peak(loud.left, 4000), 32.0 / 127.0, 0.003);
}

TEST(Voice, AmplifierModulationCanSilence) {
  for (const auto& [amount, source] : std::vector<std::pair<double, int>>{{-1.0, 1}, {1.0, 8}}) {
    Harness h;
    h.PlainSine();
    h.Set(kAmpAmAmount, amount);
    h.Set(kAmpAmSource, source);  // ON at 1, or the mod wheel at 0
    h.NoteOn(0, 69);
    EXPECT_EQ(Peak(h.Render(4410).left), 0.0) << amount;
  }
}

TEST(Voice, FilterResponse) {
  // Lowpass 24 at note 69's cutoff (cutoff pitch 8832 = 440 Hz, normalised sqrt(8832 / 17281)).
  const double at440 = std::sqrt(8832.0 / 17281.0);
  EXPECT_GT(Response(45, at440, 0, 0.0), 0.8);               // two octaves below: passes
  EXPECT_NEAR(Response(69, at440, 0, 0.0), 0.25, 0.08);      // four stages of -3 dB at the cutoff
  EXPECT_LT(Response(93, at440, 0, 0.0), 0.01);              // two octaves above: about -48 dB
  EXPECT_LT(Response(81, at440, 0, 0.0), Response(81, at440, 1, 0.0));  // Lowpass 12 is gentler
  EXPECT_GT(Response(81, at440, 1, 0.0), 0.05);
  // Highpass 24 is the mirror image.
  EXPECT_LT(Response(45, at440, 2, 0.0), 0.01);
  EXPECT_GT(Response(93, at440, 2, 0.0), 0.8);
  // Resonance lifts the cutoff above the pass band.
  EXPECT_GT(Response(69, at440, 0, 0.9), 2.0 * Response(57, at440, 0, 0.9));
  // The output gain peaks at resonance 0.5 and makes up for the feedback's loss in the pass band.
  Harness h;
  h.Set(kFilterResonance, 0.5);
  h.NoteOn(0, 60);
  h.Render(10);
  EXPECT_EQ(h.plug->GetVoice(0).Filter().OutputGain(), 2.0);
  EXPECT_NEAR(h.plug->GetVoice(0).Filter().Feedback(), 0.5 * 4.005, 1e-12);
}

TEST(Voice, FilterEnvelopeOpensTheFilter) {
  Harness h;
  h.Set(kWaveTable1, 0);  // a saw, rich in harmonics
  h.Set(kOsc2On, 0);
  h.Set(kOsc3On, 0);
  h.Set(kFilterCutoff, 0.3);
  h.Set(kFilterEgIntensity, 0.8);
  h.Set(kFilterEgDecay, 0.3);
  h.Set(kAmpEgSustain, 1.0);
  h.NoteOn(0, 48);
  const Stereo out = h.Render(44100);
  // Brighter (more high-frequency energy: larger sample-to-sample differences) at first than later.
  const auto roughness = [&](std::size_t from) {
    double d = 0.0;
    for (std::size_t i = from + 1; i < from + 2000; ++i) d += std::fabs(out.left[i] - out.left[i - 1]);
    return d;
  };
  EXPECT_GT(roughness(500), 2.0 * roughness(40000));
}
