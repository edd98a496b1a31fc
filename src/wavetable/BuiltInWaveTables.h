#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wavetable/WaveTable.h"

// The 38 built-in wave tables (identifiers 0 ... 37): tables computed from waveform formulas, tables
// defined by harmonic spectra, and tables resynthesised from the wave sets linked into the library
// as resources of type "WAV" (raw signed 16-bit little-endian samples, 2048 per wave).
class BuiltInWaveTables {
 public:
  static constexpr int kCount = 38;

  // Builds the table afresh. nullptr for an identifier outside 0 ... 37, a resource table whose
  // resource is missing or empty, or when memory runs out.
  static std::shared_ptr<const WaveLevels> Build(std::int32_t identifier);

  // The resource a table is read from, or nullptr for the computed tables.
  static const char* ResourceName(std::int32_t identifier);

  // The waves a time-domain table is built from (wave count * 2048 values), for inspection; empty
  // for other identifiers.
  static std::vector<float> TimeDomainWaves(std::int32_t identifier);
};
