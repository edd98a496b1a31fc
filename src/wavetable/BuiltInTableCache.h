#pragma once

#include <cstdint>
#include <memory>

#include "wavetable/WaveTable.h"

// Built-in tables depend only on their identifier, so each is built once per process and then
// shared read-only by every wave table of every instance that selects it: selecting a table any
// oscillator has built before costs a lookup instead of hundreds of transforms. A built table stays
// for the life of the library.
class BuiltInTableCache {
 public:
  enum class Status {
    kNotBuilt,     // nobody has built it yet
    kBuilding,     // a thread is building it
    kReady,        // built
    kUnavailable,  // there is nothing to build (an identifier outside 0 ... 37, a missing resource)
                   // or the last attempt ran out of memory
  };

  // The built table for identifier 0 ... 37, building it on the calling thread on first request
  // (waiting when another thread is building it). nullptr when there is nothing to build. Not for
  // the audio thread.
  static std::shared_ptr<const WaveLevels> Get(std::int32_t identifier);

  // The table if it is built, without building or waiting: safe on the audio thread. *table is set
  // only when the answer is kReady.
  static Status Find(std::int32_t identifier, std::shared_ptr<const WaveLevels>* table);

  // Number of tables held, for tests and measurements.
  static int Size();
};
