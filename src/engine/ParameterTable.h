#pragma once

#include <cstddef>

class IPlugBase;

// The instrument's 153 automatable parameters. The order is part of the stored format: programs,
// chunks and FXP/FXB files keep the values in index order.
namespace param {

enum Index : int {
  kVolume = 0,
  kMasterTune,
  kNumberOfVoices,
  kUnisonMode,
  kUnisonDetune,
  kUnisonSpread,
  kXMode,
  kPitchBendRange,
  kPortamento,
  kPortamentoLegato,
  // Oscillator 1
  kOsc1On = 10,
  kWaveTable1,
  kWaveShape1,
  kWaveMode1,
  kWaveShapeMod1Amount,
  kWaveShapeMod1Source,
  kStartPhase1,
  kRestartMode1,
  kAmByOsc2,
  kAmByOsc3,
  kAmModAmount,
  kAmModSource,
  kOctave1,
  kPitch1,
  kTune1,
  kFrequencyMod1Amount,
  kFrequencyMod1Source,
  kAmplitudeMod1Amount,
  kAmplitudeMod1Source,
  // Oscillator 2
  kOsc2On = 29,
  kWaveTable2,
  kWaveShape2,
  kWaveMode2,
  kWaveShapeMod2Amount,
  kWaveShapeMod2Source,
  kRestartMode2,
  kStartPhase2,
  kHardSync2,
  kLinearFm2Depth,
  kLinearFm2Modulator,
  kLinearFmMod2Amount,
  kLinearFmMod2Source,
  kOctave2,
  kPitch2,
  kTune2,
  kFrequencyMod2Amount,
  kFrequencyMod2Source,
  kAmplitudeMod2Amount,
  kAmplitudeMod2Source,
  // Oscillator 3
  kOsc3On = 49,
  kWaveTable3,
  kWaveShape3,
  kWaveMode3,
  kWaveShapeMod3Amount,
  kWaveShapeMod3Source,
  kRestartMode3,
  kStartPhase3,
  kHardSync3,
  kLinearFm3Depth,
  kLinearFm3Modulator,
  kLinearFmMod3Amount,
  kLinearFmMod3Source,
  kOctave3,
  kPitch3,
  kTune3,
  kFrequencyMod3Amount,
  kFrequencyMod3Source,
  kAmplitudeMod3Amount,
  kAmplitudeMod3Source,
  // Mixer
  kLevelOsc1 = 69,
  kLevelOsc2,
  kLevelOsc3,
  kLevelNoise,
  kPanOsc1,
  kPanOsc2,
  kPanOsc3,
  kPanNoise,
  // Filter and amplifier
  kFilterType = 77,
  kFilterCutoff,
  kFilterResonance,
  kFilterKeyTrack,
  kFilterEgIntensity,
  kFilterCfmAmount,
  kFilterCfmSource,
  kAmpVelocity,
  kAmpAmAmount,
  kAmpAmSource,
  // Chorus
  kChorusOn = 87,
  kChorusDelay,
  kChorusSpeed,
  kChorusDepth,
  kChorusFeedback,
  kChorusMix,
  // Envelopes
  kFilterEgTrigger = 93,
  kFilterEgModAmount,
  kFilterEgModSource,
  kFilterEgAttack,
  kFilterEgDecay,
  kFilterEgSustain,
  kFilterEgRelease,
  kAmpEgTrigger = 100,
  kAmpEgModAmount,
  kAmpEgModSource,
  kAmpEgAttack,
  kAmpEgDecay,
  kAmpEgSustain,
  kAmpEgRelease,
  kLinEg1Trigger = 107,
  kLinEg1ModAmount,
  kLinEg1ModSource,
  kLinEg1Attack,
  kLinEg1Decay,
  kLinEg1Sustain,
  kLinEg1Release,
  kLinEg2Trigger = 114,
  kLinEg2ModAmount,
  kLinEg2ModSource,
  kLinEg2Attack,
  kLinEg2Decay,
  kLinEg2Sustain,
  kLinEg2Release,
  // Modulation generators
  kMg1Frequency = 121,
  kMg1Waveform,
  kMg1SyncToHost,
  kMg1SyncRate,
  kMg1ModAmount,
  kMg1ModSource,
  kMg2Frequency = 127,
  kMg2Waveform,
  kMg2SyncToHost,
  kMg2SyncRate,
  kMg2ModAmount,
  kMg2ModSource,
  kVibratoFrequency = 133,
  kVibratoSyncToHost,
  kVibratoSyncRate,
  kVibratoModAmount,
  kVibratoModSource,
  // Placeholders that keep the count; always stored as 0.
  kFirstReserved = 138,
  kCount = 153,
};

static_assert(kAmplitudeMod1Source == 28 && kAmplitudeMod2Source == 48 && kAmplitudeMod3Source == 68);
static_assert(kPanNoise == 76 && kAmpAmSource == 86 && kChorusMix == 92 && kFilterEgRelease == 99);
static_assert(kAmpEgRelease == 106 && kLinEg1Release == 113 && kLinEg2Release == 120);
static_assert(kMg1ModSource == 126 && kMg2ModSource == 132 && kVibratoModSource == 137);

}  // namespace param

// Label lists of the enumerated parameters (value 0 first).
struct LabelList {
  const char* const* labels;
  int count;
};

namespace labels {
extern const LabelList kVoices;      // "1" ... "64"
extern const LabelList kOffOn;       // "Off", "On"
extern const LabelList kWaveMode;    // "Interpolate", "Raw"
extern const LabelList kRestart;     // "Continuous", "Restarting"
extern const LabelList kOctave;      // "16'" ... "2'"
extern const LabelList kSync2;       // "Off", "Osc 1", "Osc 3"
extern const LabelList kSync3;       // "Off", "Osc 1", "Osc 2"
extern const LabelList kFm2;         // "Osc 1", "Osc 3"
extern const LabelList kFm3;         // "Osc 2", "Osc 1"
extern const LabelList kFilterType;  // "Lowpass 24", "Lowpass 12", "Highpass 24"
extern const LabelList kTrigger;     // "Multiple", "Single"
extern const LabelList kMgWave;      // "Sine" ... "Sample/Hold"
extern const LabelList kSyncRate;    // "4/1" ... "1/64"
extern const LabelList kSource;      // the 21 modulation sources "OFF" ... "EG 2"
}  // namespace labels

// Display formatters: each writes the text for a parameter's plain value.
void FormatDecibels(double value, char* text, std::size_t capacity);        // "-oo", "-6.0"
void FormatFmSemitones(double value, char* text, std::size_t capacity);     // "48.00"
void FormatCutoffHertz(double value, char* text, std::size_t capacity);     // "19912"
void FormatPercent(double value, char* text, std::size_t capacity);         // "-100"
void FormatSignedSemitones(double value, char* text, std::size_t capacity); // "+7", "-12"
void FormatBalance(double value, char* text, std::size_t capacity);         // "50:50"

// Initialises every parameter of plug in index order (names, kinds, ranges, defaults, steps,
// shapes, label lists and formatters). Sends nothing to the engine.
void CreateParameterTable(IPlugBase& plug);

// The value the engine receives when parameter index changes, from the parameter's plain value and
// its normalised value: pitch units for pitch-like parameters, periods in control ticks for the
// generator frequencies, counts and switches as numbers (1 = on). Indices without a conversion pass
// the plain value.
double EngineValue(int index, double value, double normalised);
