#pragma once

#include <complex>
#include <cstdint>
#include <memory>

#include "wavetable/WaveTable.h"

// Turns single-cycle waves into the ten band-limited levels of a wave table.
//
// Level L keeps the harmonics below a = 1024 >> L, each weighted by 1 - (k/a)^2 so that the
// spectrum rolls off smoothly towards the level's limit instead of ringing; DC and the Nyquist term
// pass unchanged. Every wave of every level is then scaled to a peak of full scale on its own, and
// a wave with nothing left at a level (peak <= 1e-13, or 100 dB below the wave, which is where
// the single-precision transforms leave their rounding noise) stays silent there.
class BandLimiter {
 public:
  static constexpr int kBins = kWaveLength / 2 + 1;

  // waveCount spectra of kBins bins each (bin k = harmonic k), wave after wave. waveCount is clamped
  // to 1 ... 64. Answers nullptr when memory runs out.
  static std::shared_ptr<const WaveLevels> BuildLevels(const std::complex<float>* spectra,
                                                        int waveCount);

  // waveCount waves of 2048 values in -1 ... 1, wave after wave; non-finite values count as 0.
  static std::shared_ptr<const WaveLevels> BuildFromWaves(const float* waves, int waveCount);

  // Building from 16-bit sources into a block of levels allocated (or reused) by the caller: every
  // sample of its into.waveCount waves is rewritten. Samples beyond count (size) are 0. False when
  // the transform buffers cannot be allocated.
  static std::shared_ptr<WaveLevels> Allocate(int waveCount);  // nullptr when memory runs out
  // User-slot samples, each divided by 32767.
  static bool BuildFromSlotSamples(const std::int16_t* samples, std::size_t count, WaveLevels& into);
  // Raw signed 16-bit little-endian resource bytes, each sample scaled by 2^-15.
  static bool BuildFromResourceBytes(const std::uint8_t* bytes, std::size_t size, WaveLevels& into);

  // Tables built on the calling thread so far. The audio thread must never build one; tests count
  // them there.
  static std::int64_t BuildsOnThisThread();
};
