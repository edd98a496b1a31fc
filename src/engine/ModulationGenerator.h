#pragma once

#include <cstdint>

#include "engine/RandomSequence.h"
#include "engine/TempoClocks.h"

// A low-frequency modulation generator (MG 1, MG 2, Vibrato, and the chorus's sweep). It computes one
// value per control tick from a counter that runs down through a cycle of period ticks; free running
// the period comes from its frequency, synced it follows one of the tempo clocks.
class ModulationGenerator {
 public:
  enum Waveform : std::int32_t {
    kSine = 0,
    kTriangle = 1,
    kSawDown = 2,
    kSawUp = 3,
    kRectangle = 4,
    kSampleHold = 5,
  };

  ModulationGenerator() = default;

  // Cycle length in control ticks for a frequency in Hz: the integer part of 1000 / hz (saturated;
  // 0 for anything that is not a positive frequency).
  static std::int64_t PeriodForFrequency(double hz);

  // Free-running period in control ticks. Keeps the position within the cycle.
  void SetPeriod(std::int64_t period);
  // Waveform and sync-rate parameter values (the integer part is used; the sync rate is kept within
  // the 20 note values).
  void SetWaveform(double waveform);
  void SetSyncRate(double rate);
  // Follow the tempo clocks; switching back restores the free-running period.
  void SetSynced(bool synced);

  // Once per control tick, before the voices read the output. clocks may be nullptr for a generator
  // that is never synced; controlInterval is the control tick length in samples.
  void Tick(const TempoClocks* clocks, std::int32_t controlInterval);

  double Output() const { return output_; }
  // Voices read the output by reference.
  const double& OutputRef() const { return output_; }
  std::int32_t Waveform() const { return waveform_; }
  std::int64_t Period() const { return period_; }
  std::int64_t FreePeriod() const { return freePeriod_; }
  std::int64_t Counter() const { return counter_; }
  std::int32_t SyncRate() const { return syncRate_; }
  bool Synced() const { return synced_; }

  // The Sample/Hold values: one sequence for every generator in the process, apart from the noise.
  static RandomSequence& SampleHoldSequence() { return sampleHold_; }

 private:
  static RandomSequence sampleHold_;

  double output_ = 0.0;
  std::int32_t waveform_ = kSine;
  std::int64_t period_ = 1;
  std::int64_t freePeriod_ = 1;
  std::int32_t syncRate_ = 9;
  std::int64_t counter_ = 0;
  double reciprocal_ = 0.0;
  double heldValue_ = 0.0;
  double previousRamp_ = 0.0;
  bool synced_ = false;
};
