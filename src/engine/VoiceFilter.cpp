#include "engine/VoiceFilter.h"

#include <cmath>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TARVOLIN_FILTER_AVX 1
#endif

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

void VoiceFilter::ProcessGroup(VoiceFilter* const* filters, int count, double* const* left, double* const* right,
                               const std::int32_t* const* modulation, int samples) {
  int done = 0;
  if (count >= 2 && HaveAvx()) {
    ProcessPairsAvx(filters, count / 2, left, right, modulation, samples);
    done = count / 2 * 2;
  }
  for (int j = 0; j < samples; ++j) {
    for (int k = done; k < count; ++k) filters[k]->Process(left[k][j], right[k][j], modulation[k][j]);
  }
}

#if defined(TARVOLIN_FILTER_AVX)

bool VoiceFilter::HaveAvx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}

namespace {

// Two filters' values, each for both channels: {a, a, b, b}.
__attribute__((target("avx"))) inline __m256d Both(double a, double b) {
  return _mm256_set_pd(b, b, a, a);
}

// One stage memory of two filters: {a left, a right, b left, b right}.
__attribute__((target("avx"))) inline __m256d LoadPair(const double* a, const double* b) {
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(a)), _mm_loadu_pd(b), 1);
}

// NaN becomes 0, anything else gets the denormal offset.
__attribute__((target("avx"))) inline __m256d Clean(__m256d v, __m256d offset) {
  return _mm256_and_pd(_mm256_cmp_pd(v, v, _CMP_ORD_Q), _mm256_add_pd(v, offset));
}

__attribute__((target("avx"))) inline void StorePair(double* a, double* b, __m256d v) {
  _mm_storeu_pd(a, _mm256_castpd256_pd128(v));
  _mm_storeu_pd(b, _mm256_extractf128_pd(v, 1));
}

}  // namespace

// The arithmetic of ProcessStereo, lane for lane, for two filters at once.
__attribute__((target("avx"))) void VoiceFilter::ProcessPairsAvx(VoiceFilter* const* filters, int pairs,
                                                                  double* const* left, double* const* right,
                                                                  const std::int32_t* const* modulation,
                                                                  int samples) {
  for (int j = 0; j < samples; ++j) {
    for (int p = 0; p < pairs; ++p) {
      VoiceFilter& a = *filters[2 * p];
      VoiceFilter& b = *filters[2 * p + 1];
      double& la = left[2 * p][j];
      double& ra = right[2 * p][j];
      double& lb = left[2 * p + 1][j];
      double& rb = right[2 * p + 1][j];
      a.Advance(modulation[2 * p][j]);
      b.Advance(modulation[2 * p + 1][j]);
      const __m256d offset = Both(a.denormalOffset_, b.denormalOffset_);
      const __m256d x = Clean(_mm256_set_pd(rb, lb, ra, la), offset);
      const __m256d s0 = Clean(LoadPair(a.state_[0], b.state_[0]), offset);
      const __m256d s1 = Clean(LoadPair(a.state_[1], b.state_[1]), offset);
      const __m256d s2 = Clean(LoadPair(a.state_[2], b.state_[2]), offset);
      const __m256d s3 = Clean(LoadPair(a.state_[3], b.state_[3]), offset);
      const __m256d g = Both(a.g_, b.g_);
      const __m256d y = _mm256_mul_pd(
          _mm256_add_pd(
              _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(g, s0), s1), g), s2), g),
                            s3),
              _mm256_mul_pd(x, Both(a.g4_, b.g4_))),
          Both(a.d_, b.d_));
      const __m256d t = _mm256_mul_pd(_mm256_set1_pd(0.2), y);
      const __m256d tt = _mm256_mul_pd(t, t);
      __m256d f = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(5.0), t), _mm256_add_pd(tt, _mm256_set1_pd(27.0))),
                                _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(9.0), tt), _mm256_set1_pd(27.0)));
      const __m256d low = _mm256_cmp_pd(t, _mm256_set1_pd(-3.0), _CMP_LT_OS);
      const __m256d high = _mm256_cmp_pd(t, _mm256_set1_pd(3.0), _CMP_GT_OS);
      f = _mm256_or_pd(_mm256_andnot_pd(_mm256_or_pd(low, high), f),
                       _mm256_or_pd(_mm256_and_pd(low, _mm256_set1_pd(-5.0)), _mm256_and_pd(high, _mm256_set1_pd(5.0))));
      const __m256d v1 = _mm256_mul_pd(_mm256_sub_pd(x, _mm256_mul_pd(f, Both(a.k_, b.k_))), g);
      const __m256d o1 = _mm256_add_pd(s0, v1);
      const __m256d v2 = _mm256_mul_pd(o1, g);
      const __m256d o2 = _mm256_add_pd(s1, v2);
      const __m256d v3 = _mm256_mul_pd(o2, g);
      const __m256d o3 = _mm256_add_pd(s2, v3);
      const __m256d v4 = _mm256_mul_pd(o3, g);
      const __m256d o4 = _mm256_add_pd(s3, v4);
      const __m256d pole = Both(a.b_, b.b_);
      // Highpass sections feed back the negated stage input.
      const __m256d sign = Both(a.type_ == kHighpass24 ? -0.0 : 0.0, b.type_ == kHighpass24 ? -0.0 : 0.0);
      StorePair(a.state_[0], b.state_[0], _mm256_sub_pd(_mm256_xor_pd(v1, sign), _mm256_mul_pd(pole, o1)));
      StorePair(a.state_[1], b.state_[1], _mm256_sub_pd(_mm256_xor_pd(v2, sign), _mm256_mul_pd(pole, o2)));
      StorePair(a.state_[2], b.state_[2], _mm256_sub_pd(_mm256_xor_pd(v3, sign), _mm256_mul_pd(pole, o3)));
      StorePair(a.state_[3], b.state_[3], _mm256_sub_pd(_mm256_xor_pd(v4, sign), _mm256_mul_pd(pole, o4)));
      // Lowpass 12 takes the second stage's output.
      const __m256d second = _mm256_castsi256_pd(_mm256_set_epi64x(
          b.type_ == kLowpass12 ? -1 : 0, b.type_ == kLowpass12 ? -1 : 0, a.type_ == kLowpass12 ? -1 : 0,
          a.type_ == kLowpass12 ? -1 : 0));
      const __m256d out = _mm256_mul_pd(_mm256_blendv_pd(y, o2, second), Both(a.outputGain_, b.outputGain_));
      const __m128d outA = _mm256_castpd256_pd128(out);
      const __m128d outB = _mm256_extractf128_pd(out, 1);
      la = _mm_cvtsd_f64(outA);
      ra = _mm_cvtsd_f64(_mm_unpackhi_pd(outA, outA));
      lb = _mm_cvtsd_f64(outB);
      rb = _mm_cvtsd_f64(_mm_unpackhi_pd(outB, outB));
      a.denormalOffset_ = -a.denormalOffset_;
      b.denormalOffset_ = -b.denormalOffset_;
    }
  }
}

#else

bool VoiceFilter::HaveAvx() { return false; }

void VoiceFilter::ProcessPairsAvx(VoiceFilter* const*, int, double* const*, double* const*, const std::int32_t* const*,
                                  int) {}

#endif
