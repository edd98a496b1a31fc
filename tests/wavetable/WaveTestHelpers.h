#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <algorithm>
#include <string>
#include <vector>

#include "wavetable/RealDft.h"
#include "wavetable/WaveTable.h"

namespace wavetest {

// Harmonic amplitudes 0 ... 1024 of one 2048-sample wave (amplitude of a full-scale sine = 1).
inline std::vector<double> Harmonics(const float* wave) {
  RealDft dft;
  for (int i = 0; i < kWaveLength; ++i) dft.Wave()[i] = wave[i];
  dft.Forward();
  std::vector<double> a(RealDft::kBins);
  for (int k = 0; k < RealDft::kBins; ++k) a[k] = std::abs(dft.Spectrum()[k]) / (kWaveLength / 2.0);
  return a;
}

inline std::vector<float> WaveOf(const WaveTable& table, int level, int wave) {
  std::vector<float> x(kWaveLength, 0.0f);
  const std::int16_t* p = table.Level(level);
  if (p == nullptr) return x;
  for (int i = 0; i < kWaveLength; ++i) x[i] = p[wave * kWaveLength + i] / 32767.0f;
  return x;
}

inline std::vector<float> WaveOf(const WaveLevels& levels, int level, int wave) {
  std::vector<float> x(kWaveLength, 0.0f);
  for (int i = 0; i < kWaveLength; ++i) x[i] = levels.level[level][wave * kWaveLength + i] / 32767.0f;
  return x;
}

inline std::vector<double> Harmonics(const std::vector<float>& wave) { return Harmonics(wave.data()); }

// Amplitude-weighted mean harmonic number (the spectral centroid in harmonics).
inline double Centroid(const std::vector<double>& a) {
  double num = 0.0, den = 0.0;
  for (std::size_t k = 1; k < a.size(); ++k) {
    num += k * a[k];
    den += a[k];
  }
  return den > 0.0 ? num / den : 0.0;
}

template <typename Samples>
int Peak(const Samples& x) {
  int p = 0;
  for (auto v : x) p = std::max(p, std::abs(static_cast<int>(v)));
  return p;
}

// Little-endian byte writer for building test files.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& Tag(const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    return *this;
  }
  Bytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& U16(std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
  }
  Bytes& Raw(const std::vector<std::uint8_t>& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
  Bytes& Fmt(int tag, int channels, int bits, int blockAlign = -1) {
    Tag("fmt ").U32(16).U16(static_cast<std::uint16_t>(tag)).U16(static_cast<std::uint16_t>(channels)).U32(44100);
    const int align = blockAlign >= 0 ? blockAlign : channels * bits / 8;
    return U32(static_cast<std::uint32_t>(44100 * align)).U16(static_cast<std::uint16_t>(align)).U16(static_cast<std::uint16_t>(bits));
  }
};

// A RIFF/WAVE file around the given chunks.
inline std::vector<std::uint8_t> Riff(const Bytes& chunks) {
  Bytes out;
  out.Tag("RIFF").U32(static_cast<std::uint32_t>(chunks.b.size() + 4)).Tag("WAVE").Raw(chunks.b);
  return out.b;
}

// A mono 16-bit WAV of the given samples.
inline std::vector<std::uint8_t> Wav16(const std::vector<std::int16_t>& samples, int channels = 1) {
  Bytes c;
  c.Fmt(1, channels, 16).Tag("data").U32(static_cast<std::uint32_t>(samples.size() * 2));
  for (auto s : samples) c.U16(static_cast<std::uint16_t>(s));
  return Riff(c);
}

// A file in a fresh folder under the temporary directory, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    char folder[] = "/tmp/tarvolin-waves-XXXXXX";
    if (mkdtemp(folder) != nullptr) dir_ = folder;
    path_ = dir_ + "/" + name;
    if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  ~TempFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace wavetest
