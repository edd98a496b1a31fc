#pragma once

// Pitch units: 1/128 of an equal-tempered semitone counted from MIDI note 0 (8.176 Hz); 1536 per
// octave; 0 ... 17280 usable.
constexpr int kPitchUnitsPerSemitone = 128;
constexpr int kPitchUnitsPerOctave = 1536;
constexpr int kPitchLimit = 17280;

// Frequency in Hz of an integer pitch, interpolating frequency (not pitch) linearly between
// semitones. Saturates at 19912.127 Hz above and 0.0033570162 Hz below.
double PitchToFrequency(int pitch);
