#pragma once

#include <cstdint>

// The 21 modulation sources a "... Mod" source parameter selects, in parameter order. Instrument-wide
// values (pitch bend, mod wheel, channel aftertouch) are read from the instrument; the others live in
// each voice.
enum class ModulationSource : std::int32_t {
  kOff = 0,                // no source: the destination's modulation term is left out
  kOn = 1,                 // constant 1
  kModWheel = 2,           // 2 * mod wheel - 1
  kPitchBend = 3,          // pitch bend, -1 ... 1 (instrument)
  kNote = 4,               // 2 * note / 127 - 1
  kMg1 = 5,                // MG 1 output scaled by "MG 1 Mod"
  kMg2 = 6,                // MG 2 output scaled by "MG 2 Mod"
  kVibrato = 7,            // Vibrato output scaled by "Vibrato Mod"
  kModWheelPositive = 8,   // mod wheel, 0 ... 1 (instrument)
  kPitchBendPositive = 9,  // pitch bend * 0.5 + 0.5
  kNotePositive = 10,      // note / 127
  kVelocity = 11,          // velocity / 127
  kPolyAftertouch = 12,    // the voice's note pressure / 127
  kChannelAftertouch = 13, // channel pressure / 127 (instrument)
  kMg1Positive = 14,       // MG1 * 0.5 + 0.5 (0 without a source for "MG 1 Mod")
  kMg2Positive = 15,
  kVibratoPositive = 16,
  kFilterEg = 17,          // Filter EG output scaled by "Filter EG Mod"
  kAmpEg = 18,
  kLinearEg1 = 19,
  kLinearEg2 = 20,
};

constexpr int kModulationSourceCount = 21;

// The source a parameter value selects: the value rounded to the nearest integer; anything outside
// 0 ... 20 (or NaN) selects no source.
ModulationSource ModulationSourceFromValue(double value);

// Short label as the parameter displays it ("OFF" ... "EG 2"); "" outside the list.
const char* ModulationSourceLabel(int index);
// Long name as the editor's source menu shows it ("Off" ... "Linear EG 2"); "" outside the list.
const char* ModulationSourceName(int index);
// True for the sources whose value is kept by the instrument rather than by each voice.
bool IsInstrumentWideSource(ModulationSource source);
