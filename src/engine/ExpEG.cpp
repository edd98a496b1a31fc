#include "engine/ExpEG.h"

#include <cmath>

#include "engine/NumericConversion.h"

double ExpEG::Coefficient(double x) const {
  return (std::pow(5.0, 3.3 - 7.5 * x) + 0.05) * rateFactor_;
}

void ExpEG::NoteOn() {
  if (singleTrigger_ && (stage_ == kAttack || stage_ == kDecaySustain)) return;
  // A retrigger continues from the current level.
  stage_ = kAttack;
  targetOrStep_ = 1.1111111111111112;
  coefficient_ = Coefficient(attack_);
}

void ExpEG::NoteOff() {
  if (!(output_ > 0.0)) {
    stage_ = kIdle;
    output_ = 0.0;
    return;
  }
  stage_ = kRelease;
  targetOrStep_ = -0.1111111111111111;
  coefficient_ = Coefficient(release_);
}

void ExpEG::SetSampleRate(double rate) {
  rateFactor_ = 2.302585092994046 / SanitizeSampleRate(rate);
  Reset();
}

void ExpEG::EnterDecay() {
  output_ = 1.0;
  stage_ = kDecaySustain;
  targetOrStep_ = sustain_;
  coefficient_ = Coefficient(decay_);
}

void ExpEG::SetAttack(double a) {
  attack_ = a;
  if (stage_ == kAttack) coefficient_ = Coefficient(a);
}

void ExpEG::SetDecay(double d) {
  decay_ = d;
  if (stage_ == kDecaySustain) coefficient_ = Coefficient(d);
}

void ExpEG::SetSustain(double s) {
  sustain_ = s;
  if (stage_ == kDecaySustain) targetOrStep_ = s;
}

void ExpEG::SetRelease(double r) {
  release_ = r;
  if (stage_ == kRelease) coefficient_ = Coefficient(r);
}
