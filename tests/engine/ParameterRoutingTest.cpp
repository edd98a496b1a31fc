// Parameter changes reach the instrument-wide state or every one of the 64 voices.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "EngineHarness.h"
#include "engine/NoiseSource.h"
#include "support/TestPaths.h"

using namespace engine_test;
using namespace param;

TEST(ParameterRouting, VoicesBeyondTheVoiceCountFollowEveryChange) {
  Harness h;
  h.Set(kNumberOfVoices, 0);  // one voice in use
  h.Set(kFilterType, 2);
  h.Set(kPanOsc2, 0.75);
  h.Set(kLinEg1Attack, 0.5);
  for (int i : {1, 30, 63}) {
    const Voice& v = h.plug->GetVoice(i);
    EXPECT_EQ(v.Filter().Type(), VoiceFilter::kHighpass24) << i;
    EXPECT_EQ(v.PanLeft(1), 0.5) << i;
    EXPECT_EQ(v.PanRight(1), 1.0) << i;
    EXPECT_EQ(v.Env(Voice::kLinEg1).Attack(), 0.25) << i;  // the linear envelopes take the square
  }
}

TEST(ParameterRouting, ReservedParametersChangeNothing) {
  const auto render = [](bool touch) {
    NoiseSource::Sequence().SetState(1);
    Harness h;
    h.Set(kLevelNoise, 0.5);
    h.Set(kNumberOfVoices, 3);
    h.NoteOn(0, 60);
    h.NoteOn(100, 67);
    Stereo out = h.Render(3000);
    if (touch) {
      for (int i = kFirstReserved; i < kCount; ++i) h.plug->SetParameterFromEditor(i, 1.0);
    }
    out.Append(h.Render(3000));
    return out;
  };
  const Stereo plain = render(false);
  const Stereo touched = render(true);
  ASSERT_EQ(plain.size(), touched.size());
  EXPECT_EQ(std::memcmp(plain.left.data(), touched.left.data(), plain.size() * sizeof(double)), 0);
}

TEST(ParameterRouting, ValuesSentAgainChangeNothing) {
  // Hosts send current values again; so may a controller or the editor. Whatever the way, a value
  // that leaves the plain value as it is cuts no note, clears no chorus and is not reported.
  const auto render = [](bool again, int* reports) {
    NoiseSource::Sequence().SetState(1);
    Harness h;
    Tarvolin& plug = *h.plug;
    h.Set(kNumberOfVoices, 3);  // 8 voices
    h.Set(kChorusOn, 1);
    h.Set(kChorusMix, 0.5);
    plug.SetControllerMapping(20, kNumberOfVoices);
    h.NoteOn(0, 60);
    h.NoteOn(0, 64);
    Stereo out = h.Render(3000);
    h.transport.automations = 0;
    if (again) {
      plug.SetParameterFromHost(kNumberOfVoices, plug.GetParam(kNumberOfVoices)->GetNormalised() + 0.04);
      plug.SetParameterFromHost(kUnisonMode, 0.3);
      plug.SetParameterFromHost(kChorusOn, 1.0);
      EXPECT_TRUE(plug.SetParameterFromText(kNumberOfVoices, "8"));
      plug.SetParameterFromEditor(kChorusOn, 0.9);
      plug.SetParameterFromEditor(kWaveTable1, plug.GetParam(kWaveTable1)->GetNormalised());
      for (int i = 0; i < 2; ++i) plug.ApplyController(MidiMessage{0, 0xB0, 20, 64});  // 3.02: index 3
    }
    *reports = h.transport.automations;
    out.Append(h.Render(3000));
    return out;
  };
  int quietReports = -1;
  int againReports = -1;
  const Stereo quiet = render(false, &quietReports);
  const Stereo again = render(true, &againReports);
  ASSERT_EQ(quiet.size(), again.size());
  EXPECT_EQ(std::memcmp(quiet.left.data(), again.left.data(), quiet.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(quiet.right.data(), again.right.data(), quiet.size() * sizeof(double)), 0);
  EXPECT_EQ(againReports, 0);

  // A real change acts as before.
  Harness h;
  h.Set(kNumberOfVoices, 3);
  h.NoteOn(0, 60);
  h.Render(500);
  ASSERT_TRUE(h.plug->GetVoice(0).Active());
  h.transport.automations = 0;
  h.plug->SetParameterFromHost(kNumberOfVoices, 0.0);
  EXPECT_FALSE(h.plug->GetVoice(0).Active());
  EXPECT_EQ(h.plug->VoiceCount(), 1);
  h.plug->SetParameterFromEditor(kChorusOn, 1.0);
  EXPECT_TRUE(h.plug->ChorusOn());
  EXPECT_EQ(h.transport.automations, 1);

  // Selecting a user slot again after a new file went into it changes nothing; the import itself
  // rebuilds every table that plays the slot.
  const WaveTable& table = h.plug->WaveTables().Table(1);
  ASSERT_TRUE(h.plug->LoadUserWaveTable(2, TestDataPath("waves/syx/JUNO.SYX")));
  h.Set(kWaveTable2, WaveTableStore::kFirstSlotIdentifier + 2);
  const std::vector<std::int16_t> juno(table.Level(0), table.Level(0) + 2048);
  h.plug->SetParameterFromEditor(kWaveTable2, h.plug->GetParam(kWaveTable2)->GetNormalised());
  ASSERT_TRUE(h.plug->LoadUserWaveTable(2, TestDataPath("waves/syx/BIRD-W.SYX")));
  EXPECT_EQ(h.plug->WaveTables().Slot(2).Name(), "BIRD-W.SYX");
  EXPECT_NE(std::memcmp(juno.data(), table.Level(0), sizeof(std::int16_t) * 2048), 0);
  EXPECT_FALSE(h.plug->LoadUserWaveTable(2, "/nonexistent/gone.syx"));
  EXPECT_EQ(h.plug->WaveTables().Slot(2).Name(), "BIRD-W.SYX");
}

TEST(ParameterRouting, InstrumentWideValues) {
  Harness h;
  h.Set(kVolume, 0.8);
  h.Set(kNumberOfVoices, 4);
  h.Set(kChorusOn, 1);
  h.Set(kChorusMix, 0.5);
  h.Set(kMg1Frequency, 100.0);
  h.Set(kMg2Frequency, 0.01);
  h.Set(kVibratoFrequency, 0.3);
  EXPECT_EQ(h.plug->Volume(), 0.8);
  EXPECT_EQ(h.plug->VoiceCount(), 16);
  EXPECT_EQ(h.plug->UnisonGain(), 0.25);
  EXPECT_TRUE(h.plug->ChorusOn());
  EXPECT_NEAR(h.plug->GetChorus().DryGain(), std::sqrt(0.5), 1e-15);
  EXPECT_EQ(h.plug->Generator(0).Period(), 10);
  EXPECT_EQ(h.plug->Generator(1).Period(), 100000);
  EXPECT_EQ(h.plug->Generator(2).Period(), 3333);
}

TEST(ParameterRouting, InitCurrentProgram) {
  Harness h;
  Tarvolin& plug = *h.plug;
  h.Set(kFilterCutoff, 0.2);
  h.Set(kNumberOfVoices, 5);
  plug.Tuning().SelectTuning(4);
  plug.InitCurrentProgram();
  EXPECT_EQ(plug.GetParam(kFilterCutoff)->Value(), 1.0);
  EXPECT_EQ(plug.VoiceCount(), 1);
  EXPECT_EQ(plug.Tuning().Selection(), 0);
  EXPECT_EQ(plug.ProgramName(plug.CurrentProgram()), "Init");
  for (int j = 0; j < WaveTableStore::kSlotCount; ++j) EXPECT_TRUE(plug.WaveTables().Slot(j).Empty());
}

TEST(ParameterRouting, NotePitchFromTheActiveTuning) {
  Harness h;
  EXPECT_EQ(h.plug->GetNotePitch(60), 7680);
  EXPECT_EQ(h.plug->GetNotePitch(128), 0);
  EXPECT_EQ(h.plug->GetNotePitch(-1), 0);
  h.plug->Tuning().SelectTuning(2);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(h.plug->GetNotePitch(n), h.plug->Tuning().NotePitch(n));
}
