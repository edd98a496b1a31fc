#include "engine/Oscillator.h"

#include <cmath>

namespace {

// Reads silence: an oscillator that has not been given a table yet.
const WaveTable kNoTable;

// Read in place of a wave the table does not have.
const std::int16_t kSilentWave[kWaveLength] = {};

constexpr double kSmootherOmega = 12566.370614359172;  // 2 pi * 2000 Hz
constexpr double kButterworthQ = 0.7071067811865476;
constexpr double kSmootherQ = 0.7363961030678928;

}  // namespace

Oscillator::Oscillator() : table_(&kNoTable) { SetSampleRate(44100.0); }

void Oscillator::SetTable(const WaveTable* table) {
  table_ = table != nullptr ? table : &kNoTable;
  recompute_ = true;
}

void Oscillator::SetStartPhase(double phase) {
  // The parameter gives 0 ... 1; anything else is kept within one cycle.
  startPhase_ = phase > 0.0 ? (phase < 1.0 ? phase : 1.0) : 0.0;
}

void Oscillator::SetOctave(std::int32_t octave) {
  octave_ = octave;
  UpdatePitchOffset();
}

void Oscillator::SetSemitone(std::int32_t semitone) {
  semitone_ = semitone;
  UpdatePitchOffset();
}

void Oscillator::SetFine(std::int32_t fine) {
  fine_ = fine;
  UpdatePitchOffset();
}

void Oscillator::SetSampleRate(double rate) {
  const double sanitized = SampleRateTableCache<OscillatorTables>::Sanitize(rate);
  if (!tables_ || tables_->Rate() != sanitized) tables_ = OscillatorTables::ForRate(sanitized);
  fmSmoother_.ClearState();
  fmSmoother_.SetSampleRate(sanitized);
  fmSmoother_.SetOmega(LowPass::BelowNyquist(kSmootherOmega / sanitized));
  fmSmoother_.SetQ(kButterworthQ);
  fmSmoother_.ComputeCoefficients();
  fmSmoother_.SetQ(kSmootherQ);
  fmSmoother_.ComputeCoefficients();
  phase_ = 0;
  increment_ = 0;
}

void Oscillator::SetShape(double shape) {
  if (shape == shapeInput_) return;  // false for NaN on either side
  shapeInput_ = shape;
  // A NaN shape (a broken modulation value) plays the first wave instead of indexing with it.
  if (shape != shape) shape_ = 0.0;
  else shape_ = shape < 0.0 ? 0.0 : (shape > 1.0 ? 1.0 : shape);
  recompute_ = true;
}

void Oscillator::UpdateWavePosition() {
  const std::int32_t count = table_->WaveCount();
  waveCountSeen_ = count;
  const double d = static_cast<double>(count - 1) * shape_;
  const double below = std::floor(d);
  wave_ = interpolate_ ? static_cast<std::int32_t>(below) : RoundHalfAwayToInt32(d);
  nextWave_ = wave_ + 1 < count ? wave_ + 1 : count - 1;
  weight1_ = d - below;
  weight0_ = 1.0 - weight1_;
  switch (table_->Identifier()) {
    case 0:
      secondReadOffset_ = static_cast<std::int32_t>(std::floor(shape_ * 1024.0));
      break;
    case 1:
      secondReadOffset_ = static_cast<std::int32_t>((1.0 - shape_) * 1024.0);
      break;
    case 2:
      secondReadOffset_ = static_cast<std::int32_t>(std::floor((shape_ + 0.5) * 2048.0));
      break;
    default:
      break;
  }
  recompute_ = false;
}

void Oscillator::ControlTick(double basePitch, double modulation) {
  if (recompute_ || table_->WaveCount() != waveCountSeen_) UpdateWavePosition();
  const double p = static_cast<double>(pitchOffset_) + (basePitch + modulation);
  if (!(p > -1.0)) {  // below pitch 0 after truncation, or NaN
    pitch_ = 0;
    muted_ = true;
  } else if (p >= static_cast<double>(kPitchLimit + 1)) {
    pitch_ = kPitchLimit;
    muted_ = true;
  } else {
    pitch_ = static_cast<std::int32_t>(p);
    muted_ = master_ != nullptr && master_->muted_;
  }
  increment_ = tables_->Increment(pitch_);
  level_ = tables_->Level(pitch_);
}

void Oscillator::Prepare() {
  const WaveTable& table = *table_;
  const std::int16_t* samples = table.Level(static_cast<int>(level_));
  const bool readable = table.IsValid() && samples != nullptr;
  const auto count = static_cast<std::uint32_t>(table.WaveCount());
  const auto waveAt = [&](std::int32_t wave) {
    const auto w = static_cast<std::uint32_t>(wave);
    return readable && w < count ? samples + static_cast<std::size_t>(w) * kWaveLength : kSilentWave;
  };
  masterWrapped_ = master_ != nullptr ? &master_->wrapped_ : &kNeverWrapped;
  wave0Samples_ = waveAt(wave_);
  wave1Samples_ = waveAt(nextWave_);
  switch (table.Identifier()) {
    case 0:
      readMode_ = ReadMode::kSaw;
      break;
    case 1:
    case 2:
      readMode_ = ReadMode::kDifference;
      break;
    default:
      readMode_ = interpolate_ ? ReadMode::kCrossfade : ReadMode::kRaw;
      break;
  }
}

void Oscillator::Restart() {
  phase_ = RoundHalfAwayToInt32(static_cast<double>(kPhaseCycle) * startPhase_);
}
