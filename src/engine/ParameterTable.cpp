#include "engine/ParameterTable.h"

#include <cmath>
#include <string>
#include <string_view>

#include "engine/NumericConversion.h"
#include "engine/PitchFunction.h"
#include "shell/IPlugBase.h"
#include "shell/TextFormat.h"

namespace labels {
namespace {
constexpr const char* kVoicesText[] = {"1", "2", "4", "8", "16", "32", "64"};
constexpr const char* kOffOnText[] = {"Off", "On"};
constexpr const char* kWaveModeText[] = {"Interpolate", "Raw"};
constexpr const char* kRestartText[] = {"Continuous", "Restarting"};
constexpr const char* kOctaveText[] = {"16'", "8'", "4'", "2'"};
constexpr const char* kSync2Text[] = {"Off", "Osc 1", "Osc 3"};
constexpr const char* kSync3Text[] = {"Off", "Osc 1", "Osc 2"};
constexpr const char* kFm2Text[] = {"Osc 1", "Osc 3"};
constexpr const char* kFm3Text[] = {"Osc 2", "Osc 1"};
constexpr const char* kFilterTypeText[] = {"Lowpass 24", "Lowpass 12", "Highpass 24"};
constexpr const char* kTriggerText[] = {"Multiple", "Single"};
constexpr const char* kMgWaveText[] = {"Sine", "Triangle", "Saw down", "Saw up", "Rectangle", "Sample/Hold"};
constexpr const char* kSyncRateText[] = {"4/1",  "2/1.",  "2/1",  "1/1.", "1/1",  "1/2.", "1/2",
                                         "1/4.", "1/2T",  "1/4",  "1/8.", "1/4T", "1/8",  "1/16.",
                                         "1/8T", "1/16",  "1/32.", "1/16T", "1/32", "1/64"};
constexpr const char* kSourceText[] = {"OFF",  "ON",   "MW",   "PB",   "Note", "MG1",  "MG2",
                                       "Vib",  "MW+",  "PB+",  "Note+", "Velo", "P-AT", "C-AT",
                                       "MG1+", "MG2+", "Vib+", "F-EG", "A-EG", "EG 1", "EG 2"};
template <std::size_t N>
constexpr LabelList List(const char* const (&texts)[N]) {
  return {texts, static_cast<int>(N)};
}
}  // namespace

const LabelList kVoices = List(kVoicesText);
const LabelList kOffOn = List(kOffOnText);
const LabelList kWaveMode = List(kWaveModeText);
const LabelList kRestart = List(kRestartText);
const LabelList kOctave = List(kOctaveText);
const LabelList kSync2 = List(kSync2Text);
const LabelList kSync3 = List(kSync3Text);
const LabelList kFm2 = List(kFm2Text);
const LabelList kFm3 = List(kFm3Text);
const LabelList kFilterType = List(kFilterTypeText);
const LabelList kTrigger = List(kTriggerText);
const LabelList kMgWave = List(kMgWaveText);
const LabelList kSyncRate = List(kSyncRateText);
const LabelList kSource = List(kSourceText);
}  // namespace labels

// ---- Display formatters ---------------------------------------------------------------------------

namespace {

// Joins two formatted parts with a separator into text.
void Join(std::string_view a, std::string_view separator, std::string_view b, char* text,
          std::size_t capacity) {
  if (text == nullptr || capacity == 0) return;
  std::string joined;
  joined.reserve(a.size() + separator.size() + b.size());
  joined.append(a).append(separator).append(b);
  CopyText(text, joined, capacity - 1);
}

}  // namespace

void FormatDecibels(double value, char* text, std::size_t capacity) {
  if (text == nullptr || capacity == 0) return;
  if (!(value > 0.0)) {
    CopyText(text, "-oo", capacity - 1);
    return;
  }
  FormatFixed(20.0 * std::log10(value), 1, text, capacity);
}

void FormatFmSemitones(double value, char* text, std::size_t capacity) {
  FormatFixed(48.0 * value * std::fabs(value), 2, text, capacity);
}

void FormatCutoffHertz(double value, char* text, std::size_t capacity) {
  const int pitch = TruncateToInt(std::floor(value * 17281.0 + 0.5));
  FormatInt(TruncateToInt(PitchToFrequency(pitch)), text, capacity);
}

void FormatPercent(double value, char* text, std::size_t capacity) {
  FormatFixed(100.0 * value, 0, text, capacity);
}

void FormatSignedSemitones(double value, char* text, std::size_t capacity) {
  char number[64];
  FormatFixed(std::floor(std::fabs(value)), 0, number, sizeof number);
  Join(value < 0.0 ? "-" : "+", "", number, text, capacity);
}

void FormatBalance(double value, char* text, std::size_t capacity) {
  char left[64];
  char right[64];
  FormatFixed(100.0 - 100.0 * value, 0, left, sizeof left);
  FormatFixed(100.0 * value, 0, right, sizeof right);
  Join(left, ":", right, text, capacity);
}

// ---- The table --------------------------------------------------------------------------------------

namespace {

enum class Kind { Double, Int, Enum };

struct Row {
  int index;
  const char* name;
  Kind kind;
  double min;
  double max;
  double defaultValue;
  double step;
  double shape;
  const LabelList* labels;
  DisplayFormatter formatter;
};

using namespace param;
using labels::kOffOn;
using labels::kSource;

constexpr Kind D = Kind::Double;
constexpr Kind I = Kind::Int;

Row Enum(int index, const char* name, const LabelList& list, int defaultValue) {
  return {index, name, Kind::Enum, 0, static_cast<double>(list.count - 1), static_cast<double>(defaultValue), 1, 1, &list, nullptr};
}

const Row kRows[] = {
    {kVolume, "Volume", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatDecibels},
    {kMasterTune, "Master Tune", D, -1, 1, 0, 0.01, 1, nullptr, FormatPercent},
    Enum(kNumberOfVoices, "Number of Voices", labels::kVoices, 0),
    Enum(kUnisonMode, "Unison Mode", kOffOn, 0),
    {kUnisonDetune, "Unison Detune", D, 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
    {kUnisonSpread, "Unison Spread", D, 0, 1, 0.5, 0.01, 1, nullptr, nullptr},
    Enum(kXMode, "X-Mode", kOffOn, 0),
    {kPitchBendRange, "Pitch Bend", I, -12, 12, 2, 1, 1, nullptr, nullptr},
    {kPortamento, "Portamento", D, 0, 1, 0, 0.01, 2, nullptr, nullptr},
    Enum(kPortamentoLegato, "Portamento Legato", kOffOn, 0),

    Enum(kOsc1On, "Osc 1 Off/On", kOffOn, 1),
    {kWaveTable1, "Wave Table 1", I, 0, 65535, 0, 1, 1, nullptr, nullptr},
    {kWaveShape1, "Wave Shape 1", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveMode1, "Wave Mode 1", labels::kWaveMode, 0),
    {kWaveShapeMod1Amount, "Wave Shape Mod 1", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveShapeMod1Source, "Wave Shape Mod 1", kSource, 0),
    {kStartPhase1, "Start Phase 1", D, 0, 360, 0, 1, 1, nullptr, nullptr},
    Enum(kRestartMode1, "Restart Mode 1", labels::kRestart, 0),
    {kAmByOsc2, "AM by Osc 2", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kAmByOsc3, "AM Osc 3", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kAmModAmount, "AM Mod", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kAmModSource, "AM Mod", kSource, 0),
    Enum(kOctave1, "Octave 1", labels::kOctave, 1),
    {kPitch1, "Pitch 1", D, -12, 12, 0, 1, 1, nullptr, FormatSignedSemitones},
    {kTune1, "Tune 1", D, -1, 1, 0, 0.01, 1, nullptr, FormatPercent},
    {kFrequencyMod1Amount, "Frequency Mod 1", D, -1, 1, 0, 0.005, 1, nullptr, FormatFmSemitones},
    Enum(kFrequencyMod1Source, "Frequency Mod 1", kSource, 0),
    {kAmplitudeMod1Amount, "Amplitude Mod 1", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kAmplitudeMod1Source, "Amplitude Mod 1", kSource, 0),

    Enum(kOsc2On, "Osc 2 Off/On", kOffOn, 1),
    {kWaveTable2, "Wave Table 2", I, 0, 65535, 0, 1, 1, nullptr, nullptr},
    {kWaveShape2, "Wave Shape 2", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveMode2, "Wave Mode 2", labels::kWaveMode, 0),
    {kWaveShapeMod2Amount, "Wave Shape Mod 2", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveShapeMod2Source, "Wave Shape Mod 2", kSource, 0),
    Enum(kRestartMode2, "Restart Mode 2", labels::kRestart, 0),
    {kStartPhase2, "Start Phase 2", D, 0, 360, 0, 1, 1, nullptr, nullptr},
    Enum(kHardSync2, "Hard Sync 2", labels::kSync2, 0),
    {kLinearFm2Depth, "Linear FM 2", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kLinearFm2Modulator, "Linear FM 2", labels::kFm2, 0),
    {kLinearFmMod2Amount, "Linear FM Mod 2", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kLinearFmMod2Source, "Linear FM Mod 2", kSource, 0),
    Enum(kOctave2, "Octave 2", labels::kOctave, 1),
    {kPitch2, "Pitch 2", D, -12, 12, 0, 1, 1, nullptr, FormatSignedSemitones},
    {kTune2, "Tune 2", D, -1, 1, 0, 0.01, 1, nullptr, FormatPercent},
    {kFrequencyMod2Amount, "Frequency Mod 2", D, -1, 1, 0, 0.005, 1, nullptr, FormatFmSemitones},
    Enum(kFrequencyMod2Source, "Frequency Mod 2", kSource, 0),
    {kAmplitudeMod2Amount, "Amplitude Mod 2", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kAmplitudeMod2Source, "Amplitude Mod 2", kSource, 0),

    Enum(kOsc3On, "Osc 3 Off/On", kOffOn, 1),
    {kWaveTable3, "Wave Table 3", I, 0, 65535, 0, 1, 1, nullptr, nullptr},
    {kWaveShape3, "Wave Shape 3", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveMode3, "Wave Mode 3", labels::kWaveMode, 0),
    {kWaveShapeMod3Amount, "Wave Shape Mod 3", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kWaveShapeMod3Source, "Wave Shape Mod 3", kSource, 0),
    Enum(kRestartMode3, "Restart Mode 3", labels::kRestart, 0),
    {kStartPhase3, "Start Phase 3", D, 0, 360, 0, 1, 1, nullptr, nullptr},
    Enum(kHardSync3, "Hard Sync 3", labels::kSync3, 0),
    {kLinearFm3Depth, "Linear FM 3", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kLinearFm3Modulator, "Linear FM 3", labels::kFm3, 0),
    {kLinearFmMod3Amount, "Linear FM Mod 3", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kLinearFmMod3Source, "Linear FM Mod 3", kSource, 0),
    Enum(kOctave3, "Octave 3", labels::kOctave, 1),
    {kPitch3, "Pitch 3", D, -12, 12, 0, 1, 1, nullptr, FormatSignedSemitones},
    {kTune3, "Tune 3", D, -1, 1, 0, 0.01, 1, nullptr, FormatPercent},
    {kFrequencyMod3Amount, "Frequency Mod 3", D, -1, 1, 0, 0.005, 1, nullptr, FormatFmSemitones},
    Enum(kFrequencyMod3Source, "Frequency Mod 3", kSource, 0),
    {kAmplitudeMod3Amount, "Amplitude Mod 3", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kAmplitudeMod3Source, "Amplitude Mod 3", kSource, 0),

    {kLevelOsc1, "Level Osc 1", D, 0, 2, 1, 0.01, 1, nullptr, FormatDecibels},
    {kLevelOsc2, "Level Osc 2", D, 0, 2, 1, 0.01, 1, nullptr, FormatDecibels},
    {kLevelOsc3, "Level Osc 3", D, 0, 2, 1, 0.01, 1, nullptr, FormatDecibels},
    {kLevelNoise, "Level Noise", D, 0, 2, 0, 0.01, 1, nullptr, FormatDecibels},
    {kPanOsc1, "Pan Osc 1", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatBalance},
    {kPanOsc2, "Pan Osc 2", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatBalance},
    {kPanOsc3, "Pan Osc 3", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatBalance},
    {kPanNoise, "Pan Noise", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatBalance},

    Enum(kFilterType, "Filter Type", labels::kFilterType, 0),
    {kFilterCutoff, "Filter Cutoff", D, 0, 1, 1, 0.001, 0.5, nullptr, FormatCutoffHertz},
    {kFilterResonance, "Filter Resonance", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterKeyTrack, "Filter Keyboard Track", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterEgIntensity, "Filter EG Intensity", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterCfmAmount, "Filter cFM", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kFilterCfmSource, "Filter cFM", kSource, 0),
    {kAmpVelocity, "Amp Velocity", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kAmpAmAmount, "Amp AM", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    Enum(kAmpAmSource, "Amp AM", kSource, 0),

    Enum(kChorusOn, "Chorus", kOffOn, 0),
    {kChorusDelay, "Chorus Delay", D, 0, 1, 0.5, 0.01, 1, nullptr, nullptr},
    {kChorusSpeed, "Chorus Speed", D, 0.01, 25, 0.3, 0.01, 4, nullptr, nullptr},
    {kChorusDepth, "Chorus Depth", D, 0, 1, 0.15, 0.01, 1, nullptr, nullptr},
    {kChorusFeedback, "Chorus Feedback", D, -1, 1, 0, 0.01, 1, nullptr, nullptr},
    {kChorusMix, "Chorus Mix", D, 0, 1, 0.5, 0.01, 1, nullptr, FormatBalance},

    Enum(kFilterEgTrigger, "Filter EG Trigger", labels::kTrigger, 0),
    {kFilterEgModAmount, "Filter EG Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kFilterEgModSource, "Filter EG Mod", kSource, 1),
    {kFilterEgAttack, "Filter EG Attack", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterEgDecay, "Filter EG Decay", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterEgSustain, "Filter EG Sustain", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kFilterEgRelease, "Filter EG Release", D, 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
    Enum(kAmpEgTrigger, "Amp EG Trigger", labels::kTrigger, 0),
    {kAmpEgModAmount, "Amp EG Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kAmpEgModSource, "Amp EG Mod", kSource, 1),
    {kAmpEgAttack, "Amp EG Attack", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kAmpEgDecay, "Amp EG Decay", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kAmpEgSustain, "Amp EG Sustain", D, 0, 1, 1, 0.01, 1, nullptr, nullptr},
    {kAmpEgRelease, "Amp EG Release", D, 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
    Enum(kLinEg1Trigger, "Lin EG 1 Trigger", labels::kTrigger, 0),
    {kLinEg1ModAmount, "Lin EG 1 Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kLinEg1ModSource, "Lin EG 1 Mod", kSource, 1),
    {kLinEg1Attack, "Lin EG 1 Attack", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg1Decay, "Lin EG 1 Decay", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg1Sustain, "Lin EG 1 Sustain", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg1Release, "Lin EG 1 Release", D, 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
    Enum(kLinEg2Trigger, "Lin EG 2 Trigger", labels::kTrigger, 0),
    {kLinEg2ModAmount, "Lin EG 2 Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kLinEg2ModSource, "Lin EG 2 Mod", kSource, 1),
    {kLinEg2Attack, "Lin EG 2 Attack", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg2Decay, "Lin EG 2 Decay", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg2Sustain, "Lin EG 2 Sustain", D, 0, 1, 0, 0.01, 1, nullptr, nullptr},
    {kLinEg2Release, "Lin EG 2 Release", D, 0, 1, 0.1, 0.01, 1, nullptr, nullptr},

    {kMg1Frequency, "MG 1 Frequency", D, 0.01, 100, 0.3, 0.01, 4, nullptr, nullptr},
    Enum(kMg1Waveform, "MG 1 Waveform", labels::kMgWave, 0),
    Enum(kMg1SyncToHost, "MG 1 Sync to Host", kOffOn, 0),
    Enum(kMg1SyncRate, "MG 1 Sync Rate", labels::kSyncRate, 9),
    {kMg1ModAmount, "MG 1 Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kMg1ModSource, "MG 1 Mod", kSource, 1),
    {kMg2Frequency, "MG 2 Frequency", D, 0.01, 100, 0.3, 0.01, 4, nullptr, nullptr},
    Enum(kMg2Waveform, "MG 2 Waveform", labels::kMgWave, 0),
    Enum(kMg2SyncToHost, "MG 2 Sync to Host", kOffOn, 0),
    Enum(kMg2SyncRate, "MG 2 Sync Rate", labels::kSyncRate, 9),
    {kMg2ModAmount, "MG 2 Mod", D, -1, 1, 1, 0.01, 1, nullptr, nullptr},
    Enum(kMg2ModSource, "MG 2 Mod", kSource, 1),
    {kVibratoFrequency, "Vibrato Frequency", D, 0.01, 100, 5.8, 0.01, 4, nullptr, nullptr},
    Enum(kVibratoSyncToHost, "Vibrato Sync to Host", kOffOn, 0),
    Enum(kVibratoSyncRate, "Vibrato Sync Rate", labels::kSyncRate, 9),
    {kVibratoModAmount, "Vibrato Mod", D, -1, 1, 0.1, 0.01, 1, nullptr, nullptr},
    Enum(kVibratoModSource, "Vibrato Mod", kSource, 8),
};

static_assert(sizeof(kRows) / sizeof(kRows[0]) == kFirstReserved);

}  // namespace

void CreateParameterTable(IPlugBase& plug) {
  for (const Row& row : kRows) {
    Parameter* p = plug.GetParam(row.index);
    if (p == nullptr) continue;
    switch (row.kind) {
      case Kind::Enum:
        p->InitEnum(row.name, static_cast<int>(row.defaultValue), row.labels->count, row.labels->labels);
        break;
      case Kind::Int:
        p->SetKindInt();
        p->InitDouble(row.name, row.defaultValue, row.min, row.max, row.step, row.shape);
        break;
      case Kind::Double:
        p->InitDouble(row.name, row.defaultValue, row.min, row.max, row.step, row.shape);
        break;
    }
    if (row.formatter != nullptr) p->SetDisplayFormatter(row.formatter);
  }
  for (int i = kFirstReserved; i < kCount; ++i) {
    Parameter* p = plug.GetParam(i);
    if (p == nullptr) continue;
    p->SetKindInt();
    p->InitDouble("reserved", 0, 0, 1, 1, 1);
  }
}

double EngineValue(int index, double v, double n) {
  using namespace param;
  const auto quadratic = [v](double k) { return v * std::fabs(v) * k; };
  const auto on = [n]() { return n >= 0.5 ? 1.0 : 0.0; };
  switch (index) {
    case kMasterTune:
      return v * 128.0;
    case kNumberOfVoices: {
      // 1, 2, 4 ... 64 by index.
      int i = static_cast<int>(std::lround(v));
      i = i < 0 ? 0 : (i > 6 ? 6 : i);
      return static_cast<double>(1 << i);
    }
    case kUnisonMode:
      return v >= 0.5 ? 1.0 : 0.0;
    case kUnisonDetune:
      return n * 128.0;
    case kUnisonSpread:
      return n;
    case kXMode:
    case kPortamentoLegato:
    case kOsc1On:
    case kOsc2On:
    case kOsc3On:
    case kRestartMode1:
    case kRestartMode2:
    case kRestartMode3:
    case kLinearFm2Modulator:
    case kLinearFm3Modulator:
    case kChorusOn:
    case kFilterEgTrigger:
    case kAmpEgTrigger:
    case kLinEg1Trigger:
    case kLinEg2Trigger:
    case kMg1SyncToHost:
    case kMg2SyncToHost:
    case kVibratoSyncToHost:
      return on();
    case kPitchBendRange:
      return v * 128.0;
    case kStartPhase1:
    case kStartPhase2:
    case kStartPhase3:
    case kLinearFm2Depth:
    case kLinearFm3Depth:
    case kLevelOsc1:
    case kLevelOsc2:
    case kLevelOsc3:
    case kLevelNoise:
    case kPanOsc1:
    case kPanOsc2:
    case kPanOsc3:
    case kPanNoise:
    case kFilterResonance:
      return n;
    case kOctave1:
    case kOctave2:
    case kOctave3:
      return std::trunc(v) - 1.0;
    case kPitch1:
    case kPitch2:
    case kPitch3:
    case kMg1Waveform:
    case kMg2Waveform:
    case kMg1SyncRate:
    case kMg2SyncRate:
    case kVibratoSyncRate:
      return std::trunc(v);
    case kTune1:
    case kTune2:
    case kTune3:
      return RoundHalfAwayToInt32(v * 64.0);
    case kFrequencyMod1Amount:
    case kFrequencyMod2Amount:
    case kFrequencyMod3Amount:
      return quadratic(6145.0);
    case kFilterCutoff:
      return n * 17281.0;
    case kFilterKeyTrack:
      return v * 128.0;
    case kFilterEgIntensity:
      return quadratic(15361.0);
    case kFilterCfmAmount:
      return quadratic(12289.0);
    case kChorusSpeed:
    case kMg1Frequency:
    case kMg2Frequency:
    case kVibratoFrequency:
      return v > 0.0 ? std::trunc(1000.0 / v) : 0.0;
    case kLinEg1Attack:
    case kLinEg1Decay:
    case kLinEg1Release:
    case kLinEg2Attack:
    case kLinEg2Decay:
    case kLinEg2Release:
      return v * v;
    case kVibratoModAmount:
      return v * std::fabs(v);
    default:
      return v;
  }
}
