#pragma once

#include <array>
#include <cstdint>

#include "shell/TimeInfo.h"

// Sample counters that follow the host's tempo for the 20 note values a modulation generator can
// sync to. For each note value the clock counts down the samples to its next boundary on the song
// timeline; the timeline is re-anchored to the host's beat position whenever that changes.
class TempoClocks {
 public:
  static constexpr int kNoteValueCount = 20;
  // Note value lengths in beats: "4/1", "2/1.", "2/1", "1/1.", "1/1", "1/2.", "1/2", "1/4.", "1/2T",
  // "1/4", "1/8.", "1/4T", "1/8", "1/16.", "1/8T", "1/16", "1/32.", "1/16T", "1/32", "1/64".
  static constexpr std::array<double, kNoteValueCount> kBeats = {
      16.0, 12.0, 8.0, 6.0, 4.0, 3.0, 2.0, 1.5, 4.0 / 3.0, 1.0,
      0.75, 2.0 / 3.0, 0.5, 0.375, 1.0 / 3.0, 0.25, 0.1875, 1.0 / 6.0, 0.125, 0.0625};

  TempoClocks() = default;

  // Once per rendered block, with the host's transport (defaults where the host tells nothing).
  void UpdateTempo(const TimeInfo& info, double sampleRate);

  // Once per output sample.
  void Step() {
    position_ += 1.0;
    for (int j = 0; j < kNoteValueCount; ++j) {
      const auto i = static_cast<std::size_t>(j);
      if (countdown_[i] > 0) --countdown_[i];
      if (position_ >= nextBoundary_[i]) {
        nextBoundary_[i] = position_ + length_[i];
        countdown_[i] = rounded_[i];
      }
    }
  }

  // Samples to the next boundary of note value j (0 ... 19).
  std::int64_t Countdown(int j) const { return countdown_[static_cast<std::size_t>(j)]; }
  // Length of note value j in whole samples.
  std::int64_t RoundedLength(int j) const { return rounded_[static_cast<std::size_t>(j)]; }
  double Length(int j) const { return length_[static_cast<std::size_t>(j)]; }
  double NextBoundary(int j) const { return nextBoundary_[static_cast<std::size_t>(j)]; }
  double SongPosition() const { return position_; }
  double SamplesPerBeat() const { return samplesPerBeat_; }
  double Tempo() const { return tempo_; }

 private:
  void Restart();

  std::array<double, kNoteValueCount> length_{};
  std::array<std::int64_t, kNoteValueCount> rounded_{};
  std::array<std::int64_t, kNoteValueCount> countdown_{};
  std::array<double, kNoteValueCount> nextBoundary_{};
  double position_ = 0.0;
  double samplesPerBeat_ = 0.0;
  double tempo_ = 120.0;
  double lastPpq_ = -1.0;
  bool playing_ = false;
};
