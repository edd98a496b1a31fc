#include "engine/TempoClocks.h"

#include <cmath>
#include <limits>

#include "engine/NumericConversion.h"

void TempoClocks::Restart() {
  position_ = 0.0;
  restartValue_ = rounded_;
  restartStep_.fill(steps_);
}

void TempoClocks::PassBoundaries() {
  for (std::size_t j = 0; j < kNoteValueCount; ++j) {
    if (position_ >= nextBoundary_[j]) {
      nextBoundary_[j] = position_ + length_[j];
      restartValue_[j] = rounded_[j];
      restartStep_[j] = steps_;
    }
  }
  FindEarliestBoundary();
}

void TempoClocks::FindEarliestBoundary() {
  // A NaN boundary (no usable tempo) is never reached, so it is left out.
  double earliest = std::numeric_limits<double>::infinity();
  for (double boundary : nextBoundary_) {
    if (boundary < earliest) earliest = boundary;
  }
  earliestBoundary_ = earliest;
}

void TempoClocks::UpdateTempo(const TimeInfo& info, double sampleRate) {
  double tempo = std::round(info.tempo * 1000.0) / 1000.0;
  if (!(tempo > 0.0) || !std::isfinite(tempo)) tempo = 120.0;
  tempo_ = tempo;
  samplesPerBeat_ = 60.0 / tempo * SanitizeSampleRate(sampleRate);
  for (std::size_t j = 0; j < kNoteValueCount; ++j) {
    length_[j] = kBeats[j] * samplesPerBeat_;
    rounded_[j] = TruncateToInt64(std::floor(length_[j] + 0.5));
  }

  const bool playing = info.transportPlaying;
  if (playing) {
    // The beat position is the anchor; a host without one gives its sample position instead, and a
    // host with neither leaves the timeline counting on its own.
    if (info.ppqPosition >= 0.0) position_ = info.ppqPosition * samplesPerBeat_;
    else if (info.samplePosition >= 0.0) position_ = info.samplePosition;
  }

  if (info.ppqPosition != lastPpq_) {
    if (info.ppqPosition < lastPpq_) Restart();  // the host jumped back (a loop)
    for (std::size_t j = 0; j < kNoteValueCount; ++j) {
      const double length = length_[j];
      double boundary = std::floor(position_ / length) * length;
      if (boundary < position_) boundary += length;
      nextBoundary_[j] = boundary;
    }
    FindEarliestBoundary();
    lastPpq_ = info.ppqPosition;
  }

  if (playing != playing_) {
    playing_ = playing;
    if (playing) Restart();
  }
}
