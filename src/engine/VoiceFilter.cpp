#include "engine/VoiceFilter.h"

#include <cmath>

#include "engine/NumericConversion.h"
#include "engine/SampleRateTableCache.h"

void VoiceFilter::ResetState() {
  for (int channel = 0; channel < 2; ++channel) {
    state_[0][channel] = 0.0;
    state_[1][channel] = 0.01;
    state_[2][channel] = 0.0;
    state_[3][channel] = -0.01;
  }
}

void VoiceFilter::SetSampleRate(double rate) {
  const double sanitized = SanitizeSampleRate(rate);
  if (sanitized != lastSampleRate_ || !tables_) {
    lastSampleRate_ = sanitized;
    tables_ = FilterTables::ForRate(sanitized);
  }
  currentCutoff_ = 0;
  lastIndex_ = -1;
  g4_ = g_ = b_ = k_ = outputGain_ = d_ = 0.0;
  ResetState();
}

void VoiceFilter::SetType(double type) {
  std::int32_t t = RoundHalfAwayToInt32(type);
  if (t < kLowpass24) t = kLowpass24;
  if (t > kHighpass24) t = kHighpass24;
  if (t == type_) return;
  type_ = t;
  UpdateResonanceTerms();
  lastIndex_ = -1;
  ResetState();
}

void VoiceFilter::SetCutoff(double pitch, bool ampEgActive) {
  const std::int32_t p = TruncateToInt32(pitch);
  targetCutoff_ = p;
  slewDirection_ = 0;
  if (ampEgActive) {
    if (currentCutoff_ < p) slewDirection_ = 1;
    else if (currentCutoff_ > p) slewDirection_ = -1;
  } else {
    currentCutoff_ = p;
  }
}

void VoiceFilter::SetResonance(double resonance) {
  resonance_ = resonance;
  UpdateResonanceTerms();
  lastIndex_ = -1;
}

void VoiceFilter::UpdateResonanceTerms() {
  feedbackScale_ = type_ == kLowpass12 ? resonance_ * 0.985 : resonance_;
  const double spread = 2.0 * (resonance_ - 0.5 < 0.0 ? 0.5 - resonance_ : resonance_ - 0.5);
  resonanceGain_ = 2.0 - spread * spread;
}
