#pragma once

#include "engine/ForceInline.h"

#include "engine/EG.h"

// Linear ADSR (Lin EG 1, Lin EG 2). Times arrive as the squared knob values: a segment lasts
// 10 * value seconds (T(x) = x * 10 * rate samples); a zero-length segment completes in one sample.
class LinearEG final : public EG {
 public:
  enum StageId : std::int32_t { kIdle = 0, kAttack = 1, kDecay = 2, kSustain = 3, kRelease = 4 };

  LinearEG() : EG(10000.0) {}

  void Reset() override {
    stage_ = kIdle;
    output_ = 0.0;
  }
  void NoteOn() override;
  void NoteOff() override;
  void SetSampleRate(double rate) override;
  TARVOLIN_FORCE_INLINE void Process() override {
    // Most of the time an envelope holds its sustain level or is idle: one test for both.
    if (stage_ == kSustain || static_cast<std::uint32_t>(stage_ - kAttack) > kRelease - kAttack) return;
    output_ += targetOrStep_;
    if (stage_ == kAttack) {
      if (output_ > 1.0) EnterDecay();
    } else if (stage_ == kDecay) {
      if (output_ <= sustain_) {
        output_ = sustain_;
        stage_ = kSustain;
      }
    } else if (output_ <= 0.0) {  // release
      output_ = 0.0;
      stage_ = kIdle;
    }
  }
  bool IsActive() const override { return stage_ != kIdle; }
  void SetAttack(double a) override;
  void SetDecay(double d) override;
  void SetSustain(double s) override { sustain_ = s; }
  void SetRelease(double r) override;

  // Segment length in samples for a time value x.
  double SegmentSamples(double x) const { return x * rateFactor_; }
  double Step() const { return targetOrStep_; }

 private:
  void EnterDecay();
};
