#include <gtest/gtest.h>

#include <cmath>

#include "engine/ExpEG.h"
#include "engine/LinearEG.h"

namespace {

// Nominal stage time in seconds of the exponential envelope for knob value x.
double NominalSeconds(double x) { return 1.0 / (std::pow(5.0, 3.3 - 7.5 * x) + 0.05); }

// Samples until the envelope leaves the given stage (the sample that leaves it counted).
template <typename Envelope>
long SamplesInStage(Envelope& eg, int stage, long limit = 100000000) {
  long n = 0;
  while (eg.Stage() == stage && n < limit) {
    eg.Process();
    ++n;
  }
  return n;
}

}  // namespace

TEST(ExpEG, AttackAndReleaseTimesFollowTheKnobCurveAtAnyRate) {
  for (double rate : {44100.0, 96000.0}) {
    for (double x : {0.0, 0.25, 0.5}) {
      ExpEG eg;
      eg.SetSampleRate(rate);
      eg.SetAttack(x);
      eg.SetRelease(x);
      eg.SetSustain(1.0);
      eg.NoteOn();
      const double attack = SamplesInStage(eg, ExpEG::kAttack) / rate;
      EXPECT_NEAR(attack, NominalSeconds(x), 0.02 * NominalSeconds(x)) << rate << " " << x;
      EXPECT_EQ(eg.Output(), 1.0);
      eg.NoteOff();
      const double release = SamplesInStage(eg, ExpEG::kRelease) / rate;
      EXPECT_NEAR(release, NominalSeconds(x), 0.02 * NominalSeconds(x)) << rate << " " << x;
      EXPECT_EQ(eg.Output(), 0.0);
      EXPECT_FALSE(eg.IsActive());
    }
  }
  EXPECT_NEAR(NominalSeconds(0.0), 0.0049, 0.0001);
  EXPECT_NEAR(NominalSeconds(0.75), 13.6, 0.1);
}

TEST(ExpEG, FastestAttackTakesAbout217SamplesThenDecaysToSustain) {
  ExpEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetDecay(0.25);
  eg.SetSustain(0.3);
  eg.NoteOn();
  const long attack = SamplesInStage(eg, ExpEG::kAttack);
  EXPECT_NEAR(attack, 217, 2);
  double previous = eg.Output();
  for (int i = 0; i < 44100; ++i) {
    eg.Process();
    ASSERT_LE(eg.Output(), previous);
    ASSERT_GE(eg.Output(), 0.3);  // approaches the sustain level without overshooting
    previous = eg.Output();
  }
  EXPECT_NEAR(eg.Output(), 0.3, 1e-6);
  EXPECT_EQ(eg.Stage(), ExpEG::kDecaySustain);
  // A sustain change while sustaining moves the target at once.
  eg.SetSustain(0.6);
  for (int i = 0; i < 44100; ++i) eg.Process();
  EXPECT_NEAR(eg.Output(), 0.6, 1e-6);
}

TEST(ExpEG, NoteOffAtZeroIdlesAndSingleTriggerIgnoresHeldRetriggers) {
  ExpEG eg;
  eg.SetSampleRate(44100.0);
  eg.Reset();
  eg.NoteOff();
  EXPECT_FALSE(eg.IsActive());
  EXPECT_EQ(eg.Output(), 0.0);

  eg.SetTriggerMode(true);
  eg.SetSustain(0.5);
  eg.SetDecay(0.1);
  eg.SetRelease(0.5);
  eg.NoteOn();
  for (int i = 0; i < 5000; ++i) eg.Process();
  ASSERT_EQ(eg.Stage(), ExpEG::kDecaySustain);
  const double held = eg.Output();
  eg.NoteOn();  // ignored while held
  EXPECT_EQ(eg.Stage(), ExpEG::kDecaySustain);
  eg.Process();
  EXPECT_LE(eg.Output(), held);
  eg.NoteOff();
  for (int i = 0; i < 2000; ++i) eg.Process();
  const double releasing = eg.Output();
  eg.NoteOn();  // during release: a new attack from the current level
  EXPECT_EQ(eg.Stage(), ExpEG::kAttack);
  EXPECT_EQ(eg.Output(), releasing);
  eg.Process();
  EXPECT_GT(eg.Output(), releasing);

  // Multiple trigger restarts the attack from wherever it is, also while held.
  ExpEG multi;
  multi.SetSampleRate(44100.0);
  multi.SetSustain(0.5);
  multi.NoteOn();
  for (int i = 0; i < 3000; ++i) multi.Process();
  const double level = multi.Output();
  multi.NoteOn();
  EXPECT_EQ(multi.Stage(), ExpEG::kAttack);
  EXPECT_EQ(multi.Output(), level);
}

TEST(ExpEG, TimeChangesApplyToTheRunningStage) {
  ExpEG slow, changed;
  for (ExpEG* eg : {&slow, &changed}) {
    eg->SetSampleRate(48000.0);
    eg->SetAttack(0.75);
    eg->NoteOn();
    for (int i = 0; i < 100; ++i) eg->Process();
  }
  changed.SetAttack(0.0);
  EXPECT_DOUBLE_EQ(changed.CurrentCoefficient(), changed.Coefficient(0.0));
  changed.SetDecay(0.9);  // not in its stage: stored only
  EXPECT_DOUBLE_EQ(changed.CurrentCoefficient(), changed.Coefficient(0.0));
  const long rest = SamplesInStage(changed, ExpEG::kAttack);
  EXPECT_LT(rest, 300);
  EXPECT_GT(SamplesInStage(slow, ExpEG::kAttack, 1000), 999);
  EXPECT_DOUBLE_EQ(changed.CurrentCoefficient(), changed.Coefficient(0.9));
}

TEST(ExpEG, WithSustainZeroStaysActiveUntilTheLevelLeavesTheNormalRange) {
  ExpEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetSustain(0.0);
  eg.NoteOn();
  SamplesInStage(eg, ExpEG::kAttack);
  // Each sample keeps a fixed fraction of the level, so it never gets to zero by itself; the
  // envelope ends when the level drops out of the normal range instead of lingering as a subnormal.
  const double c = eg.CurrentCoefficient();
  const long expected = static_cast<long>(std::log(2.2250738585072014e-308) / std::log(1.0 - c));
  const long n = SamplesInStage(eg, ExpEG::kDecaySustain);
  EXPECT_NEAR(n, expected, expected * 0.001);
  EXPECT_FALSE(eg.IsActive());
  EXPECT_EQ(eg.Output(), 0.0);
}

TEST(LinearEG, SegmentsLastTenTimesTheirValueInSeconds) {
  const double rate = 44100.0;
  LinearEG eg;
  eg.SetSampleRate(rate);
  // Squared knob values 0.1, 0.2, 0.3: segments of 0.1 s, 0.4 s and 0.9 s.
  eg.SetAttack(0.01);
  eg.SetDecay(0.04);
  eg.SetSustain(0.5);
  eg.SetRelease(0.09);
  eg.NoteOn();
  EXPECT_NEAR(SamplesInStage(eg, LinearEG::kAttack), 0.1 * rate, 2);
  EXPECT_EQ(eg.Output(), 1.0);
  EXPECT_NEAR(SamplesInStage(eg, LinearEG::kDecay), 0.4 * rate, 2);
  EXPECT_EQ(eg.Output(), 0.5);
  for (int i = 0; i < 1000; ++i) eg.Process();
  EXPECT_EQ(eg.Stage(), LinearEG::kSustain);
  EXPECT_EQ(eg.Output(), 0.5);
  eg.NoteOff();
  EXPECT_NEAR(SamplesInStage(eg, LinearEG::kRelease), 0.9 * rate, 2);
  EXPECT_EQ(eg.Output(), 0.0);
  EXPECT_FALSE(eg.IsActive());
}

TEST(LinearEG, ReleaseStartsFromTheCurrentLevel) {
  LinearEG eg;
  eg.SetSampleRate(48000.0);
  eg.SetAttack(0.01);  // 4800 samples
  eg.SetRelease(0.01);
  eg.NoteOn();
  for (int i = 0; i < 2400; ++i) eg.Process();
  EXPECT_NEAR(eg.Output(), 0.5, 1e-9);
  eg.NoteOff();
  EXPECT_NEAR(eg.Step(), -0.5 / 4800.0, 1e-15);
  EXPECT_NEAR(SamplesInStage(eg, LinearEG::kRelease), 4800, 1);
}

TEST(LinearEG, ZeroLengthSegmentsAndFullSustain) {
  LinearEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetSustain(1.0);
  eg.SetDecay(0.5);
  eg.NoteOn();
  // Zero attack: a step of 1; the output must exceed 1 to end the attack.
  eg.Process();
  EXPECT_EQ(eg.Output(), 1.0);
  EXPECT_EQ(eg.Stage(), LinearEG::kAttack);
  eg.Process();
  EXPECT_EQ(eg.Stage(), LinearEG::kDecay);
  eg.Process();  // with sustain 1 the decay ends on the next sample
  EXPECT_EQ(eg.Stage(), LinearEG::kSustain);
  eg.NoteOff();  // zero release: gone in one sample
  eg.Process();
  EXPECT_FALSE(eg.IsActive());
}

TEST(LinearEG, ReleaseChangeReslopesFromTheSustainLevel) {
  LinearEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetSustain(0.4);
  eg.SetRelease(0.01);
  eg.NoteOn();
  for (int i = 0; i < 10; ++i) eg.Process();
  ASSERT_EQ(eg.Stage(), LinearEG::kSustain);
  eg.NoteOff();
  for (int i = 0; i < 100; ++i) eg.Process();
  eg.SetRelease(0.04);  // 17640 samples
  EXPECT_NEAR(eg.Step(), -0.4 / 17640.0, 1e-15);
  // With sustain 0 a sustain-based slope would be flat and never end; it then slopes from the
  // current level instead.
  eg.SetSustain(0.0);
  const double level = eg.Output();
  eg.SetRelease(0.01);
  EXPECT_NEAR(eg.Step(), -level / 4410.0, 1e-15);
  EXPECT_NEAR(SamplesInStage(eg, LinearEG::kRelease), 4410, 1);
}

TEST(LinearEG, SingleTriggerIgnoresNoteOnUntilRelease) {
  LinearEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetTriggerMode(true);
  eg.SetAttack(0.01);
  eg.SetSustain(0.7);
  eg.SetRelease(0.01);
  eg.NoteOn();
  for (int i = 0; i < 100; ++i) eg.Process();
  const double level = eg.Output();
  eg.NoteOn();
  eg.Process();
  EXPECT_GT(eg.Output(), level);  // the attack goes on undisturbed
  EXPECT_NEAR(eg.Output() - level, 1.0 / 4410.0, 1e-12);
  for (int i = 0; i < 10000; ++i) eg.Process();
  eg.NoteOff();
  for (int i = 0; i < 100; ++i) eg.Process();
  const double releasing = eg.Output();
  eg.NoteOn();
  EXPECT_EQ(eg.Stage(), LinearEG::kAttack);
  EXPECT_EQ(eg.Output(), releasing);
}

TEST(EG, BaseDoesNothingAndEnvelopesStartIdle) {
  EG base;
  base.NoteOn();
  base.Process();
  EXPECT_FALSE(base.IsActive());
  base.SetTriggerMode(true);
  EXPECT_TRUE(base.SingleTrigger());
  ExpEG e;
  LinearEG l;
  EXPECT_DOUBLE_EQ(e.RateFactor(), 0.002302585092994046);
  EXPECT_DOUBLE_EQ(l.RateFactor(), 10000.0);
  EXPECT_FALSE(e.IsActive());
  EXPECT_FALSE(l.IsActive());
  // Through the base interface, as a voice's envelope list would call them.
  EG* envelopes[] = {&e, &l};
  for (EG* eg : envelopes) {
    eg->SetSampleRate(44100.0);
    eg->SetSustain(1.0);
    eg->NoteOn();
    for (int i = 0; i < 100000; ++i) eg->Process();
    EXPECT_EQ(eg->Output(), 1.0);
    eg->Reset();
    EXPECT_FALSE(eg->IsActive());
    EXPECT_EQ(eg->Output(), 0.0);
  }
}
