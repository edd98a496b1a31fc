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
    switch (stage_) {
      case kAttack:
        output_ += targetOrStep_;
        if (output_ > 1.0) EnterDecay();
        break;
      case kDecay:
        output_ += targetOrStep_;
        if (output_ <= sustain_) {
          output_ = sustain_;
          stage_ = kSustain;
        }
        break;
      case kRelease:
        output_ += targetOrStep_;
        if (output_ <= 0.0) {
          output_ = 0.0;
          stage_ = kIdle;
        }
        break;
      default:
        break;
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
