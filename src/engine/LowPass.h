#pragma once

#include "engine/Filter.h"

// Biquad low-pass (the usual bilinear design with resonance Q).
class LowPass final : public Filter {
 public:
  LowPass() = default;
  void ComputeCoefficients() override;
};
