#pragma once

#include <cstdint>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/ForceInline.h"
#include "engine/LowPass.h"
#include "engine/NumericConversion.h"
#include "engine/OscillatorTables.h"
#include "engine/SampleRateTableCache.h"
#include "wavetable/WaveTable.h"

// One wave-table oscillator of a voice. The phase is 27-bit fixed point: the top 11 bits index the
// 2048-sample wave. Everything pitch- and shape-dependent is worked out once per control tick
// (ControlTick); Render produces one sample from integer phase arithmetic, one FM smoothing step and
// two table reads.
//
// Tables 0 ("Saw"), 1 ("Pulse") and 2 ("Full PWM") are played by reading the wave twice at a
// shape-dependent distance; every other table crossfades between neighbouring waves ("Interpolate")
// or plays the nearest wave ("Raw").
class Oscillator {
 public:
  static constexpr std::int32_t kPhaseCycle = 1 << 27;
  static constexpr std::int32_t kPhaseMask = kPhaseCycle - 1;
  // Below this the FM smoother's decay moves the read position by far less than half a phase step
  // (2^-28 of a cycle) however it continues, so the smoother is put at rest there.
  static constexpr double kFmRest = 1e-12;

  Oscillator();

  // The wave table this oscillator reads (kept by reference; nullptr reads silence). Marks the wave
  // position for recomputation.
  void SetTable(const WaveTable* table);
  // Another oscillator of the same voice that restarts this one when it wraps (Hard Sync), or nullptr.
  void SetSyncMaster(const Oscillator* master) { master_ = master; }
  void SetInterpolate(bool interpolate) { interpolate_ = interpolate; }
  // Start phase in cycles, 0 ... 1 (Start Phase / 360).
  void SetStartPhase(double phase);
  // Tuning: octave index - 1 (-1 ... 2), semitones (-12 ... 12), fine pitch units (-64 ... 64).
  void SetOctave(std::int32_t octave);
  void SetSemitone(std::int32_t semitone);
  void SetFine(std::int32_t fine);

  // Picks the pitch tables of this rate, resets the FM smoother for it and stops the phase.
  void SetSampleRate(double rate);
  // Wave shape with its modulation, unclamped; a change takes effect at the next control tick.
  void SetShape(double shape);
  // The table was rebuilt or reselected: recompute the wave position at the next control tick.
  void MarkTableChanged() { recompute_ = true; }
  // Once per control tick, switched on or not: wave position (when due), pitch, increment and level.
  // basePitch and modulation are in pitch units.
  void ControlTick(double basePitch, double modulation);
  // Note-on restart: the phase goes to the start phase.
  void Restart();

  // One output sample, -1 ... 1. fmInput is the linear-FM phase input in cycles.
  double Render(double fmInput);

  // The voice's render loop: Prepare once for a stretch of samples in which neither the table nor
  // the wave position and level change (between control ticks), then RenderPrepared per sample; the
  // results are those of Render. smoothFm false promises that the FM input is 0 and the smoother at
  // rest for the whole stretch, so its step is left out.
  void Prepare();
  double RenderPrepared(double fmInput, bool smoothFm);
  bool FmSmootherAtRest() const { return fmSmoother_.IsSilent(); }

  // State, for the voice (hard sync, muting) and for tests.
  bool IsMuted() const { return muted_; }
  bool Wrapped() const { return wrapped_; }
  std::int32_t Phase() const { return phase_; }
  std::int32_t Increment() const { return increment_; }
  std::int32_t Pitch() const { return pitch_; }
  std::uint32_t Level() const { return level_; }
  std::int32_t PitchOffset() const { return pitchOffset_; }
  double Shape() const { return shape_; }
  std::int32_t Wave() const { return wave_; }
  std::int32_t NextWave() const { return nextWave_; }
  double Weight0() const { return weight0_; }
  double Weight1() const { return weight1_; }
  std::int32_t SecondReadOffset() const { return secondReadOffset_; }
  const OscillatorTables& Tables() const { return *tables_; }

  // A table sample as a single-precision value in -1 ... 1: sample / 32767 rounded to float. The
  // double product rounded to float equals the float quotient for every 16-bit sample and avoids a
  // division per read.
  static float SampleValue(std::int16_t sample) {
    return static_cast<float>(static_cast<double>(sample) * (1.0 / 32767.0));
  }

 private:
  // Renders voices side by side with this record's own arithmetic.
  friend class VoiceLanes;

 private:
  void UpdateWavePosition();
  void UpdatePitchOffset() { pitchOffset_ = octave_ * 1536 + semitone_ * 128 + fine_; }
  void SyncToMaster();
  double Read(std::uint32_t index) const;
  double ReadPrepared(std::uint32_t index) const;

  enum class ReadMode : std::uint8_t { kSaw, kDifference, kCrossfade, kRaw };
  // Set by Prepare: the two waves read (a silent wave where the table has none) and how.
  const std::int16_t* wave0Samples_ = nullptr;
  // The sync master's wrapped flag, or a flag that never rises.
  const bool* masterWrapped_ = &kNeverWrapped;
  static constexpr bool kNeverWrapped = false;
  const std::int16_t* wave1Samples_ = nullptr;
  ReadMode readMode_ = ReadMode::kRaw;

  const WaveTable* table_;
  const Oscillator* master_ = nullptr;
  std::shared_ptr<const OscillatorTables> tables_;
  LowPass fmSmoother_;
  bool interpolate_ = false;
  bool muted_ = true;
  bool recompute_ = false;
  bool wrapped_ = false;
  double shapeInput_ = 0.0;
  double startPhase_ = 0.0;
  double weight0_ = 1.0;
  double weight1_ = 0.0;
  double shape_ = 0.0;
  std::int32_t octave_ = 0;
  std::int32_t semitone_ = 0;
  std::int32_t fine_ = 0;
  std::int32_t waveCountSeen_ = -1;
  std::uint32_t level_ = 0;
  std::int32_t wave_ = 0;
  std::int32_t nextWave_ = 0;
  std::int32_t pitchOffset_ = 0;
  std::int32_t pitch_ = 0;
  std::int32_t phase_ = 0;
  std::int32_t increment_ = 0;
  std::int32_t secondReadOffset_ = 0;
};

TARVOLIN_FORCE_INLINE void Oscillator::SyncToMaster() {
  // Restart from the start phase, advanced by the part of this sample that has passed since the
  // master wrapped: the master's phase after its wrap is that part of its increment.
  auto phase = static_cast<std::uint32_t>(
      RoundHalfAwayToInt32(static_cast<double>(kPhaseCycle) * startPhase_));
  if (master_->increment_ > 0) {
    phase += static_cast<std::uint32_t>(RoundHalfAwayToInt32(
        static_cast<double>(increment_) * master_->phase_ / master_->increment_));
  }
  phase_ = static_cast<std::int32_t>(phase);
}

TARVOLIN_FORCE_INLINE double Oscillator::Read(std::uint32_t index) const {
  const WaveTable& table = *table_;
  const std::int16_t* samples = table.Level(static_cast<int>(level_));
  if (!table.IsValid() || samples == nullptr) return 0.0;
  const auto count = static_cast<std::uint32_t>(table.WaveCount());
  const auto sample = [samples, count](std::int32_t wave, std::uint32_t i) -> double {
    const auto w = static_cast<std::uint32_t>(wave);
    if (w >= count) return 0.0;
    return SampleValue(samples[w * kWaveLength + i]);
  };
  switch (table.Identifier()) {
    case 0:  // Saw: the wave plus a copy shifted by the shape.
      return (sample(wave_, index) + sample(wave_, (index + secondReadOffset_) & 2047u)) * 0.5;
    case 1:  // Pulse and Full PWM: the difference of two shifted saws.
    case 2:
      return sample(wave_, index) - sample(wave_, (index + secondReadOffset_) & 2047u);
    default:
      if (interpolate_) return sample(nextWave_, index) * weight1_ + sample(wave_, index) * weight0_;
      return sample(wave_, index);
  }
}

TARVOLIN_FORCE_INLINE double Oscillator::Render(double fmInput) {
  double out = 0.0;
  if (!muted_) {
    if (master_ != nullptr && master_->wrapped_) SyncToMaster();
    // Linear FM acts on the read position only, so it modulates the phase without moving it. Without
    // FM the smoother stays at rest and its step can be skipped.
    std::int32_t offset = 0;
    if (fmInput != 0.0 || !fmSmoother_.IsSilent()) {
      const double y = fmSmoother_.Process(fmInput);
      offset = RoundHalfAwayToInt32(y * static_cast<double>(kPhaseCycle));
      if (fmInput == 0.0) fmSmoother_.SettleBelow(kFmRest);
    }
    const std::uint32_t index =
        ((static_cast<std::uint32_t>(phase_) + static_cast<std::uint32_t>(offset)) >> 16) & 2047u;
    out = Read(index);
  }
  const auto phase = static_cast<std::int32_t>(static_cast<std::uint32_t>(phase_) +
                                               static_cast<std::uint32_t>(increment_));
  wrapped_ = phase >= kPhaseCycle;
  phase_ = wrapped_ ? phase & kPhaseMask : phase;
  return out;
}

#if defined(__SSE2__)
// Two table samples as Oscillator::SampleValue gives them, converted side by side.
TARVOLIN_FORCE_INLINE __m128d SampleValues(std::int16_t a, std::int16_t b) {
  const __m128d d = _mm_mul_pd(_mm_cvtepi32_pd(_mm_setr_epi32(a, b, 0, 0)), _mm_set1_pd(1.0 / 32767.0));
  return _mm_cvtps_pd(_mm_cvtpd_ps(d));
}
#endif

TARVOLIN_FORCE_INLINE double Oscillator::ReadPrepared(std::uint32_t index) const {
  const std::int16_t* w0 = wave0Samples_;
#if defined(__SSE2__)
  switch (readMode_) {
    case ReadMode::kSaw: {
      const __m128d v = SampleValues(w0[index], w0[(index + static_cast<std::uint32_t>(secondReadOffset_)) & 2047u]);
      return (_mm_cvtsd_f64(v) + _mm_cvtsd_f64(_mm_unpackhi_pd(v, v))) * 0.5;
    }
    case ReadMode::kDifference: {
      const __m128d v = SampleValues(w0[index], w0[(index + static_cast<std::uint32_t>(secondReadOffset_)) & 2047u]);
      return _mm_cvtsd_f64(v) - _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
    }
    case ReadMode::kCrossfade: {
      const __m128d v = _mm_mul_pd(SampleValues(wave1Samples_[index], w0[index]), _mm_setr_pd(weight1_, weight0_));
      return _mm_cvtsd_f64(v) + _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
    }
    default:
      return SampleValue(w0[index]);
  }
#else
  switch (readMode_) {
    case ReadMode::kSaw:
      return (static_cast<double>(SampleValue(w0[index])) +
              static_cast<double>(SampleValue(w0[(index + static_cast<std::uint32_t>(secondReadOffset_)) & 2047u]))) *
             0.5;
    case ReadMode::kDifference:
      return static_cast<double>(SampleValue(w0[index])) -
             static_cast<double>(SampleValue(w0[(index + static_cast<std::uint32_t>(secondReadOffset_)) & 2047u]));
    case ReadMode::kCrossfade:
      return static_cast<double>(SampleValue(wave1Samples_[index])) * weight1_ +
             static_cast<double>(SampleValue(w0[index])) * weight0_;
    default:
      return SampleValue(w0[index]);
  }
#endif
}

TARVOLIN_FORCE_INLINE double Oscillator::RenderPrepared(double fmInput, bool smoothFm) {
  double out = 0.0;
  if (!muted_) {
    if (*masterWrapped_) SyncToMaster();
    std::int32_t offset = 0;
    if (smoothFm && (fmInput != 0.0 || !fmSmoother_.IsSilent())) {
      const double y = fmSmoother_.Process(fmInput);
      offset = RoundHalfAwayToInt32(y * static_cast<double>(kPhaseCycle));
      if (fmInput == 0.0) fmSmoother_.SettleBelow(kFmRest);
    }
    const std::uint32_t index =
        ((static_cast<std::uint32_t>(phase_) + static_cast<std::uint32_t>(offset)) >> 16) & 2047u;
    out = ReadPrepared(index);
  }
  const auto phase = static_cast<std::int32_t>(static_cast<std::uint32_t>(phase_) +
                                               static_cast<std::uint32_t>(increment_));
  wrapped_ = phase >= kPhaseCycle;
  phase_ = wrapped_ ? phase & kPhaseMask : phase;
  return out;
}
