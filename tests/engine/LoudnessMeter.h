#pragma once

// Integrated loudness of a stereo signal as ITU-R BS.1770 measures it: K-weighting (a high shelf of
// about +4 dB above 1.5 kHz and a second-order high-pass near 38 Hz, designed for any sample rate
// from the analogue prototype), mean square per channel in 400 ms blocks overlapping by 75 %, an
// absolute gate at -70 LUFS and a relative gate 10 LU below the ungated mean.

#include <cmath>
#include <vector>

namespace engine_test {

class KWeighting {
 public:
  explicit KWeighting(double rate) {
    constexpr double kPi = 3.14159265358979323846;
    {  // high shelf
      const double f0 = 1681.974450955533;
      const double gainDb = 3.999843853973347;
      const double q = 0.7071752369554196;
      const double k = std::tan(kPi * f0 / rate);
      const double vh = std::pow(10.0, gainDb / 20.0);
      const double vb = std::pow(vh, 0.4996667741545416);
      const double a0 = 1.0 + k / q + k * k;
      shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    {  // high-pass
      const double f0 = 38.13547087602444;
      const double q = 0.5003270373238773;
      const double k = std::tan(kPi * f0 / rate);
      const double a0 = 1.0 + k / q + k * k;
      highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
  }
  double Process(double x) { return highPass_.Process(shelf_.Process(x)); }

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0;
    double z2 = 0.0;
    double Process(double x) {
      const double y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      return y;
    }
  };
  Biquad shelf_{};
  Biquad highPass_{};
};

// Integrated loudness in LUFS; -HUGE_VAL when every block is below the absolute gate.
inline double IntegratedLoudness(const std::vector<double>& left, const std::vector<double>& right, double rate) {
  KWeighting kl(rate);
  KWeighting kr(rate);
  const std::size_t n = std::min(left.size(), right.size());
  std::vector<double> power(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double l = kl.Process(left[i]);
    const double r = kr.Process(right[i]);
    power[i] = l * l + r * r;
  }
  const auto block = static_cast<std::size_t>(std::lround(0.4 * rate));
  const auto hop = static_cast<std::size_t>(std::lround(0.1 * rate));
  std::vector<double> blocks;
  for (std::size_t start = 0; start + block <= n; start += hop) {
    double sum = 0.0;
    for (std::size_t i = start; i < start + block; ++i) sum += power[i];
    blocks.push_back(sum / static_cast<double>(block));
  }
  const auto loudness = [](double z) { return -0.691 + 10.0 * std::log10(z); };
  const auto gatedMean = [&blocks, &loudness](double gate) {
    double sum = 0.0;
    int count = 0;
    for (double z : blocks) {
      if (z > 0.0 && loudness(z) > gate) {
        sum += z;
        ++count;
      }
    }
    return count > 0 ? sum / count : 0.0;
  };
  const double ungated = gatedMean(-70.0);
  if (ungated <= 0.0) return -HUGE_VAL;
  const double integrated = gatedMean(loudness(ungated) - 10.0);
  return integrated > 0.0 ? loudness(integrated) : -HUGE_VAL;
}

}  // namespace engine_test
