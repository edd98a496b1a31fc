#include "engine/TempoClocks.h"

#include <cmath>

#include "engine/NumericConversion.h"

void TempoClocks::Restart() {
  position_ = 0.0;
  countdown_ = rounded_;
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
    lastPpq_ = info.ppqPosition;
  }

  if (playing != playing_) {
    playing_ = playing;
    if (playing) Restart();
  }
}
