#pragma once

#include <bit>
#include <cstdint>

#include "engine/ForceInline.h"

// A second-order section with symmetric feed-forward coefficients (b2 = b0), as used for the
// oscillators' FM smoothing and the chorus's band limits. Subclasses supply the coefficient design.
class Filter {
 public:
  Filter() = default;
  Filter(const Filter&) = default;
  Filter& operator=(const Filter&) = default;
  virtual void ComputeCoefficients() = 0;
  virtual ~Filter() = default;

  // omega is 2 pi times the cutoff over the sample rate.
  void SetOmega(double omega) { omega_ = omega; }
  void SetQ(double q) { q_ = q; }
  void SetSampleRate(double rate) { sampleRate_ = rate; }
  void ClearState() { x1_ = x2_ = y1_ = y2_ = 0.0; }

  // True while the section holds nothing: an input of 0 then gives exactly 0 and leaves it so.
  bool IsSilent() const { return x1_ == 0.0 && x2_ == 0.0 && y1_ == 0.0 && y2_ == 0.0; }
  // The same, with every value +0 bit for bit (a -0 can reach an output as -0).
  bool HoldsPositiveZeros() const;

  // For a section fed silence: once what is left of its decay is below threshold, it is put at rest
  // (exactly 0). Left alone, a decay in round-to-nearest arithmetic ends in subnormal numbers, or
  // hovers at the smallest of them for ever, and each later step then costs many times the normal.
  TARVOLIN_FORCE_INLINE void SettleBelow(double threshold) {
    if (x1_ == 0.0 && x2_ == 0.0 && y1_ < threshold && y1_ > -threshold && y2_ < threshold && y2_ > -threshold) {
      y1_ = y2_ = 0.0;
    }
  }

  double Omega() const { return omega_; }
  double Q() const { return q_; }
  double SampleRate() const { return sampleRate_; }

  // One sample. A NaN (or infinite) input counts as silence and a NaN result restarts from silence,
  // so a single bad value never locks the section up.
  TARVOLIN_FORCE_INLINE double Process(double x) { return Step(x, b0_, b1_, a1_, a2_, x1_, x2_, y1_, y2_); }

  // The coefficients and state as plain values, for a loop that runs the section many times per call
  // and keeps them in registers (stores through other pointers would make the compiler reload
  // members): take them, run Process, and put the state back.
  struct Section {
    double b0, b1, a1, a2, x1, x2, y1, y2;
    TARVOLIN_FORCE_INLINE double Process(double x) { return Step(x, b0, b1, a1, a2, x1, x2, y1, y2); }
  };
  Section Take() const { return {b0_, b1_, a1_, a2_, x1_, x2_, y1_, y2_}; }
  void Put(const Section& s) {
    x1_ = s.x1;
    x2_ = s.x2;
    y1_ = s.y1;
    y2_ = s.y2;
  }

 private:
  // Renders voices side by side with this record's own arithmetic.
  friend class VoiceLanes;

 protected:
  static constexpr double kLargest = 1.7976931348623157e308;

  TARVOLIN_FORCE_INLINE static double Step(double x, double b0, double b1, double a1, double a2, double& x1, double& x2,
                                           double& y1, double& y2) {
    if (!(x >= -kLargest && x <= kLargest)) x = 0.0;
    double y = (x + x2) * b0 + x1 * b1 + y1 * a1 + y2 * a2;
    if (y != y) y = 0.0;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  double omega_ = 0.0;
  double q_ = 0.7071067811865476;
  double sampleRate_ = 44100.0;
  // y[n] = b0 (x[n] + x[n-2]) + b1 x[n-1] + a1 y[n-1] + a2 y[n-2]
  double a1_ = 0.0;
  double a2_ = 0.0;
  double b0_ = 0.0;
  double b1_ = 0.0;
  double x1_ = 0.0;
  double x2_ = 0.0;
  double y1_ = 0.0;
  double y2_ = 0.0;
};

inline bool Filter::HoldsPositiveZeros() const {
  // +0 has no bit set.
  return (std::bit_cast<std::uint64_t>(x1_) | std::bit_cast<std::uint64_t>(x2_) | std::bit_cast<std::uint64_t>(y1_) |
          std::bit_cast<std::uint64_t>(y2_)) == 0;
}
