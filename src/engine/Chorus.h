#pragma once

#include <cstdint>
#include <vector>

#include "engine/LowPass.h"
#include "engine/ModulationGenerator.h"

// Stereo chorus modelled on an analogue charge-transfer delay: each channel has a fixed number of
// storage slots (20 ms at the sample rate) that are filled and emptied at a variable clock, so the
// delay follows the clock rate. A triangle generator sweeps the clock between 12.5 % and 100 % of
// the sample rate (2.5 ... 20 ms); 7 kHz low-passes and cubic interpolation smooth the resampling at
// both ends, and the line output can be fed back. The wet signal is mixed with the dry one at equal
// power.
class Chorus {
 public:
  Chorus();

  // Reallocates the lines for a new rate (not on the audio path) and recomputes the clock rate.
  void SetSampleRate(double rate);
  // Silences the lines, filters and histories (when the chorus is switched on or off).
  void Clear();

  // Parameters: Chorus Delay, Depth (0 ... 1), Feedback (-1 ... 1), Mix (0 ... 1), and Speed in Hz
  // (the sweep period is the integer part of 1000 / speed control ticks).
  void SetDelay(double delay) { delay_ = delay; }
  void SetSpeed(double hz) { generator_.SetPeriod(ModulationGenerator::PeriodForFrequency(hz)); }
  void SetDepth(double depth) { depth_ = depth; }
  void SetFeedback(double feedback) { feedback_ = feedback; }
  // Dry and wet gains at equal power; with rampSamples > 0 the gains heard move to them in a
  // straight line over that many samples (a mix turned while the chorus sounds does not step).
  void SetMix(double mix, std::int32_t rampSamples = 0);

  // Whether a line that holds nothing but +0 and is fed +0 only moves its clock (the samples are the
  // same either way; off for the reference render that the block renderer is compared with).
  void SetSkipsSilence(bool on) { skipsSilence_ = on; }
  // Whether both lines hold nothing but +0 (silence in then gives silence out, cheaply).
  bool Silent() const { return AtRest(lines_[0]) && (twins_ || AtRest(lines_[1])); }

  // Once per control tick: advances the sweep and, while the lines are in use, recomputes the clock
  // rate (Clear, when the chorus is switched on, computes it for the sweep's present value).
  void ControlTick(bool inUse = true);

  // One stereo sample in place, while the chorus is on.
  void Process(double& left, double& right);

  std::int32_t SlotCount() const { return slotCount_; }
  // Slots advance once per Rate() samples; the delay is SlotCount() * Rate() samples.
  double Rate() const { return rate_; }
  double DelaySamples() const { return static_cast<double>(slotCount_) * rate_; }
  double DryGain() const { return dryTarget_; }
  double WetGain() const { return wetTarget_; }
  const ModulationGenerator& Generator() const { return generator_; }

 private:
  struct Line {
    LowPass inputFilter;
    LowPass outputFilter;
    double inputHistory[4] = {0.0, 0.0, 0.0, 0.0};
    double outputHistory[4] = {0.0, 0.0, 0.0, 0.0};
    std::vector<double> slots;
    std::int32_t writePosition = 0;
    double clockPhase = 0.0;
    // How many of the last slot writes were +0, up to the slot count (then every slot holds +0).
    std::int32_t zeroWrites = 0;
    // Found at rest, and fed nothing but +0 since.
    bool resting = false;
  };

  void ComputeRate();
  double ProcessLine(Line& line, double x) const;
  bool AtRest(const Line& line) const;
  // Gives the right line the left one's state (no allocation), where twins_ ends.
  void Separate();

  ModulationGenerator generator_;
  Line lines_[2];
  // Whether the right line is the left one: both were cleared, or came to rest, together and have
  // been fed the same samples since. Its own storage is then out of date and the left line's work
  // serves both channels (a source in the middle feeds both the same).
  bool twins_ = true;
  std::int32_t slotCount_ = 0;
  double rate_ = 1.0;
  double inverseRate_ = 1.0;
  double sampleRate_ = 0.0;
  double delay_ = 0.04;
  double depth_ = 0.15;
  double feedback_ = 0.0;
  double dryGain_ = 0.7071067811865476;
  double wetGain_ = 0.7071067811865476;
  double dryTarget_ = 0.7071067811865476;
  double wetTarget_ = 0.7071067811865476;
  double dryStep_ = 0.0;
  double wetStep_ = 0.0;
  bool skipsSilence_ = true;
  std::int32_t mixSamplesLeft_ = 0;
};
