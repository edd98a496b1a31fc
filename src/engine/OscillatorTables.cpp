#include "engine/OscillatorTables.h"

#include "engine/SampleRateTableCache.h"

OscillatorTables::OscillatorTables(double rate) : rate_(rate) {
  for (int p = 0; p < kSize; ++p) {
    const double x = PitchToFrequency(p) * kPhaseCycle / rate;
    std::int32_t increment = 0;
    if (x >= static_cast<double>(kMaxIncrement)) increment = kMaxIncrement;
    else if (x > 0.0) increment = static_cast<std::int32_t>(x);
    increment_[static_cast<std::size_t>(p)] = increment;
    level_[static_cast<std::size_t>(p)] = LevelForStep(increment >> 16);
  }
}

std::shared_ptr<const OscillatorTables> OscillatorTables::ForRate(double rate) {
  return SampleRateTableCache<OscillatorTables>::Get(rate);
}

std::uint8_t OscillatorTables::LevelForStep(std::int32_t step) {
  if (step >= 2048 || step <= 1) return 0;
  // Halving as a real number: step / 2^n <= 1 exactly when step <= 2^n.
  std::uint8_t n = 0;
  while (n < 9 && (std::int32_t{1} << n) < step) ++n;
  return n;
}
