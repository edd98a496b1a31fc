#pragma once

#include "engine/ForceInline.h"

#include "engine/EG.h"

// Exponential ADSR (Filter EG, Amp EG). Each stage approaches a target beyond its end level (10/9 in
// the attack, -1/9 in the release), so stages end in finite time; the decay approaches the sustain
// level itself. Parameters are the knob values 0 ... 1; a stage of value x lasts about
// 1 / (5^(3.3 - 7.5 x) + 0.05) seconds.
class ExpEG final : public EG {
 public:
  enum StageId : std::int32_t { kIdle = 0, kAttack = 1, kDecaySustain = 2, kRelease = 3 };

  // A decay toward sustain 0 only approaches zero: in round-to-nearest arithmetic the level would
  // settle on a subnormal number and never reach it, keeping the voice busy with slow subnormal
  // arithmetic while the key is held. Below the smallest normal number the envelope counts as ended.
  static constexpr double kSilent = 2.2250738585072014e-308;

  ExpEG() : EG(0.002302585092994046) {}

  void Reset() override {
    stage_ = kIdle;
    output_ = 0.0;
  }
  void NoteOn() override;
  void NoteOff() override;
  void SetSampleRate(double rate) override;
  TARVOLIN_FORCE_INLINE void Process() override {
    if (stage_ == kIdle) return;
    output_ = output_ + (targetOrStep_ - output_) * coefficient_;
    if (stage_ == kAttack) {
      if (output_ >= 1.0) EnterDecay();
    } else if (output_ <= kSilent) {
      output_ = 0.0;
      stage_ = kIdle;
    }
  }
  bool IsActive() const override { return stage_ != kIdle; }
  void SetAttack(double a) override;
  void SetDecay(double d) override;
  void SetSustain(double s) override;
  void SetRelease(double r) override;

  // The per-sample coefficient for a stage of knob value x at the current rate.
  double Coefficient(double x) const;
  double Target() const { return targetOrStep_; }
  double CurrentCoefficient() const { return coefficient_; }

 private:
  void EnterDecay();
};
