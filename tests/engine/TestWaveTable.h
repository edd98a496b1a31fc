#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <numbers>

#include "wavetable/WaveTable.h"

// A wave table filled directly by a test: every level holds the same waves, given as a function of
// (wave, sample index) in -1 ... 1.
class TestWaveTable : public WaveTable {
 public:
  void Fill(std::int32_t identifier, std::int32_t waves,
            const std::function<double(int wave, int index)>& value) {
    auto levels = std::make_shared<WaveLevels>();
    levels->Allocate(waves);
    for (auto& level : levels->level) {
      for (int w = 0; w < waves; ++w) {
        for (int i = 0; i < kWaveLength; ++i) {
          level[static_cast<std::size_t>(w * kWaveLength + i)] =
              static_cast<std::int16_t>(std::lround(value(w, i) * 32767.0));
        }
      }
    }
    for (int l = 0; l < kWaveLevelCount; ++l) levelData_[static_cast<std::size_t>(l)] = levels->level[static_cast<std::size_t>(l)].data();
    levels_ = levels;
    identifier_ = identifier;
    waveCount_ = waves;
    totalSamples_ = static_cast<std::uint32_t>(waves) * kWaveLength;
    valid_ = true;
  }
  void MarkInvalid() { valid_ = false; }
  void DropLevel(int level) { levelData_[static_cast<std::size_t>(level)] = nullptr; }

  static double Sine(int, int i) { return std::sin(2.0 * std::numbers::pi * i / kWaveLength); }
  // Falling saw, +1 at the start of the cycle to just above -1 at its end.
  static double Saw(int, int i) { return 1.0 - 2.0 * i / kWaveLength; }
};
