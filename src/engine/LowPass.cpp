#include "engine/LowPass.h"

#include <cmath>

void LowPass::ComputeCoefficients() {
  const double k = std::cos(omega_);
  const double alpha = std::sin(omega_) / (2.0 * q_);
  const double g = 1.0 / (1.0 + alpha);
  b1_ = (1.0 - k) * g;
  b0_ = b1_ * 0.5;
  a1_ = 2.0 * k * g;
  a2_ = (alpha - 1.0) * g;
}
