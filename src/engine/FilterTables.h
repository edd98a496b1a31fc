#pragma once

#include <array>
#include <memory>

#include "engine/PitchFunction.h"

// Per-pitch terms of the voice filter at one sample rate: the frequency term omega = 2 pi f / rate
// and the largest feedback kmax, which falls from 4.1 below 500 Hz to 4.005 above 2 kHz so that full
// resonance keeps ringing evenly over the range. Immutable once built; filters share them through
// ForRate().
class FilterTables {
 public:
  static constexpr int kSize = kPitchLimit + 1;

  explicit FilterTables(double rate);

  static std::shared_ptr<const FilterTables> ForRate(double rate);

  double Rate() const { return rate_; }
  double Omega(int pitch) const { return omega_[static_cast<std::size_t>(pitch)]; }
  double MaxFeedback(int pitch) const { return kmax_[static_cast<std::size_t>(pitch)]; }
  // The stage terms that follow from omega, kept so that a cutoff sweep costs no division for them:
  // the pole term (e - 2) / (e + 2) and the stage gains e / (e + 2) (lowpass), 2 / (e + 2) (highpass).
  double Pole(int pitch) const { return pole_[static_cast<std::size_t>(pitch)]; }
  double LowpassGain(int pitch) const { return lowGain_[static_cast<std::size_t>(pitch)]; }
  double HighpassGain(int pitch) const { return highGain_[static_cast<std::size_t>(pitch)]; }
  // The same terms as whole tables of kSize values, for readers that look up many pitches at once.
  const double* MaxFeedbackTable() const { return kmax_.data(); }
  const double* PoleTable() const { return pole_.data(); }
  const double* LowpassGainTable() const { return lowGain_.data(); }
  const double* HighpassGainTable() const { return highGain_.data(); }

 private:
  double rate_;
  std::array<double, kSize> omega_;
  std::array<double, kSize> kmax_;
  std::array<double, kSize> pole_;
  std::array<double, kSize> lowGain_;
  std::array<double, kSize> highGain_;
};
