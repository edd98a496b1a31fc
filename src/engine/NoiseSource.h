#pragma once

#include "engine/RandomSequence.h"

// The voices' white noise: one sequence for the whole process, started at 1 when the library loads
// and never reseeded. Every sounding voice draws one value per sample, so voices take consecutive
// values in render order.
class NoiseSource {
 public:
  static double Next() { return sequence_.Next(); }
  static RandomSequence& Sequence() { return sequence_; }

 private:
  static RandomSequence sequence_;
};
