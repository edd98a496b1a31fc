#include "wavetable/WaveTable.h"

#include <algorithm>
#include <utility>

void WaveTable::SetWaveCount(std::int32_t count) {
  valid_ = false;
  waveCount_ = std::clamp<std::int32_t>(count, 1, kMaxWaveCount);
  totalSamples_ = static_cast<std::uint32_t>(waveCount_) * kWaveLength;
}

void WaveTable::SetLevels(std::shared_ptr<const WaveLevels> levels) {
  levels_ = std::move(levels);
  levelData_.fill(nullptr);
  if (!levels_) return;
  SetWaveCount(levels_->waveCount);
  const std::size_t needed = totalSamples_;
  for (int l = 0; l < kWaveLevelCount; ++l) {
    const auto& data = levels_->level[static_cast<std::size_t>(l)];
    // A level shorter than the table would let the oscillator read past it; leave it out instead.
    levelData_[static_cast<std::size_t>(l)] = data.size() >= needed ? data.data() : nullptr;
  }
}
