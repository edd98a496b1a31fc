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

  // Once per output sample: every countdown runs down by one (not below 0) and restarts at its note
  // value's boundary. The countdowns are kept as the step of their last restart, so a step costs
  // one comparison with the earliest boundary.
  void Step() {
    position_ += 1.0;
    ++steps_;
    if (position_ >= earliestBoundary_) PassBoundaries();
  }

  // samples calls of Step, with the song position kept in a register between boundaries.
  void Advance(int samples) {
    while (samples > 0) {
      double p = position_;
      const double boundary = earliestBoundary_;
      int taken = 0;
      bool passed = false;
      while (taken < samples) {
        p += 1.0;
        ++taken;
        if (p >= boundary) {
          passed = true;
          break;
        }
      }
      position_ = p;
      steps_ += taken;
      samples -= taken;
      if (passed) PassBoundaries();
    }
  }

  // Samples to the next boundary of note value j (0 ... 19).
  std::int64_t Countdown(int j) const {
    const auto i = static_cast<std::size_t>(j);
    const std::int64_t left = restartValue_[i] - (steps_ - restartStep_[i]);
    return left > 0 ? left : 0;
  }
  // Length of note value j in whole samples.
  std::int64_t RoundedLength(int j) const { return rounded_[static_cast<std::size_t>(j)]; }
  double Length(int j) const { return length_[static_cast<std::size_t>(j)]; }
  double NextBoundary(int j) const { return nextBoundary_[static_cast<std::size_t>(j)]; }
  double SongPosition() const { return position_; }
  double SamplesPerBeat() const { return samplesPerBeat_; }
  double Tempo() const { return tempo_; }

 private:
  void Restart();
  void PassBoundaries();
  void FindEarliestBoundary();

  std::array<double, kNoteValueCount> length_{};
  std::array<std::int64_t, kNoteValueCount> rounded_{};
  // Countdown j was set to restartValue_[j] at step restartStep_[j].
  std::array<std::int64_t, kNoteValueCount> restartValue_{};
  std::array<std::int64_t, kNoteValueCount> restartStep_{};
  std::array<double, kNoteValueCount> nextBoundary_{};
  double earliestBoundary_ = 0.0;
  std::int64_t steps_ = 0;
  double position_ = 0.0;
  double samplesPerBeat_ = 0.0;
  double tempo_ = 120.0;
  double lastPpq_ = -1.0;
  bool playing_ = false;
};
