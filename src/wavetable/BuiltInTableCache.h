#pragma once

#include <cstdint>
#include <memory>

#include "wavetable/WaveTable.h"

// Built-in tables depend only on their identifier, so each is built once per process and then
// shared read-only by every wave table of every instance that selects it: selecting a table any
// oscillator has built before costs a lookup instead of hundreds of transforms.
class BuiltInTableCache {
 public:
  // The built table for identifier 0 ... 37, building it on first request; nullptr when there is
  // nothing to build (an identifier outside 0 ... 37, a missing resource, memory exhausted).
  static std::shared_ptr<const WaveLevels> Get(std::int32_t identifier);

  // Number of tables held, for tests and measurements.
  static int Size();
};
