// Pitch of rendered notes through the whole instrument, against the pitch function and the
// oscillator's phase increments.

#include <gtest/gtest.h>

#include "engine/OscillatorTables.h"
#include "engine/PitchFunction.h"
#include "EngineHarness.h"

using namespace engine_test;
using namespace param;

namespace {

// The frequency an oscillator at integer pitch p really plays: its phase increment per sample.
double PlayedFrequency(int pitch, double rate) {
  return OscillatorTables::ForRate(rate)->Increment(pitch) * rate / OscillatorTables::kPhaseCycle;
}

double NoteFrequency(Harness& h, int note, double rate, int seconds = 1) {
  h.NoteOn(0, note);
  const Stereo out = h.Render(static_cast<int>(rate) * seconds);
  return MeasureFrequency(out.left, rate, 2000);
}

}  // namespace

TEST(InstrumentPitch, SineAtNote69IsConcertA) {
  for (double rate : {44100.0, 48000.0}) {
    Harness h(rate);
    h.PlainSine();
    const double f = NoteFrequency(h, 69, rate);
    EXPECT_NEAR(f, 440.0, 0.1) << rate;
    EXPECT_NEAR(f, PlayedFrequency(8832, rate), 0.002) << rate;
  }
}

TEST(InstrumentPitch, PitchBendFollowsItsRange) {
  Harness h;
  h.PlainSine();
  h.Set(kPitchBendRange, 12);
  h.Midi(0, 0xE0, 127, 127);  // full up: 8191 / 8192
  EXPECT_NEAR(NoteFrequency(h, 69, 44100.0), PlayedFrequency(8832 + static_cast<int>(1536.0 * 8191 / 8192), 44100.0), 0.01);
  h.Midi(0, 0xE0, 0, 0);  // full down
  h.Set(kPitchBendRange, -5);  // a negative range turns the wheel around
  const Stereo out = h.Render(44100);
  EXPECT_NEAR(MeasureFrequency(out.left, 44100.0, 2000), PlayedFrequency(8832 + 5 * 128, 44100.0), 0.01);
  h.Midi(0, 0xE0, 0, 64);  // centre
  h.Render(100);
  EXPECT_NEAR(MeasureFrequency(h.Render(44100).left, 44100.0, 2000), PlayedFrequency(8832, 44100.0), 0.01);
}

TEST(InstrumentPitch, OctaveSemitoneAndFineTuning) {
  Harness h;
  h.PlainSine();
  h.Set(kOctave1, 2);   // 4': one octave up
  h.Set(kPitch1, -7);
  h.Set(kTune1, 0.5);   // 32 pitch units
  const int expected = 8832 + 1536 - 7 * 128 + 32;
  EXPECT_NEAR(NoteFrequency(h, 69, 44100.0), PlayedFrequency(expected, 44100.0), 0.01);
  h.Set(kOctave1, 0);  // 16': one octave down
  h.Set(kPitch1, 3.9);  // the integer part
  h.Set(kTune1, -0.99);
  h.Set(kMasterTune, 0.5);  // 64 pitch units on every voice
  const Stereo out = h.Render(44100);
  EXPECT_NEAR(MeasureFrequency(out.left, 44100.0, 2000),
              PlayedFrequency(8832 - 1536 + 3 * 128 - 63 + 64, 44100.0), 0.01);
}

TEST(InstrumentPitch, FrequencyModulationBySemitones) {
  Harness h;
  h.PlainSine();
  h.Set(kFrequencyMod1Amount, 0.5);  // 0.25 * 6145 pitch units
  h.Set(kFrequencyMod1Source, 1);    // ON
  EXPECT_NEAR(NoteFrequency(h, 57, 44100.0), PlayedFrequency(57 * 128 + 1536, 44100.0), 0.01);
}
