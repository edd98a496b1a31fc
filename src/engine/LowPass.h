#pragma once

#include "engine/Filter.h"

// Biquad low-pass (the usual bilinear design with resonance Q).
class LowPass final : public Filter {
 public:
  LowPass() = default;
  void ComputeCoefficients() override;
  // A corner at or above half the sample rate has no low-pass design (the coefficients would make
  // the filter unstable): at very low sample rates it sits just below half the rate instead.
  static double BelowNyquist(double omega) { return omega < kHighestOmega ? omega : kHighestOmega; }
  static constexpr double kHighestOmega = 0.9 * 3.141592653589793;
};
