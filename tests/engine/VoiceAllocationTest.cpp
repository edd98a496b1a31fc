// Which voice plays a note: poly allocation and stealing, mono and unison playing with the return to
// a held key, unison detune and spread, X-Mode cycling, the sustain pedal.

#include <gtest/gtest.h>

#include <cmath>

#include "EngineHarness.h"

using namespace engine_test;
using namespace param;

namespace {

// Number of Voices by count (1, 2, 4 ... 64).
void Voices(Harness& h, int count) { h.Set(kNumberOfVoices, std::log2(count)); }

int VoiceOf(const Tarvolin& plug, int note) {
  for (int i = 0; i < plug.VoiceCount(); ++i) {
    if (plug.GetVoice(i).Active() && plug.GetVoice(i).Note() == note) return i;
  }
  return -1;
}

}  // namespace

TEST(VoiceAllocation, PolyStealsTheEarliestNote) {
  Harness h;
  Voices(h, 4);
  h.Set(kAmpEgSustain, 1.0);
  const int notes[] = {60, 62, 64, 65};
  for (int k = 0; k < 4; ++k) h.NoteOn(k * 10, notes[k]);
  h.Render(100);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(VoiceOf(*h.plug, notes[k]), k);
  h.NoteOn(0, 67);
  h.Render(10);
  EXPECT_EQ(VoiceOf(*h.plug, 67), 0);  // the voice of 60, the earliest note
  EXPECT_EQ(VoiceOf(*h.plug, 60), -1);
  const std::int32_t stamp = h.plug->GetVoice(1).Stamp();
  h.NoteOn(0, 62);  // replaying a sounding note retriggers its own voice
  h.Render(10);
  EXPECT_EQ(VoiceOf(*h.plug, 62), 1);
  EXPECT_GT(h.plug->GetVoice(1).Stamp(), stamp);
  // A released voice that still sounds is preferred for its own note, then idle voices are taken.
  h.NoteOff(0, 64);
  h.NoteOn(5, 64);
  h.Render(10);
  EXPECT_EQ(VoiceOf(*h.plug, 64), 2);
  // A note-off for a note nobody plays changes nothing.
  h.NoteOff(0, 90);
  h.Render(10);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(h.plug->GetVoice(i).Gate()) << i;
}

TEST(VoiceAllocation, MonoReturnsToTheHighestHeldKeyWithoutANewAttack) {
  Harness h;
  Voices(h, 1);
  h.Set(kPortamento, 0.5);  // 0.25 s
  h.Set(kAmpEgTrigger, 1);  // single trigger: a held envelope ignores new notes
  h.Set(kAmpEgSustain, 0.7);
  h.Set(kAmpEgDecay, 0.0);
  const Voice& v = h.plug->GetVoice(0);
  h.NoteOn(0, 60);
  h.Render(2000);
  h.NoteOn(0, 64);
  h.NoteOn(0, 62);
  h.Render(2000);
  EXPECT_EQ(v.Note(), 62);
  EXPECT_EQ(v.Env(Voice::kAmpEg).Stage(), ExpEG::kDecaySustain);
  h.NoteOff(0, 62);  // back to 64, the highest key still held
  h.Render(44);
  EXPECT_EQ(v.Note(), 64);
  EXPECT_EQ(v.TargetPitch(), 64 * 128);
  EXPECT_GT(v.GlideTicksLeft(), 200);  // gliding back, the gate still on
  EXPECT_TRUE(v.Gate());
  EXPECT_EQ(v.Env(Voice::kAmpEg).Stage(), ExpEG::kDecaySustain);
  h.NoteOff(0, 60);  // not the sounding note: nothing happens
  h.Render(44);
  EXPECT_EQ(v.Note(), 64);
  EXPECT_TRUE(v.Gate());
  h.NoteOff(0, 64);  // the last key: release
  h.Render(44);
  EXPECT_FALSE(v.Gate());
  EXPECT_EQ(v.Env(Voice::kAmpEg).Stage(), ExpEG::kRelease);
}

TEST(VoiceAllocation, UnisonDetuneAndSpread) {
  Harness h;
  Voices(h, 8);
  h.Set(kUnisonMode, 1);
  h.Set(kUnisonDetune, 0.5);  // 64 pitch units
  h.Set(kUnisonSpread, 1.0);
  h.Set(kMasterTune, 0.25);  // 32 pitch units
  const Tarvolin& plug = *h.plug;
  for (int i = 0; i < 8; ++i) {
    EXPECT_NEAR(plug.GetVoice(i).UnisonOffset(), 32.0 - 64.0 + 128.0 * i / 7.0, 1e-9) << i;
  }
  EXPECT_EQ(plug.GetVoice(0).UnisonLeft(), 1.0);
  EXPECT_NEAR(plug.GetVoice(0).UnisonRight(), 0.0, 1e-7);
  EXPECT_NEAR(plug.GetVoice(7).UnisonLeft(), 0.0, 1e-7);
  EXPECT_EQ(plug.GetVoice(7).UnisonRight(), 1.0);
  EXPECT_NEAR(plug.GetVoice(2).UnisonRight(), std::sqrt(1.0 - 3.0 / 7.0), 1e-12);
  // Every note plays on all eight voices; the voices beyond them are untouched.
  h.NoteOn(0, 60);
  h.Render(100);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(plug.GetVoice(i).Active()) << i;
  EXPECT_FALSE(plug.GetVoice(8).Active());
  // Without unison every voice is at master tune and centred.
  h.Set(kUnisonMode, 0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(plug.GetVoice(i).UnisonOffset(), 32.0);
    EXPECT_EQ(plug.GetVoice(i).UnisonLeft(), 1.0);
    EXPECT_EQ(plug.GetVoice(i).UnisonRight(), 1.0);
  }
  EXPECT_FALSE(plug.GetVoice(0).Active());  // switching unison stops the voices at once
}

TEST(VoiceAllocation, UnisonGainKeepsTheLevel) {
  // Sixteen identical voices sum to 16 times one voice and are scaled by 1 / sqrt(16).
  const auto peak = [](int voices) {
    Harness h;
    h.PlainSine();
    Voices(h, voices);
    h.Set(kUnisonMode, 1);
    h.Set(kUnisonDetune, 0.0);
    h.Set(kUnisonSpread, 0.0);
    h.NoteOn(0, 69);
    return Peak(h.Render(4410).left, 2000);
  };
  EXPECT_NEAR(peak(16) / peak(1), 4.0, 1e-6);
}

TEST(VoiceAllocation, XModeCyclesOverTheOscillatorsThatAreOn) {
  Harness h;
  Voices(h, 8);
  h.Set(kXMode, 1);
  h.Set(kOsc2On, 0);
  std::vector<int> used;
  for (int k = 0; k < 4; ++k) {
    h.NoteOn(0, 60 + k);
    h.Render(10);
    used.push_back(h.plug->GetVoice(VoiceOf(*h.plug, 60 + k)).XModeIndex());
  }
  EXPECT_EQ(used, (std::vector<int>{0, 2, 0, 2}));
  // Switching X-Mode on again starts over at oscillator 1.
  h.Set(kXMode, 0);
  h.Set(kXMode, 1);
  h.NoteOn(0, 70);
  h.Render(10);
  EXPECT_EQ(h.plug->GetVoice(VoiceOf(*h.plug, 70)).XModeIndex(), 0);
}

TEST(VoiceAllocation, XModeSoundsOnlyTheChosenOscillator) {
  Harness h;
  h.Set(kWaveTable1, 4);  // sines an octave apart
  h.Set(kWaveTable3, 4);
  h.Set(kOctave3, 2);
  h.Set(kOsc2On, 0);
  h.Set(kXMode, 1);
  h.NoteOn(0, 57);  // oscillator 1: 220 Hz
  const Stereo first = h.Render(22050);
  EXPECT_NEAR(MeasureFrequency(first.left, 44100.0, 2000), 220.0, 0.1);
  h.NoteOn(0, 57);  // oscillator 3: 440 Hz
  const Stereo second = h.Render(22050);
  EXPECT_NEAR(MeasureFrequency(second.left, 44100.0, 2000), 440.0, 0.1);
}

TEST(VoiceAllocation, SustainPedalHoldsReleasedNotes) {
  Harness h;
  Voices(h, 4);
  h.Set(kAmpEgSustain, 1.0);
  h.Midi(0, 0xB0, 64, 1);  // any value above 0 holds
  h.NoteOn(1, 60);
  h.NoteOff(20, 60);
  h.Render(1000);  // past the attack (about 217 samples)
  const Voice& v = h.plug->GetVoice(0);
  EXPECT_FALSE(v.Gate());
  EXPECT_TRUE(v.Sustained());
  EXPECT_EQ(v.Env(Voice::kAmpEg).Stage(), ExpEG::kDecaySustain);
  EXPECT_TRUE(h.plug->SustainPedal());
  h.Midi(0, 0xB0, 64, 0);
  h.Render(10);
  EXPECT_FALSE(v.Sustained());
  EXPECT_EQ(v.Env(Voice::kAmpEg).Stage(), ExpEG::kRelease);
  // A key still held when the pedal goes up keeps sounding.
  h.Midi(0, 0xB0, 64, 127);
  h.NoteOn(0, 62);
  h.Render(1000);
  h.Midi(0, 0xB0, 64, 0);
  h.Render(10);
  EXPECT_TRUE(h.plug->GetVoice(VoiceOf(*h.plug, 62)).Gate());
  EXPECT_EQ(h.plug->GetVoice(VoiceOf(*h.plug, 62)).Env(Voice::kAmpEg).Stage(), ExpEG::kDecaySustain);
}

TEST(VoiceAllocation, AllNotesOffReleasesAndVoiceCountChangesStopAtOnce) {
  Harness h;
  Voices(h, 8);
  h.Set(kAmpEgSustain, 1.0);
  h.Set(kAmpEgRelease, 0.5);
  h.Midi(0, 0xB0, 64, 127);
  for (int k = 0; k < 3; ++k) h.NoteOn(0, 60 + k);
  h.Render(100);
  h.Midi(0, 0xB0, 123, 0);
  EXPECT_FALSE(h.plug->SustainPedal());
  EXPECT_TRUE(h.plug->HeldNotes().Empty());
  h.Render(10);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(h.plug->GetVoice(k).Active());  // fading out with the release
    EXPECT_EQ(h.plug->GetVoice(k).Env(Voice::kAmpEg).Stage(), ExpEG::kRelease);
  }
  Voices(h, 16);
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(h.plug->GetVoice(k).Active());
  // What was sounding fades out over about 2 ms instead of being cut, then nothing is heard.
  const Stereo after = h.Render(200);
  EXPECT_GT(Peak(after.left, 0, 10), 0.0);
  EXPECT_EQ(Peak(after.left, 90), 0.0);
}

TEST(VoiceAllocation, PolyAftertouchReachesTheVoiceOfItsNote) {
  Harness h;
  Voices(h, 4);
  h.Set(kAmpEgSustain, 1.0);
  h.NoteOn(0, 60);
  h.NoteOn(0, 64);
  h.Render(50);
  h.Midi(0, 0xA0, 64, 127);
  h.Render(50);
  EXPECT_EQ(h.plug->GetVoice(VoiceOf(*h.plug, 64)).PolyAftertouch(), 1.0);
  EXPECT_EQ(h.plug->GetVoice(VoiceOf(*h.plug, 60)).PolyAftertouch(), 0.0);
  h.Midi(0, 0xD0, 127, 0);
  h.Midi(0, 0xB0, 1, 127);
  h.Midi(0, 0xE0, 127, 127);
  h.Render(50);
  EXPECT_EQ(h.plug->ChannelAftertouch(), 1.0);
  EXPECT_EQ(h.plug->ModWheel(), 1.0);
  EXPECT_EQ(h.plug->PitchBend(), 8191.0 / 8192.0);
}

TEST(VoiceAllocation, CopyOscillatorSettings) {
  Harness h;
  Tarvolin& plug = *h.plug;
  h.Set(kWaveTable2, 9);
  h.Set(kWaveShape2, 0.3);
  h.Set(kStartPhase2, 90);
  h.Set(kRestartMode2, 1);
  h.Set(kPitch2, -5);
  h.Set(kAmplitudeMod2Source, 11);
  h.Set(kHardSync2, 2);
  h.Set(kLinearFm2Depth, 0.4);
  h.Set(kAmByOsc2, 0.6);
  plug.CopyOscillatorSettings(1, 0);
  EXPECT_EQ(plug.GetParam(kWaveTable1)->Value(), 9);
  EXPECT_EQ(plug.GetParam(kWaveShape1)->Value(), 0.3);
  EXPECT_EQ(plug.GetParam(kStartPhase1)->Value(), 90);
  EXPECT_EQ(plug.GetParam(kRestartMode1)->Value(), 1);
  EXPECT_EQ(plug.GetParam(kPitch1)->Value(), -5);
  EXPECT_EQ(plug.GetParam(kAmplitudeMod1Source)->Value(), 11);
  EXPECT_EQ(plug.GetParam(kAmByOsc2)->Value(), 0.6);  // oscillator 1's AM stays
  EXPECT_EQ(plug.GetParam(kHardSync2)->Value(), 2);    // and oscillator 2 keeps its own
  // Between 2 and 3 the sync and linear-FM block goes along, as normalised values.
  plug.CopyOscillatorSettings(1, 2);
  EXPECT_EQ(plug.GetParam(kHardSync3)->Value(), 2);
  EXPECT_EQ(plug.GetParam(kLinearFm3Depth)->Value(), 0.4);
  EXPECT_EQ(plug.GetParam(kWaveTable3)->Value(), 9);
}
