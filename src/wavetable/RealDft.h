#pragma once

#include <complex>
#include <cstddef>

// Real discrete Fourier transform of one 2048-sample single-cycle wave and its inverse.
//
// Bins are in natural order: bin k (0 ... 1024) is harmonic k of the wave, bin 0 the DC term and
// bin 1024 the Nyquist term. The inverse is scaled by 1/2048, so that an unchanged spectrum gives
// back the source wave exactly.
//
// The plans are made once per process (the FFT planner is not thread-safe, so that happens under a
// lock); transforms themselves may run on any number of threads at once, each with its own
// RealDft object, whose buffers are allocated with the alignment the plans were made for.
class RealDft {
 public:
  static constexpr int kSize = 2048;
  static constexpr int kBins = kSize / 2 + 1;

  RealDft();
  ~RealDft();
  RealDft(const RealDft&) = delete;
  RealDft& operator=(const RealDft&) = delete;

  // False when the buffers could not be allocated; the transforms then do nothing.
  bool Ok() const { return wave_ != nullptr && spectrum_ != nullptr; }

  // The time-domain buffer (kSize values) and the spectrum buffer (kBins bins).
  float* Wave() { return wave_; }
  std::complex<float>* Spectrum() { return spectrum_; }

  // Wave() -> Spectrum(). Wave() is left unchanged.
  void Forward();
  // Spectrum() -> Wave(), scaled by 1/kSize. Spectrum() is overwritten.
  void Inverse();

 private:
  float* wave_ = nullptr;
  std::complex<float>* spectrum_ = nullptr;
};
