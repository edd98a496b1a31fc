#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "engine/Tarvolin.h"
#include "shell/TextFormat.h"

namespace {

class Table : public ::testing::Test {
 protected:
  Tarvolin plug{nullptr};

  Parameter& P(int i) { return *plug.GetParam(i); }
  std::string Show(int index, double value) {
    char text[kParameterTextSize];
    P(index).GetDisplay(value, false, true, text, sizeof text);
    return text;
  }
};

std::string Format(void (*f)(double, char*, std::size_t), double v) {
  char text[32];
  f(v, text, sizeof text);
  return text;
}

}  // namespace

TEST_F(Table, DisplayFormatters) {
  EXPECT_EQ(Show(param::kVolume, 0.0), "-oo");
  EXPECT_EQ(Show(param::kVolume, 0.5), "-6.0");
  EXPECT_EQ(Show(param::kLevelOsc2, 2.0), "6.0");
  EXPECT_EQ(Show(param::kLevelNoise, 1.0), "0.0");
  const char* cutoff[] = {"8", "57", "403", "2836", "19912"};
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(Show(param::kFilterCutoff, i * 0.25), cutoff[i]);
  EXPECT_EQ(Show(param::kFrequencyMod1Amount, 1.0), "48.00");
  EXPECT_EQ(Show(param::kFrequencyMod3Amount, -0.5), "-12.00");
  EXPECT_EQ(Show(param::kPitch1, -12.0), "-12");
  EXPECT_EQ(Show(param::kPitch2, 0.0), "+0");
  EXPECT_EQ(Show(param::kPitch3, 7.0), "+7");
  EXPECT_EQ(Show(param::kPitch3, 7.9), "+7");
  EXPECT_EQ(Show(param::kMasterTune, -1.0), "-100");
  EXPECT_EQ(Show(param::kTune1, 0.25), "25");
  EXPECT_EQ(Show(param::kPanOsc1, 0.0), "100:0");
  EXPECT_EQ(Show(param::kPanNoise, 0.5), "50:50");
  EXPECT_EQ(Show(param::kChorusMix, 1.0), "0:100");
  // Formatters are pure functions of the value.
  EXPECT_EQ(Format(FormatDecibels, -1.0), "-oo");
  EXPECT_EQ(Format(FormatDecibels, NAN), "-oo");
  EXPECT_EQ(Format(FormatCutoffHertz, 2.0), "19912");
  EXPECT_EQ(Format(FormatCutoffHertz, -1.0), "0");
  EXPECT_EQ(Format(FormatBalance, 0.333), "67:33");
  char tiny[4];
  FormatBalance(0.5, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "50:");
}

TEST_F(Table, DefaultDisplays) {
  EXPECT_EQ(plug.GetParam(param::kUnisonDetune)->DisplayPrecision(), 2);
  EXPECT_EQ(Show(param::kUnisonDetune, 0.1), "0.10");
  EXPECT_EQ(Show(param::kStartPhase1, 90.0), "90");
  EXPECT_EQ(Show(param::kWaveTable1, 65531.0), "65531");
  EXPECT_EQ(Show(param::kPitchBendRange, -12.0), "-12");
  EXPECT_EQ(Show(param::kNumberOfVoices, 6.0), "64");
  EXPECT_EQ(Show(param::kMg1SyncRate, 9.0), "1/4");
  EXPECT_EQ(Show(param::kVibratoModSource, 20.0), "EG 2");
  EXPECT_EQ(Show(param::kHardSync3, 2.0), "Osc 2");
  EXPECT_EQ(Show(param::kLinearFm3Modulator, 0.0), "Osc 2");
  EXPECT_EQ(Show(param::kMg2Waveform, 5.0), "Sample/Hold");
  EXPECT_EQ(Show(param::kOctave2, 0.0), "16'");
}

TEST_F(Table, RowsMatchTheStoredFormat) {
  // A sample of rows across the table: position, range, default, step, shape and kind.
  struct Row {
    int index;
    const char* name;
    ParameterKind kind;
    double min, max, def, step, shape;
  };
  const Row rows[] = {
      {0, "Volume", ParameterKind::Double, 0, 1, 0.5, 0.01, 1},
      {7, "Pitch Bend", ParameterKind::Int, -12, 12, 2, 1, 1},
      {8, "Portamento", ParameterKind::Double, 0, 1, 0, 0.01, 2},
      {11, "Wave Table 1", ParameterKind::Int, 0, 65535, 0, 1, 1},
      {19, "AM Osc 3", ParameterKind::Double, 0, 1, 0, 0.01, 1},
      {25, "Frequency Mod 1", ParameterKind::Double, -1, 1, 0, 0.005, 1},
      {35, "Restart Mode 2", ParameterKind::Enum, 0, 1, 0, 1, 1},
      {36, "Start Phase 2", ParameterKind::Double, 0, 360, 0, 1, 1},
      {50, "Wave Table 3", ParameterKind::Int, 0, 65535, 0, 1, 1},
      {59, "Linear FM 3", ParameterKind::Enum, 0, 1, 0, 1, 1},
      {72, "Level Noise", ParameterKind::Double, 0, 2, 0, 0.01, 1},
      {78, "Filter Cutoff", ParameterKind::Double, 0, 1, 1, 0.001, 0.5},
      {89, "Chorus Speed", ParameterKind::Double, 0.01, 25, 0.3, 0.01, 4},
      {95, "Filter EG Mod", ParameterKind::Enum, 0, 20, 1, 1, 1},
      {105, "Amp EG Sustain", ParameterKind::Double, 0, 1, 1, 0.01, 1},
      {121, "MG 1 Frequency", ParameterKind::Double, 0.01, 100, 0.3, 0.01, 4},
      {124, "MG 1 Sync Rate", ParameterKind::Enum, 0, 19, 9, 1, 1},
      {133, "Vibrato Frequency", ParameterKind::Double, 0.01, 100, 5.8, 0.01, 4},
      {136, "Vibrato Mod", ParameterKind::Double, -1, 1, 0.1, 0.01, 1},
      {137, "Vibrato Mod", ParameterKind::Enum, 0, 20, 8, 1, 1},
      {138, "reserved", ParameterKind::Int, 0, 1, 0, 1, 1},
      {152, "reserved", ParameterKind::Int, 0, 1, 0, 1, 1},
  };
  for (const Row& r : rows) {
    const Parameter& p = P(r.index);
    EXPECT_STREQ(p.Name(), r.name) << r.index;
    EXPECT_EQ(p.Kind(), r.kind) << r.index;
    EXPECT_EQ(p.Min(), r.min) << r.index;
    EXPECT_EQ(p.Max(), r.max) << r.index;
    EXPECT_EQ(p.Default(), r.def) << r.index;
    EXPECT_EQ(p.Step(), r.step) << r.index;
    EXPECT_EQ(p.Shape(), r.shape) << r.index;
  }
}

TEST_F(Table, EveryParameterIsInitialisedOnceWithValidValues) {
  ASSERT_TRUE(plug.RecallProgram(63));  // the factory "Init" program
  std::set<std::string> names;
  int formatted = 0;
  for (int i = 0; i < param::kCount; ++i) {
    const Parameter& p = P(i);
    EXPECT_NE(p.Kind(), ParameterKind::None) << i;
    EXPECT_GT(std::strlen(p.Name()), 0u) << i;
    EXPECT_STREQ(p.Label(), "") << i;
    EXPECT_STREQ(p.Group(), "") << i;
    EXPECT_GE(p.Max(), p.Min() + p.Step()) << i;
    EXPECT_GE(p.Default(), p.Min()) << i;
    EXPECT_LE(p.Default(), p.Max()) << i;
    EXPECT_EQ(p.Value(), p.Default()) << i;  // "Init" holds every default
    if (p.Kind() == ParameterKind::Enum) {
      ASSERT_EQ(static_cast<double>(p.DisplayTexts().size()), p.Max() + 1) << i;
      for (std::size_t k = 0; k < p.DisplayTexts().size(); ++k) EXPECT_EQ(p.DisplayTexts()[k].value, static_cast<int>(k));
    }
    if (p.HasDisplayFormatter()) ++formatted;
    names.insert(p.Name());
  }
  EXPECT_EQ(formatted, 5 + 3 + 1 + 4 + 3 + 5);  // dB, FM, Hz, percent, semitones, balance
  EXPECT_EQ(P(param::kVolume).Value(), 0.5);
}

TEST_F(Table, EveryTextFitsTheBoundsGivenToHosts) {
  const LabelList* lists[] = {&labels::kVoices,  &labels::kOffOn,  &labels::kWaveMode,
                              &labels::kRestart, &labels::kOctave, &labels::kSync2,
                              &labels::kSync3,   &labels::kFm2,    &labels::kFm3,
                              &labels::kFilterType, &labels::kTrigger, &labels::kMgWave,
                              &labels::kSyncRate, &labels::kSource};
  for (const LabelList* list : lists) {
    for (int i = 0; i < list->count; ++i) EXPECT_LE(std::strlen(list->labels[i]), kMaxParamTextChars);
  }
  EXPECT_EQ(labels::kSource.count, 21);
  EXPECT_EQ(labels::kSyncRate.count, 20);
  for (int i = 0; i < param::kCount; ++i) {
    EXPECT_LE(std::strlen(P(i).Name()), kMaxParamTextChars) << i;
    for (int step = 0; step <= 1000; ++step) {
      char text[kParameterTextSize];
      P(i).GetDisplay(step / 1000.0, true, true, text, sizeof text);
      // The displays are short; none comes near the host bound.
      EXPECT_LE(std::strlen(text), 11u) << i << " at " << step;
    }
  }
  EXPECT_LE(std::strlen(Tarvolin::Identity().effectName), kMaxEffectNameChars);
  EXPECT_LE(std::strlen(Tarvolin::Identity().vendorName), kMaxVendorTextChars);
  EXPECT_LE(std::strlen("user preset 64"), kMaxProgramNameChars);
}
