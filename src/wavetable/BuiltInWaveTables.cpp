#include "wavetable/BuiltInWaveTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <new>
#include <numbers>

#include "shell/Resources.h"
#include "wavetable/BandLimiter.h"

namespace {

constexpr int N = kWaveLength;
constexpr int kBins = BandLimiter::kBins;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Wave = std::array<float, N>;

// Standard waves, exactly as the tables have always been made (the sample values matter: the
// band-limiter is fed with them).
Wave Saw() {
  Wave x{};
  double v = 1.0;
  for (int i = 0; i < N; ++i) {
    x[i] = static_cast<float>(v);
    v += -2.0 / 2047.0;
  }
  return x;
}

Wave Square() {
  Wave x{};
  for (int i = 0; i < N; ++i) x[i] = i < N / 2 ? 1.0f : -1.0f;
  return x;
}

Wave Triangle() {
  Wave x{};
  for (int i = 0; i < 512; ++i) {
    const float v = static_cast<float>(i) / 512.0f;
    x[i] = v;
    x[1023 - i] = v;
    x[1024 + i] = -v;
    x[2047 - i] = -v;
  }
  return x;
}

double Theta(int i) { return kTwoPi * i / N; }

Wave Sine() {
  Wave x{};
  for (int i = 0; i < N; ++i) x[i] = static_cast<float>(std::sin(Theta(i)));
  return x;
}

Wave SineTimesCosine() {
  Wave x{};
  for (int i = 0; i < N; ++i) x[i] = static_cast<float>(std::sin(Theta(i)) * std::cos(Theta(i)));
  return x;
}

// Saw into triangle: the rising part grows from nothing to a quarter cycle.
Wave SawToTriangle(int w) {
  Wave x{};
  const double g = 512.0 * w / 63.0;
  for (int i = 0; i < 1024; ++i) {
    const double l = g > i ? i / g : 1.0 - (i - g) / (1024.0 - g);
    x[i] = static_cast<float>(l);
    x[2047 - i] = static_cast<float>(-l);
  }
  return x;
}

// Square into triangle: the edges slope more with every wave.
Wave SquareToTriangle(int w) {
  Wave x{};
  const double g = 512.0 * w / 63.0;
  for (int i = 0; i < 512; ++i) {
    const double l = g > i ? i / g : 1.0;
    x[i] = x[1023 - i] = static_cast<float>(l);
    x[1024 + i] = x[2047 - i] = static_cast<float>(-l);
  }
  return x;
}

Wave HarmonicSine(int k) {
  Wave x{};
  for (int i = 0; i < N; ++i) x[i] = static_cast<float>(std::sin(k * Theta(i)));
  return x;
}

std::vector<float> Concatenate(std::initializer_list<Wave> waves) {
  std::vector<float> out;
  out.reserve(waves.size() * N);
  for (const Wave& w : waves) out.insert(out.end(), w.begin(), w.end());
  return out;
}

template <typename MakeWave>
std::vector<float> Generate(int count, MakeWave make) {
  std::vector<float> out;
  out.reserve(static_cast<std::size_t>(count) * N);
  for (int w = 0; w < count; ++w) {
    const Wave x = make(w);
    out.insert(out.end(), x.begin(), x.end());
  }
  return out;
}

// Spectra of tables defined by harmonics: count spectra of kBins bins.
class Spectra {
 public:
  explicit Spectra(int count) : count_(count), bins_(static_cast<std::size_t>(count) * kBins) {}
  int Count() const { return count_; }
  const std::complex<float>* Data() const { return bins_.data(); }
  // Adds a sin(k theta + phase) component of the given amplitude to wave w. With the forward
  // transform's sign convention its bin is amplitude * N/2 * (sin phase - i cos phase).
  void Add(int w, int k, double amplitude, double phase = 0.0) {
    if (w < 0 || w >= count_ || k < 1 || k >= kBins - 1) return;
    const double a = amplitude * N / 2.0;
    bins_[static_cast<std::size_t>(w) * kBins + static_cast<std::size_t>(k)] +=
        std::complex<float>(static_cast<float>(a * std::sin(phase)),
                            static_cast<float>(-a * std::cos(phase)));
  }

 private:
  int count_;
  std::vector<std::complex<float>> bins_;
};

Spectra DiracMeltdown() {  // 12
  Spectra s(64);
  for (int w = 0; w < 64; ++w) {
    for (int k = 1; k <= 64 - w; ++k) s.Add(w, k, 1.0 / (64 - w));
  }
  return s;
}

Spectra Odd() {  // 13
  Spectra s(16);
  s.Add(0, 1, 1.0);
  for (int w = 1; w < 16; ++w) {
    for (int k = 1; k <= 2 * w - 1; k += 2) s.Add(w, k, 1.0);
  }
  return s;
}

Spectra Even() {  // 14
  Spectra s(16);
  for (int w = 0; w < 16; ++w) {
    s.Add(w, 1, 1.0);
    for (int k = 2; k <= 2 * w; k += 2) s.Add(w, k, 1.0);
  }
  return s;
}

// 15: the even harmonics turn odd one by one, from the top.
constexpr int kEvenToOdd[9][10] = {
    {1, 2, 4, 6, 8, 10, 12, 14, 16},     {1, 2, 4, 6, 8, 10, 12, 14, 15, 17},
    {1, 2, 4, 6, 8, 10, 12, 13, 15, 17}, {1, 2, 4, 6, 8, 10, 11, 13, 15, 17},
    {1, 2, 4, 6, 8, 9, 11, 13, 15, 17},  {1, 2, 4, 6, 7, 9, 11, 13, 15, 17},
    {1, 2, 4, 5, 7, 9, 11, 13, 15, 17},  {1, 2, 3, 5, 7, 9, 11, 13, 15, 17},
    {1, 3, 5, 7, 9, 11, 13, 15, 17},
};

Spectra EvenToOdd() {
  Spectra s(9);
  for (int w = 0; w < 9; ++w) {
    for (const int k : kEvenToOdd[w]) {
      if (k != 0) s.Add(w, k, 1.0);
    }
  }
  return s;
}

Spectra Primes() {  // 16
  static constexpr int kHarmonics[] = {1, 2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31};
  Spectra s(12);
  for (int w = 0; w < 12; ++w) {
    for (int j = 0; j <= w; ++j) s.Add(w, kHarmonics[j], 1.0);
  }
  return s;
}

Spectra Octaves() {  // 17
  Spectra s(8);
  for (int w = 0; w < 8; ++w) {
    for (int j = 0; j <= w; ++j) s.Add(w, 1 << j, 1.0);
  }
  return s;
}

// Drawbar registrations: F full, H half, '.' off, for harmonics 1, 2, 3, 4, 6, 8, 10, 12, 16.
constexpr int kDrawbarHarmonics[9] = {1, 2, 3, 4, 6, 8, 10, 12, 16};
constexpr const char* kDrawbars[16] = {
    "F........", "FH.......", "FF.H.....", "FFHH.....", "FFHHH....", "FFH.H....",
    "FFH.HH...", "FFH..H...", "FFH..HH..", "FFH...H..", "FFH...HH.", "FFH...HHH",
    "FF....HHH", "F.....HHH", "F......HH", "F.......H",
};

Spectra Drawbars(bool mixed) {  // 20, 21
  Spectra s(16);
  for (int w = 0; w < 16; ++w) {
    for (int j = 0; j < 9; ++j) {
      const char c = kDrawbars[w][j];
      if (c == 'F') s.Add(w, kDrawbarHarmonics[j], 1.0);
      if (c == 'H') s.Add(w, kDrawbarHarmonics[j], mixed ? 0.5 : 1.0);
    }
  }
  return s;
}

// 19: a 32-harmonic saw whose upper harmonics are phase-shifted further with each wave. Built from
// its exact spectrum, which is what the transform of the sampled sum gives, without evaluating
// 64 * 32 * 2048 sines.
Spectra PhasedSaw() {
  Spectra s(64);
  for (int w = 0; w < 64; ++w) {
    for (int k = 1; k <= 32; ++k) s.Add(w, k, 1.0 / k, (k - 1) * std::numbers::pi * w / 64.0);
  }
  return s;
}

struct ResourceTable {
  std::int32_t identifier;
  const char* name;
};

constexpr ResourceTable kResourceTables[] = {
    {11, "WAVE_DW8000"},    {22, "WAVE_APIANO"},   {23, "WAVE_PIANET"},   {24, "WAVE_SLAP_LOW"},
    {25, "WAVE_SLAP_HI"},   {26, "WAVE_RE_PWM"},   {27, "WAVE_RESONANCE"}, {28, "WAVE_RECTRESO"},
    {29, "WAVE_FM_MP4"},    {30, "WAVE_FMTSHIFT"}, {31, "WAVE_A_O_E"},    {32, "WAVE_GEESH"},
    {33, "WAVE_TD_TEH"},    {34, "WAVE_TEXTURE1"}, {35, "WAVE_TEXTURE2"}, {36, "WAVE_LADIES"},
    {37, "WAVE_DW6000"},
};

std::shared_ptr<const WaveLevels> BuildFromResource(const char* name) {
  const auto bytes = FindResource("WAV", name);
  if (!bytes || bytes->empty()) return nullptr;
  const std::size_t size = bytes->size();
  // A resource shorter than its waves leaves the rest silent.
  auto levels = BandLimiter::Allocate(size > 266239 ? 64 : static_cast<int>(size / 4096));
  if (!levels || !BandLimiter::BuildFromResourceBytes(bytes->data(), size, *levels)) return nullptr;
  return levels;
}

std::shared_ptr<const WaveLevels> FromSpectra(const Spectra& s) {
  return BandLimiter::BuildLevels(s.Data(), s.Count());
}

}  // namespace

std::vector<float> BuiltInWaveTables::TimeDomainWaves(std::int32_t identifier) {
  switch (identifier) {
    case 0:
    case 1:
    case 2:
      return Concatenate({Saw()});
    case 3:
      return Concatenate({Triangle(), Sine()});
    case 4:
      return Concatenate({Sine(), SineTimesCosine()});
    case 5:
      return Concatenate({Sine(), Triangle(), Square(), Saw()});
    case 6:
      return Concatenate({Saw(), Square()});
    case 7:
      return Concatenate({Saw(), Sine()});
    case 8:
      return Generate(64, SawToTriangle);
    case 9:
      return Generate(64, SquareToTriangle);
    case 10:
      return Concatenate({Square(), Sine()});
    case 18:
      return Generate(16, [](int w) { return HarmonicSine(w + 1); });
    default:
      return {};
  }
}

const char* BuiltInWaveTables::ResourceName(std::int32_t identifier) {
  for (const auto& t : kResourceTables) {
    if (t.identifier == identifier) return t.name;
  }
  return nullptr;
}

std::shared_ptr<const WaveLevels> BuiltInWaveTables::Build(std::int32_t identifier) {
  if (identifier < 0 || identifier >= kCount) return nullptr;
  if (const char* resource = ResourceName(identifier)) return BuildFromResource(resource);
  switch (identifier) {
    case 12: return FromSpectra(DiracMeltdown());
    case 13: return FromSpectra(Odd());
    case 14: return FromSpectra(Even());
    case 15: return FromSpectra(EvenToOdd());
    case 16: return FromSpectra(Primes());
    case 17: return FromSpectra(Octaves());
    case 19: return FromSpectra(PhasedSaw());
    case 20: return FromSpectra(Drawbars(false));
    case 21: return FromSpectra(Drawbars(true));
    default: break;
  }
  std::vector<float> waves;
  try {
    waves = TimeDomainWaves(identifier);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (waves.empty()) return nullptr;
  return BandLimiter::BuildFromWaves(waves.data(), static_cast<int>(waves.size() / N));
}
