#include "engine/ModulationGenerator.h"

#include <cmath>

#include "engine/NumericConversion.h"

constinit RandomSequence ModulationGenerator::sampleHold_{1};

std::int64_t ModulationGenerator::PeriodForFrequency(double hz) {
  if (!(hz > 0.0)) return 0;
  return TruncateToInt64(1000.0 / hz);
}

void ModulationGenerator::SetPeriod(std::int64_t period) {
  if (!synced_) {
    // Keep the same fraction of the cycle still to go.
    if (period > 0 && counter_ < period_) {
      counter_ = TruncateToInt64(static_cast<double>(period) / static_cast<double>(period_) *
                                 static_cast<double>(counter_));
    } else {
      counter_ = 0;
    }
    period_ = period;
    reciprocal_ = 1.0 / static_cast<double>(period - 1);
  }
  freePeriod_ = period;
}

void ModulationGenerator::SetWaveform(double waveform) { waveform_ = TruncateToInt32(waveform); }

void ModulationGenerator::SetSyncRate(double rate) {
  std::int32_t r = TruncateToInt32(rate);
  if (r < 0) r = 0;
  if (r >= TempoClocks::kNoteValueCount) r = TempoClocks::kNoteValueCount - 1;
  syncRate_ = r;
}

void ModulationGenerator::SetSynced(bool synced) {
  const bool was = synced_;
  synced_ = synced;
  if (was && !synced) SetPeriod(freePeriod_);
}

void ModulationGenerator::Tick(const TempoClocks* clocks, std::int32_t controlInterval) {
  if (synced_ && clocks != nullptr) {
    // The cycle is the note value; the counter is the part of it still to go. Scaling both by twice
    // the control interval only keeps integer resolution. Real arithmetic avoids overflow at very
    // slow tempos and is exact below 2^53.
    const double scale = static_cast<double>(controlInterval) * 2.0;
    counter_ = TruncateToInt64(static_cast<double>(clocks->Countdown(syncRate_)) * scale);
    period_ = TruncateToInt64(static_cast<double>(clocks->RoundedLength(syncRate_)) * scale);
    reciprocal_ = 1.0 / static_cast<double>(period_ - 1);
  }
  if (counter_ >= period_) counter_ = 0;
  // The ramp rises from -1 to +1 as the counter runs down from period - 1 to 0.
  const double r = period_ >= 2 ? 1.0 - 2.0 * static_cast<double>(counter_) * reciprocal_ : 0.0;
  switch (waveform_) {
    case kSine:
      output_ = std::sin((r + 1.0) * 3.141592653589793);
      break;
    case kTriangle:
      output_ = r < 0.0 ? 2.0 * r + 1.0 : 2.0 * (1.0 - r) - 1.0;
      break;
    case kSawDown:
      output_ = -r;
      break;
    case kSawUp:
      output_ = r;
      break;
    case kRectangle:
      output_ = r < 0.0 ? 1.0 : -1.0;
      break;
    case kSampleHold:
      if (r < previousRamp_) heldValue_ = sampleHold_.Next();  // a new cycle began
      output_ = heldValue_;
      previousRamp_ = r;
      break;
    default:
      break;
  }
  --counter_;
  if (counter_ < 0) counter_ = synced_ ? 0 : period_ - 1;
}
