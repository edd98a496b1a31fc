#include "engine/Chorus.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/NumericConversion.h"

namespace {

constexpr double kButterworthQ = 0.7071067811865476;
constexpr double kBandOmega = 43982.2971502571;  // 2 pi * 7000 Hz
// Bounds the line against absurd host rates (a 20 ms line at 10 MHz).
constexpr std::int32_t kMaxSlots = 200000;

// Four-point cubic (Catmull-Rom) interpolation between p1 and p2, its terms found once for the
// four points and evaluated at any t in the same order as the whole expression.
struct Cubic {
  explicit Cubic(const double* p)
      : p1(p[1]),
        slope(0.5 * (p[2] - p[0])),
        curve(p[0] - 2.5 * p[1] + 2.0 * p[2] - 0.5 * p[3]),
        bend(0.5 * (p[3] - p[0]) + 1.5 * (p[1] - p[2])) {}
  double At(double t) const { return p1 + slope * t + curve * (t * t) + bend * (t * t * t); }
  double p1, slope, curve, bend;
};

// +0 has no bit set.
inline bool PositiveZero(double v) { return std::bit_cast<std::uint64_t>(v) == 0; }

inline bool PositiveZeros(const double* p) {
  return (std::bit_cast<std::uint64_t>(p[0]) | std::bit_cast<std::uint64_t>(p[1]) | std::bit_cast<std::uint64_t>(p[2]) |
          std::bit_cast<std::uint64_t>(p[3])) == 0;
}

inline void Shift(double* history, double value) {
  history[0] = history[1];
  history[1] = history[2];
  history[2] = history[3];
  history[3] = value;
}

}  // namespace

Chorus::Chorus() {
  generator_.SetWaveform(ModulationGenerator::kTriangle);
  generator_.SetPeriod(7692);
  SetSampleRate(44100.0);
}

void Chorus::SetSampleRate(double rate) {
  rate = SanitizeSampleRate(rate);
  if (rate != sampleRate_) {
    sampleRate_ = rate;
    std::int32_t slots = TruncateToInt32(rate * 0.02);
    if (slots < 1) slots = 1;
    if (slots > kMaxSlots) slots = kMaxSlots;
    slotCount_ = slots;
    for (Line& line : lines_) {
      line.slots.assign(static_cast<std::size_t>(slots), 0.0);
      for (LowPass* filter : {&line.inputFilter, &line.outputFilter}) {
        filter->ClearState();
        filter->SetSampleRate(rate);
        filter->SetQ(kButterworthQ);
        filter->SetOmega(LowPass::BelowNyquist(kBandOmega / rate));
        filter->ComputeCoefficients();
      }
      line.clockPhase = 0.0;
      line.writePosition = 0;
      line.zeroWrites = slots;
      line.resting = false;
    }
    twins_ = true;
  }
  rate_ = 1.0;
  inverseRate_ = 1.0;
  ControlTick();
}

void Chorus::Clear() {
  for (Line& line : lines_) {
    std::fill(line.slots.begin(), line.slots.end(), 0.0);
    line.inputFilter.ClearState();
    line.outputFilter.ClearState();
    for (int i = 0; i < 4; ++i) line.inputHistory[i] = line.outputHistory[i] = 0.0;
    line.zeroWrites = slotCount_;
    line.resting = false;
  }
  twins_ = true;
  ComputeRate();
}

void Chorus::SetMix(double mix, std::int32_t rampSamples) {
  dryTarget_ = std::sqrt(1.0 - mix);
  wetTarget_ = std::sqrt(mix);
  if (rampSamples < 1) {
    dryGain_ = dryTarget_;
    wetGain_ = wetTarget_;
    mixSamplesLeft_ = 0;
    return;
  }
  dryStep_ = (dryTarget_ - dryGain_) / rampSamples;
  wetStep_ = (wetTarget_ - wetGain_) / rampSamples;
  mixSamplesLeft_ = rampSamples;
}

void Chorus::ControlTick(bool inUse) {
  generator_.Tick(nullptr, 0);
  if (inUse) ComputeRate();
}

void Chorus::ComputeRate() {
  const double e = std::pow(2.0, 0.5 * generator_.Output() + 0.5);
  double rate = ((e - 1.0 - delay_) * depth_ + delay_) * 0.875 + 0.125;
  // Delay and depth within 0 ... 1 keep the rate within 0.125 ... 1; out-of-range settings must not
  // stall the slot loop, which runs 1 / rate times per sample.
  if (!(rate >= 0.125)) rate = 0.125;
  if (rate > 1.0) rate = 1.0;
  rate_ = rate;
  inverseRate_ = 1.0 / rate;
}

void Chorus::Separate() {
  const Line& from = lines_[0];
  Line& to = lines_[1];
  std::copy(from.slots.begin(), from.slots.end(), to.slots.begin());
  to.inputFilter = from.inputFilter;
  to.outputFilter = from.outputFilter;
  std::copy(std::begin(from.inputHistory), std::end(from.inputHistory), std::begin(to.inputHistory));
  std::copy(std::begin(from.outputHistory), std::end(from.outputHistory), std::begin(to.outputHistory));
  to.writePosition = from.writePosition;
  to.clockPhase = from.clockPhase;
  to.zeroWrites = from.zeroWrites;
  to.resting = from.resting;
  twins_ = false;
}

bool Chorus::AtRest(const Line& line) const {
  return line.zeroWrites >= slotCount_ && PositiveZeros(line.inputHistory) && PositiveZeros(line.outputHistory) &&
         line.inputFilter.HoldsPositiveZeros() && line.outputFilter.HoldsPositiveZeros();
}

double Chorus::ProcessLine(Line& line, double x) const {
  const std::int32_t last = slotCount_ - 1;
  double phase = line.clockPhase;
  std::int32_t position = line.writePosition;
  if (skipsSilence_ && PositiveZero(x) && (line.resting || AtRest(line))) {
    // Silence in, silence held: the band filters (b0 > 0) turn +0 into +0, every slot written
    // would get +0 over +0 and the output is +0. Only the clock moves, as it would.
    line.resting = true;
    while (phase < 1.0) {
      position = position == 0 ? last : position - 1;
      phase += rate_;
    }
    line.writePosition = position;
    line.clockPhase = phase - 1.0;
    return 0.0;
  }
  line.resting = false;
  Shift(line.inputHistory, line.inputFilter.Process(x));
  // The slot loop keeps what it reads in locals: its stores into the slots could otherwise alias
  // every member and force reloads each turn.
  const Cubic input(line.inputHistory);
  Filter::Section filter = line.outputFilter.Take();
  double* history = line.outputHistory;
  double h0 = history[0], h1 = history[1], h2 = history[2], h3 = history[3];
  const double feedback = feedback_;
  const double rate = rate_;
  const std::int32_t slotCount = slotCount_;
  double* slots = line.slots.data();
  std::int32_t zeroWrites = line.zeroWrites;
  while (phase < 1.0) {
    position = position == 0 ? last : position - 1;
    // The slot about to be overwritten holds what was written one full line ago.
    const double v = filter.Process(slots[position]);
    h0 = h1;
    h1 = h2;
    h2 = h3;
    h3 = v;
    const double fed = v < -3.0 ? -3.0 : (v > 3.0 ? 3.0 : v);
    const double written = fed * feedback + input.At(phase);
    slots[position] = written;
    zeroWrites = PositiveZero(written) ? (zeroWrites < slotCount ? zeroWrites + 1 : zeroWrites) : 0;
    phase += rate;
  }
  line.outputFilter.Put(filter);
  history[0] = h0;
  history[1] = h1;
  history[2] = h2;
  history[3] = h3;
  line.zeroWrites = zeroWrites;
  line.writePosition = position;
  phase -= 1.0;
  line.clockPhase = phase;
  return Cubic(history).At(1.0 - phase * inverseRate_);
}

void Chorus::Process(double& left, double& right) {
  double wetLeft;
  double wetRight;
  if (twins_ && std::bit_cast<std::uint64_t>(left) == std::bit_cast<std::uint64_t>(right)) {
    wetLeft = ProcessLine(lines_[0], left);
    wetRight = wetLeft;
  } else {
    if (twins_) Separate();
    wetLeft = ProcessLine(lines_[0], left);
    wetRight = ProcessLine(lines_[1], right);
    // Lines at rest hold nothing but +0, and their clocks always move together: the same state.
    twins_ = lines_[0].resting && lines_[1].resting;
  }
  if (mixSamplesLeft_ > 0) {
    --mixSamplesLeft_;
    dryGain_ = mixSamplesLeft_ == 0 ? dryTarget_ : dryGain_ + dryStep_;
    wetGain_ = mixSamplesLeft_ == 0 ? wetTarget_ : wetGain_ + wetStep_;
  }
  left = dryGain_ * left + wetGain_ * wetLeft;
  right = dryGain_ * right + wetGain_ * wetRight;
}
