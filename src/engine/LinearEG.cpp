#include "engine/LinearEG.h"

#include "engine/NumericConversion.h"

void LinearEG::NoteOn() {
  if (singleTrigger_ && (stage_ == kAttack || stage_ == kDecay || stage_ == kSustain)) return;
  // A retrigger continues from the current level.
  stage_ = kAttack;
  const double t = SegmentSamples(attack_);
  targetOrStep_ = t > 0.0 ? 1.0 / t : 1.0;
}

void LinearEG::NoteOff() {
  if (!(output_ > 0.0)) {
    stage_ = kIdle;
    output_ = 0.0;
    return;
  }
  stage_ = kRelease;
  const double t = SegmentSamples(release_);
  targetOrStep_ = t > 0.0 ? -output_ / t : -output_;
}

void LinearEG::SetSampleRate(double rate) {
  rateFactor_ = 10.0 * SanitizeSampleRate(rate);
  Reset();
}

void LinearEG::EnterDecay() {
  output_ = 1.0;
  stage_ = kDecay;
  const double t = SegmentSamples(decay_);
  targetOrStep_ = t > 0.0 ? (sustain_ - 1.0) / t : sustain_ - 1.0;
}

void LinearEG::SetAttack(double a) {
  attack_ = a;
  if (stage_ == kAttack) {
    const double t = SegmentSamples(a);
    targetOrStep_ = t > 0.0 ? 1.0 / t : 1.0;
  }
}

void LinearEG::SetDecay(double d) {
  decay_ = d;
  if (stage_ == kDecay) {
    const double t = SegmentSamples(d);
    targetOrStep_ = t > 0.0 ? (sustain_ - 1.0) / t : sustain_ - 1.0;
  }
}

void LinearEG::SetRelease(double r) {
  release_ = r;
  if (stage_ == kRelease) {
    // A new release time re-slopes from the sustain level. With sustain 0 that slope would be flat and
    // the release would never end, so the slope then starts from the current level, as at note-off.
    const double from = sustain_ > 0.0 ? sustain_ : output_;
    const double t = SegmentSamples(r);
    targetOrStep_ = t > 0.0 ? -from / t : -from;
  }
}
