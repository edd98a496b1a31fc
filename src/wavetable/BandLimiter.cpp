#include "wavetable/BandLimiter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "wavetable/RealDft.h"

namespace {

static_assert(RealDft::kSize == kWaveLength);
static_assert(RealDft::kBins == BandLimiter::kBins);

constexpr int kNyquist = kWaveLength / 2;

// weight[L][k] = 1 - (k/a)^2 for k < a = 1024 >> L, computed in single precision.
struct LevelWeights {
  std::array<std::array<float, kNyquist>, kWaveLevelCount> weight{};
  LevelWeights() {
    for (int l = 0; l < kWaveLevelCount; ++l) {
      const int a = kNyquist >> l;
      for (int k = 1; k < a; ++k) {
        const float r = static_cast<float>(k) / static_cast<float>(a);
        weight[l][k] = 1.0f - r * r;
      }
    }
  }
};

const LevelWeights& Weights() {
  static const LevelWeights weights;
  return weights;
}

thread_local std::int64_t tBuilds = 0;

std::shared_ptr<WaveLevels> AllocateLevels(int waveCount) {
  try {
    auto levels = std::make_shared<WaveLevels>();
    levels->Allocate(waveCount);
    return levels;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Fills wave w of every level from its spectrum.
void BuildWave(const std::complex<float>* spectrum, int w, WaveLevels& levels, RealDft& dft) {
  const LevelWeights& weights = Weights();
  // The wave's RMS over the full band (Parseval), the scale against which rounding noise is judged.
  double energy = std::norm(spectrum[0]) + std::norm(spectrum[kNyquist]);
  for (int k = 1; k < kNyquist; ++k) energy += 2.0 * std::norm(spectrum[k]);
  const float rms = static_cast<float>(std::sqrt(energy) / kWaveLength);
  // A level with nothing left of the wave still holds the transforms' rounding noise (about
  // -130 dB); scaled to full scale it would play as loud noise at high pitches. Anything 100 dB
  // below the wave counts as silence, as does anything below 1e-13.
  const float silence = std::max(1e-13f, 1e-5f * rms);
  std::complex<float>* work = dft.Spectrum();
  const float* x = dft.Wave();
  for (int l = 0; l < kWaveLevelCount; ++l) {
    const int a = kNyquist >> l;
    const auto& weight = weights.weight[static_cast<std::size_t>(l)];
    work[0] = spectrum[0];
    for (int k = 1; k < a; ++k) work[k] = spectrum[k] * weight[static_cast<std::size_t>(k)];
    for (int k = a; k < kNyquist; ++k) work[k] = 0.0f;
    work[kNyquist] = spectrum[kNyquist];
    dft.Inverse();

    // Eight running maxima, so that the search needs no ordered reduction.
    std::array<float, 8> peaks{};
    for (int i = 0; i < kWaveLength; i += 8) {
      for (int j = 0; j < 8; ++j) {
        const float a = std::fabs(x[i + j]);
        peaks[j] = a > peaks[j] ? a : peaks[j];
      }
    }
    const float peak = *std::max_element(peaks.begin(), peaks.end());
    std::int16_t* out = levels.level[static_cast<std::size_t>(l)].data() +
                        static_cast<std::size_t>(w) * kWaveLength;
    if (!(peak > silence)) {  // nothing left at this level: the wave stays silent
      std::fill(out, out + kWaveLength, std::int16_t{0});
      continue;
    }
    const float inverse = 1.0f / peak;
    for (int i = 0; i < kWaveLength; ++i) {
      out[i] = static_cast<std::int16_t>(x[i] * inverse * 32767.0f);
    }
  }
}

}  // namespace

std::shared_ptr<const WaveLevels> BandLimiter::BuildLevels(const std::complex<float>* spectra,
                                                           int waveCount) {
  waveCount = std::clamp(waveCount, 1, kMaxWaveCount);
  auto levels = AllocateLevels(waveCount);
  if (!levels) return nullptr;
  if (spectra == nullptr) {
    std::fill(levels->storage.begin(), levels->storage.end(), std::int16_t{0});
    return levels;
  }
  RealDft dft;
  if (!dft.Ok()) return nullptr;
  ++tBuilds;
  for (int w = 0; w < waveCount; ++w) {
    BuildWave(spectra + static_cast<std::size_t>(w) * kBins, w, *levels, dft);
  }
  return levels;
}

namespace {

// Analyses each wave (filled into the transform buffer by fill(w, buffer)) and builds its levels.
template <typename Fill>
bool BuildTimeDomain(WaveLevels& levels, Fill fill) {
  RealDft analysis;
  RealDft synthesis;
  if (!analysis.Ok() || !synthesis.Ok()) return false;
  ++tBuilds;
  for (int w = 0; w < levels.waveCount; ++w) {
    fill(w, analysis.Wave());
    analysis.Forward();
    BuildWave(analysis.Spectrum(), w, levels, synthesis);
  }
  return true;
}

}  // namespace

std::shared_ptr<const WaveLevels> BandLimiter::BuildFromWaves(const float* waves, int waveCount) {
  waveCount = std::clamp(waveCount, 1, kMaxWaveCount);
  auto levels = AllocateLevels(waveCount);
  if (!levels) return nullptr;
  const bool built = BuildTimeDomain(*levels, [waves](int w, float* out) {
    const float* source = waves != nullptr ? waves + static_cast<std::size_t>(w) * kWaveLength : nullptr;
    for (int i = 0; i < kWaveLength; ++i) {
      out[i] = source != nullptr && std::isfinite(source[i]) ? source[i] : 0.0f;
    }
  });
  return built ? levels : nullptr;
}

std::int64_t BandLimiter::BuildsOnThisThread() { return tBuilds; }

std::shared_ptr<WaveLevels> BandLimiter::Allocate(int waveCount) {
  return AllocateLevels(std::clamp(waveCount, 1, kMaxWaveCount));
}

bool BandLimiter::BuildFromSlotSamples(const std::int16_t* samples, std::size_t count, WaveLevels& into) {
  return BuildTimeDomain(into, [samples, count](int w, float* out) {
    const std::size_t first = static_cast<std::size_t>(w) * kWaveLength;
    for (int i = 0; i < kWaveLength; ++i) {
      const std::size_t n = first + static_cast<std::size_t>(i);
      out[i] = samples != nullptr && n < count ? static_cast<float>(samples[n]) / 32767.0f : 0.0f;
    }
  });
}

bool BandLimiter::BuildFromResourceBytes(const std::uint8_t* bytes, std::size_t size, WaveLevels& into) {
  return BuildTimeDomain(into, [bytes, size](int w, float* out) {
    const std::size_t first = static_cast<std::size_t>(w) * kWaveLength;
    for (int i = 0; i < kWaveLength; ++i) {
      const std::size_t n = first + static_cast<std::size_t>(i);
      if (bytes == nullptr || 2 * n + 1 >= size) {
        out[i] = 0.0f;
        continue;
      }
      const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * n] | (bytes[2 * n + 1] << 8)));
      out[i] = static_cast<float>(v) * 0.000030517578125f;
    }
  });
}
