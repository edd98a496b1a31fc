#pragma once

#include <cstdint>
#include <memory>

#include "engine/FilterTables.h"
#include "engine/ForceInline.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The voice's stereo ladder filter: four bilinear one-pole sections with the feedback loop solved
// exactly each sample (no unit delay in the loop) and a soft-saturating feedback path. Both channels
// share one set of coefficients, recomputed only when the cutoff pitch changes.
//
// The cutoff is a pitch: a base cutoff that slews one pitch unit per sample toward the Filter Cutoff
// parameter while the voice sounds, plus a per-sample modulation offset from the voice.
class VoiceFilter {
 public:
  enum Type : std::int32_t { kLowpass24 = 0, kLowpass12 = 1, kHighpass24 = 2 };

  // Starts at 44100 Hz.
  VoiceFilter() { SetSampleRate(44100.0); }

  // Picks the coefficient tables of this rate and resets the state (current cutoff 0).
  void SetSampleRate(double rate);
  // Filter Type value, rounded; a change resets the state and keeps the cutoff.
  void SetType(double type);
  // Filter Cutoff engine value (pitch units). While the voice's Amp EG is active the base cutoff
  // slews toward it; otherwise it jumps.
  void SetCutoff(double pitch, bool ampEgActive);
  // Filter Resonance, normalised 0 ... 1.
  void SetResonance(double resonance);

  // Filters one stereo sample in place; modulation is the voice's integer cutoff offset in pitch
  // units (Filter EG, key tracking, cFM).
  void Process(double& left, double& right, std::int32_t modulation);

  // Several filters over a stretch of samples: filter k processes left[k][j], right[k][j] with
  // modulation[k][j], exactly as Process would. Where the processor has AVX, two filters share the
  // vector registers, so that twice the work goes into each instruction.
  static void ProcessGroup(VoiceFilter* const* filters, int count, double* const* left, double* const* right,
                           const std::int32_t* const* modulation, int samples);

  std::int32_t Type() const { return type_; }
  std::int32_t CurrentCutoff() const { return currentCutoff_; }
  std::int32_t TargetCutoff() const { return targetCutoff_; }
  double Resonance() const { return resonance_; }
  double Feedback() const { return k_; }
  double OutputGain() const { return outputGain_; }

 private:
  // Renders voices side by side with this record's own arithmetic.
  friend class VoiceLanes;

 private:
  void ResetState();
  void UpdateResonanceTerms();
  void UpdateCoefficients(int pitch);
  void ProcessStereo(double& left, double& right);
  // Slew, cutoff index and coefficients for the coming sample.
  void Advance(std::int32_t modulation);
  static bool HaveAvx();
  static void ProcessPairsAvx(VoiceFilter* const* filters, int pairs, double* const* left, double* const* right,
                              const std::int32_t* const* modulation, int samples);
#if !defined(__SSE2__)
  double ProcessChannel(double x, int channel);
#endif

  std::shared_ptr<const FilterTables> tables_;
  double lastSampleRate_ = 1.0;
  std::int32_t targetCutoff_ = 0;
  double resonance_ = 0.0;
  std::int32_t type_ = kLowpass24;
  double g4_ = 0.0;
  double g_ = 0.0;
  double b_ = 0.0;
  double k_ = 0.0;
  double outputGain_ = 0.0;
  double d_ = 0.0;
  std::int32_t currentCutoff_ = 0;
  std::int32_t lastIndex_ = -1;
  // From resonance and type: the feedback before the per-pitch limit (resonance, a little less for
  // Lowpass 12) and the output gain 2 - (2 |resonance - 0.5|)^2.
  double feedbackScale_ = 0.0;
  double resonanceGain_ = 1.0;
  std::int32_t slewDirection_ = 0;
  // Stage memories s1 ... s4, each for the left and the right channel.
  double state_[4][2] = {{0.0, 0.0}, {0.01, 0.01}, {0.0, 0.0}, {-0.01, -0.01}};
  // Added to the input and the memories and flipped every sample, so that a decaying filter never
  // runs into subnormal numbers.
  double denormalOffset_ = 1e-13;
};

TARVOLIN_FORCE_INLINE void VoiceFilter::UpdateCoefficients(int pitch) {
  // The resonance terms (feedback scale, output gain) are worked out when resonance or type change.
  const FilterTables& t = *tables_;
  k_ = feedbackScale_ * t.MaxFeedback(pitch);
  b_ = t.Pole(pitch);
  g_ = type_ == kHighpass24 ? t.HighpassGain(pitch) : t.LowpassGain(pitch);
  g4_ = g_ * g_ * g_ * g_;
  d_ = 1.0 / (k_ * g4_ + 1.0);
  outputGain_ = resonanceGain_;
}

#if defined(__SSE2__)

// Both channels at once: they share every coefficient, so the same operations run on the two lanes
// of a vector and give exactly the results of the scalar steps below.
TARVOLIN_FORCE_INLINE void VoiceFilter::ProcessStereo(double& left, double& right) {
  const __m128d zero = _mm_setzero_pd();
  const __m128d offset = _mm_set1_pd(denormalOffset_);
  const auto clean = [&](__m128d v) {  // NaN becomes 0, anything else gets the offset
    return _mm_and_pd(_mm_cmpord_pd(v, v), _mm_add_pd(v, offset));
  };
  const __m128d x = clean(_mm_set_pd(right, left));
  __m128d s0 = clean(_mm_loadu_pd(state_[0]));
  __m128d s1 = clean(_mm_loadu_pd(state_[1]));
  __m128d s2 = clean(_mm_loadu_pd(state_[2]));
  __m128d s3 = clean(_mm_loadu_pd(state_[3]));
  const __m128d g = _mm_set1_pd(g_);
  const __m128d y = _mm_mul_pd(
      _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(g, s0), s1), g), s2), g), s3),
                 _mm_mul_pd(x, _mm_set1_pd(g4_))),
      _mm_set1_pd(d_));
  const __m128d t = _mm_mul_pd(_mm_set1_pd(0.2), y);
  const __m128d tt = _mm_mul_pd(t, t);
  __m128d f = _mm_div_pd(_mm_mul_pd(_mm_mul_pd(_mm_set1_pd(5.0), t), _mm_add_pd(tt, _mm_set1_pd(27.0))),
                         _mm_add_pd(_mm_mul_pd(_mm_set1_pd(9.0), tt), _mm_set1_pd(27.0)));
  const __m128d low = _mm_cmplt_pd(t, _mm_set1_pd(-3.0));
  const __m128d high = _mm_cmpgt_pd(t, _mm_set1_pd(3.0));
  f = _mm_or_pd(_mm_andnot_pd(_mm_or_pd(low, high), f),
                _mm_or_pd(_mm_and_pd(low, _mm_set1_pd(-5.0)), _mm_and_pd(high, _mm_set1_pd(5.0))));
  const __m128d v1 = _mm_mul_pd(_mm_sub_pd(x, _mm_mul_pd(f, _mm_set1_pd(k_))), g);
  const __m128d o1 = _mm_add_pd(s0, v1);
  const __m128d v2 = _mm_mul_pd(o1, g);
  const __m128d o2 = _mm_add_pd(s1, v2);
  const __m128d v3 = _mm_mul_pd(o2, g);
  const __m128d o3 = _mm_add_pd(s2, v3);
  const __m128d v4 = _mm_mul_pd(o3, g);
  const __m128d o4 = _mm_add_pd(s3, v4);
  const __m128d b = _mm_set1_pd(b_);
  // Highpass sections feed back the negated stage input.
  const __m128d sign = type_ == kHighpass24 ? _mm_set1_pd(-0.0) : zero;
  _mm_storeu_pd(state_[0], _mm_sub_pd(_mm_xor_pd(v1, sign), _mm_mul_pd(b, o1)));
  _mm_storeu_pd(state_[1], _mm_sub_pd(_mm_xor_pd(v2, sign), _mm_mul_pd(b, o2)));
  _mm_storeu_pd(state_[2], _mm_sub_pd(_mm_xor_pd(v3, sign), _mm_mul_pd(b, o3)));
  _mm_storeu_pd(state_[3], _mm_sub_pd(_mm_xor_pd(v4, sign), _mm_mul_pd(b, o4)));
  const __m128d out = _mm_mul_pd(type_ == kLowpass12 ? o2 : y, _mm_set1_pd(outputGain_));
  left = _mm_cvtsd_f64(out);
  right = _mm_cvtsd_f64(_mm_unpackhi_pd(out, out));
}

#else

TARVOLIN_FORCE_INLINE double VoiceFilter::ProcessChannel(double x, int channel) {
  const double offset = denormalOffset_;
  if (x != x) x = 0.0;
  else x += offset;
  double s[4];
  for (int n = 0; n < 4; ++n) {
    s[n] = state_[n][channel];
    if (s[n] != s[n]) s[n] = 0.0;
    else s[n] += offset;
  }
  const double g = g_;
  // The loop's output solved from the four memories and the input.
  const double y = ((((g * s[0] + s[1]) * g + s[2]) * g + s[3]) + x * g4_) * d_;
  const double t = 0.2 * y;
  double f;
  if (t < -3.0) f = -5.0;
  else if (t > 3.0) f = 5.0;
  else f = 5.0 * t * (t * t + 27.0) / (9.0 * (t * t) + 27.0);
  const double v1 = (x - f * k_) * g;
  const double o1 = s[0] + v1;
  const double v2 = o1 * g;
  const double o2 = s[1] + v2;
  const double v3 = o2 * g;
  const double o3 = s[2] + v3;
  const double v4 = o3 * g;
  const double o4 = s[3] + v4;
  const double b = b_;
  if (type_ == kHighpass24) {
    state_[0][channel] = -v1 - b * o1;
    state_[1][channel] = -v2 - b * o2;
    state_[2][channel] = -v3 - b * o3;
    state_[3][channel] = -v4 - b * o4;
  } else {
    state_[0][channel] = v1 - b * o1;
    state_[1][channel] = v2 - b * o2;
    state_[2][channel] = v3 - b * o3;
    state_[3][channel] = v4 - b * o4;
  }
  return (type_ == kLowpass12 ? o2 : y) * outputGain_;
}

TARVOLIN_FORCE_INLINE void VoiceFilter::ProcessStereo(double& left, double& right) {
  left = ProcessChannel(left, 0);
  right = ProcessChannel(right, 1);
}

#endif

TARVOLIN_FORCE_INLINE void VoiceFilter::Advance(std::int32_t modulation) {
  if (currentCutoff_ != targetCutoff_) {
    currentCutoff_ += slewDirection_;
    if (slewDirection_ >= 0) {
      if (currentCutoff_ > targetCutoff_) currentCutoff_ = targetCutoff_;
    } else if (currentCutoff_ < targetCutoff_) {
      currentCutoff_ = targetCutoff_;
    }
  }
  // Indices beyond the tables hold the coefficients of the end entries, so comparing the clamped
  // index recomputes exactly when the coefficients change.
  std::int64_t p = static_cast<std::int64_t>(currentCutoff_) + modulation;
  if (p < 0) p = 0;
  else if (p > kPitchLimit) p = kPitchLimit;
  if (p != lastIndex_) {
    lastIndex_ = static_cast<std::int32_t>(p);
    UpdateCoefficients(lastIndex_);
  }
}

TARVOLIN_FORCE_INLINE void VoiceFilter::Process(double& left, double& right, std::int32_t modulation) {
  Advance(modulation);
  ProcessStereo(left, right);
  denormalOffset_ = -denormalOffset_;
}
