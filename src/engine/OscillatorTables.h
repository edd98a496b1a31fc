#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/PitchFunction.h"

// Phase increment and band-limited level for every integer pitch 0 ... 17280 at one sample rate.
// Immutable once built; oscillators share them through ForRate().
class OscillatorTables {
 public:
  static constexpr int kSize = kPitchLimit + 1;
  // One full cycle of the oscillator phase.
  static constexpr double kPhaseCycle = 134217728.0;
  // The largest increment kept; only reached at sample rates below about 2.5 kHz, where a plain
  // conversion would overflow the 32-bit phase arithmetic.
  static constexpr std::int32_t kMaxIncrement = 1 << 30;

  explicit OscillatorTables(double rate);

  // The tables for this rate (built on first use), shared with every other user of the same rate.
  static std::shared_ptr<const OscillatorTables> ForRate(double rate);

  double Rate() const { return rate_; }
  std::int32_t Increment(int pitch) const { return increment_[static_cast<std::size_t>(pitch)]; }
  std::uint8_t Level(int pitch) const { return level_[static_cast<std::size_t>(pitch)]; }

  // The level for a step of step table samples per output sample: the number of halvings that bring
  // it to one sample or less, at most 9; 0 for steps of 1 and below or of a whole wave and above.
  static std::uint8_t LevelForStep(std::int32_t step);

 private:
  double rate_;
  std::array<std::int32_t, kSize> increment_;
  std::array<std::uint8_t, kSize> level_;
};
