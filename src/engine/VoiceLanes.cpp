#include "engine/VoiceLanes.h"

#include <atomic>
#include <cstddef>

#include "engine/FilterTables.h"
#include "engine/NumericConversion.h"
#include "engine/Voice.h"

// Vectors of four lanes wider than the baseline registers: passed by reference between the steps,
// which are all inlined into each path's function.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using D4 = double __attribute__((vector_size(32)));
using M4 = std::int64_t __attribute__((vector_size(32)));  // lane masks of D4 comparisons: -1 or 0
using I4 = std::int32_t __attribute__((vector_size(16)));
using U4 = std::uint32_t __attribute__((vector_size(16)));
using F4 = float __attribute__((vector_size(16)));

constexpr int kL = VoiceLanes::kLanes;

// Read in place of a wave by lanes without a voice.
const std::int16_t kSilentWave[kWaveLength] = {};

#define LANES_INLINE inline __attribute__((always_inline))

LANES_INLINE D4 Splat(double v) { return D4{v, v, v, v}; }
// Lane masks are all ones or all zeros, so bitwise choice is exact (and needs no 64-bit integer
// comparison, which SSE2 lacks).
LANES_INLINE D4 Select(M4 m, D4 a, D4 b) { return (D4)(((M4)a & m) | ((M4)b & ~m)); }
LANES_INLINE I4 Select(I4 m, I4 a, I4 b) { return (a & m) | (b & ~m); }
LANES_INLINE U4 Select(I4 m, U4 a, U4 b) { return (a & (U4)m) | (b & ~(U4)m); }
LANES_INLINE M4 Widen(I4 m) { return __builtin_convertvector(m, M4); }
LANES_INLINE I4 Narrow(M4 m) { return __builtin_convertvector(m, I4); }
LANES_INLINE bool Any(M4 m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }
LANES_INLINE bool Any(I4 m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

// Table samples as Oscillator::SampleValue gives them: sample / 32767 rounded to single precision.
LANES_INLINE D4 SampleValues(I4 samples) {
  const D4 d = __builtin_convertvector(samples, D4) * Splat(1.0 / 32767.0);
  return __builtin_convertvector(__builtin_convertvector(d, F4), D4);
}

// RoundHalfAwayToInt32 of values that are not NaN: the bounds saturate as it does.
LANES_INLINE I4 RoundHalfAway(D4 x) {
  x = Select(x < Splat(-2147483648.0), Splat(-2147483648.0), x);
  x = Select(x > Splat(2147483647.0), Splat(2147483647.0), x);
  const I4 i = __builtin_convertvector(x, I4);
  const D4 fraction = x - __builtin_convertvector(i, D4);
  return i - Narrow(fraction >= Splat(0.5)) + Narrow(fraction <= Splat(-0.5));
}

// TruncateToInt32: NaN gives 0, the bounds saturate.
LANES_INLINE I4 Truncate(D4 x) {
  const M4 number = x == x;
  x = Select(number, x, Splat(0.0));
  x = Select(x < Splat(-2147483648.0), Splat(-2147483648.0), x);
  x = Select(x > Splat(2147483647.0), Splat(2147483647.0), x);
  return __builtin_convertvector(x, I4);
}

// A source of a per-sample multiplier: a value fixed for the stretch, or one of the voice's own
// envelope sources, which move every sample.
struct SourceLanes {
  D4 fixed;
  M4 envelope[Voice::kEnvelopes];
  bool perSample;
};

struct OscillatorLanes {
  M4 on;
  M4 live;  // on and not muted
  M4 smooth;
  U4 phase;
  U4 increment;
  I4 wrapped;
  // FM smoother.
  D4 b0, b1, a1, a2, x1, x2, y1, y2;
  // Reads: the first at the phase, the second at the phase plus an offset in the same wave (Saw,
  // Pulse, Full PWM) or at the phase in the next wave (Interpolate).
  const std::int16_t* first[kL];
  const std::int16_t* second[kL];
  U4 secondOffset;
  // Every read mode is first * firstWeight + second * secondWeight, with the same bits as its own
  // expression: Saw 0.5 and 0.5 (halving is exact), Pulse and Full PWM 1 and -1, Interpolate the
  // crossfade weights (the two products added in either order), Raw 1 and 0 (adding a zero).
  D4 firstWeight, secondWeight;
  // Hard sync: the lanes whose master is oscillator m, and the start phase they restart from.
  M4 masterIs[Voice::kOscillators];
  U4 startPhase;
  bool anySync;
  // Amplitude modulation by a source.
  M4 ampModOn;
  D4 ampModAmount;
  M4 ampModPositive;
  SourceLanes ampModSource;
};

struct EnvelopeLanes {
  D4 output, stage, target, coefficient;  // stage as a number; target or per-sample step
  D4 sustain;
  D4 decay;  // the decay's coefficient (exponential) or step (linear), for lanes in their attack
  M4 invert;
  D4 level;
};

LANES_INLINE void ProcessExponential(EnvelopeLanes& e) {
  const M4 running = e.stage != Splat(0.0);
  e.output = Select(running, e.output + (e.target - e.output) * e.coefficient, e.output);
  const M4 attack = e.stage == Splat(1.0);
  const M4 toDecay = attack & (e.output >= Splat(1.0));
  const M4 ended = running & ~attack & (e.output <= Splat(ExpEG::kSilent));
  if (!Any(toDecay | ended)) return;  // stages end seldom
  e.output = Select(toDecay, Splat(1.0), Select(ended, Splat(0.0), e.output));
  e.stage = Select(toDecay, Splat(2.0), Select(ended, Splat(0.0), e.stage));
  e.target = Select(toDecay, e.sustain, e.target);
  e.coefficient = Select(toDecay, e.decay, e.coefficient);
}

LANES_INLINE void ProcessLinear(EnvelopeLanes& e) {
  const M4 attack = e.stage == Splat(1.0);
  const M4 decay = e.stage == Splat(2.0);
  const M4 release = e.stage == Splat(4.0);
  e.output = Select(attack | decay | release, e.output + e.target, e.output);
  const M4 toDecay = attack & (e.output > Splat(1.0));
  const M4 toSustain = decay & (e.output <= e.sustain);
  const M4 ended = release & (e.output <= Splat(0.0));
  if (!Any(toDecay | toSustain | ended)) return;
  e.output = Select(toDecay, Splat(1.0), Select(toSustain, e.sustain, Select(ended, Splat(0.0), e.output)));
  e.stage = Select(toDecay, Splat(2.0), Select(toSustain, Splat(3.0), Select(ended, Splat(0.0), e.stage)));
  e.target = Select(toDecay, e.decay, e.target);
}

LANES_INLINE D4 EnvelopeSource(const EnvelopeLanes& e) {
  return Select(e.invert, Splat(1.0) - e.output, e.output) * e.level;
}

LANES_INLINE D4 SourceValue(const SourceLanes& s, const D4* envelope) {
  D4 v = s.fixed;
  if (s.perSample) {
    for (int e = 0; e < Voice::kEnvelopes; ++e) v = Select(s.envelope[e], envelope[e], v);
  }
  return v;
}

// ModulationRouting::Gain lane by lane.
LANES_INLINE D4 Gain(D4 amount, M4 positive, D4 source) {
  return Select(positive, (source - Splat(1.0)) * amount + Splat(1.0), amount * source + Splat(1.0));
}

// One sample of each lane's oscillator, as Oscillator::RenderPrepared gives it; lanes that are off
// keep their phase and give 0.
LANES_INLINE D4 RenderOscillator(OscillatorLanes& o, OscillatorLanes* all, const D4& fm) {
  if (!Any(o.on)) return Splat(0.0);  // switched off in every lane: nothing reads or moves
  if (o.anySync) {
    I4 sync = I4{0, 0, 0, 0};
    for (int m = 0; m < Voice::kOscillators; ++m) sync |= Narrow(o.masterIs[m]) & all[m].wrapped;
    sync &= Narrow(o.live);
    if (Any(sync)) {
      for (int k = 0; k < kL; ++k) {
        if (sync[k] == 0) continue;
        // The restart of Oscillator::SyncToMaster, from the lanes' phases and increments.
        int master = 0;
        while (o.masterIs[master][k] == 0) ++master;
        const auto masterPhase = static_cast<std::int32_t>(all[master].phase[k]);
        const auto masterIncrement = static_cast<std::int32_t>(all[master].increment[k]);
        std::uint32_t phase = o.startPhase[k];
        if (masterIncrement > 0) {
          phase += static_cast<std::uint32_t>(RoundHalfAwayToInt32(
              static_cast<double>(static_cast<std::int32_t>(o.increment[k])) * masterPhase / masterIncrement));
        }
        o.phase[k] = phase;
      }
    }
  }
  U4 offset = U4{0, 0, 0, 0};
  const D4 zero = Splat(0.0);
  const M4 atRest = (o.x1 == zero) & (o.x2 == zero) & (o.y1 == zero) & (o.y2 == zero);
  const M4 run = o.live & o.smooth & ((fm != zero) | ~atRest);
  if (Any(run)) {
    const D4 x = Select((fm >= Splat(-1.7976931348623157e308)) & (fm <= Splat(1.7976931348623157e308)), fm, zero);
    D4 y = (x + o.x2) * o.b0 + o.x1 * o.b1 + o.y1 * o.a1 + o.y2 * o.a2;
    y = Select(y == y, y, zero);
    o.x2 = Select(run, o.x1, o.x2);
    o.x1 = Select(run, x, o.x1);
    o.y2 = Select(run, o.y1, o.y2);
    o.y1 = Select(run, y, o.y1);
    const D4 rest = Splat(Oscillator::kFmRest);
    const M4 settle = run & (fm == zero) & (o.x1 == zero) & (o.x2 == zero) & (o.y1 < rest) & (o.y1 > -rest) &
                      (o.y2 < rest) & (o.y2 > -rest);
    o.y1 = Select(settle, zero, o.y1);
    o.y2 = Select(settle, zero, o.y2);
    offset = (U4)(RoundHalfAway(y * Splat(static_cast<double>(Oscillator::kPhaseCycle))) &
                                  Narrow(run));
  }
  const U4 index = ((o.phase + offset) >> 16) & 2047u;
  const U4 second = (index + o.secondOffset) & 2047u;
  const I4 firstSamples{o.first[0][index[0]], o.first[1][index[1]], o.first[2][index[2]], o.first[3][index[3]]};
  const I4 secondSamples{o.second[0][second[0]], o.second[1][second[1]], o.second[2][second[2]],
                         o.second[3][second[3]]};
  const D4 r0 = SampleValues(firstSamples);
  const D4 r1 = SampleValues(secondSamples);
  const D4 out = (D4)((M4)(r0 * o.firstWeight + r1 * o.secondWeight) & o.live);
  const U4 advanced = o.phase + o.increment;
  const I4 wrapped = (I4)advanced > I4{Oscillator::kPhaseMask, Oscillator::kPhaseMask,
                                                         Oscillator::kPhaseMask, Oscillator::kPhaseMask};
  const U4 next = Select(wrapped, advanced & static_cast<std::uint32_t>(Oscillator::kPhaseMask), advanced);
  const I4 on = Narrow(o.on);
  o.phase = Select(on, next, o.phase);
  o.wrapped = Select(on, wrapped, o.wrapped);
  return out;
}

struct FilterLanes {
  I4 current, target, direction, lastIndex;
  D4 g, g4, b, k, d, outputGain;
  D4 feedbackScale, resonanceGain;
  M4 lowpass12;
  M4 highpass;
  D4 highpassSign;  // -0 for Highpass 24: its sections feed back the negated stage input
  const FilterTables* tables[kL];
  D4 stateLeft[4], stateRight[4];
  D4 offset;
};

// VoiceFilter::Advance lane by lane: slew, cutoff index and, where the index moved, coefficients.
LANES_INLINE void AdvanceFilter(FilterLanes& f, I4 modulation) {
  const I4 moving = f.current != f.target;
  I4 c = f.current + (f.direction & moving);
  const I4 up = f.direction >= I4{0, 0, 0, 0};
  c = Select(up & (c > f.target), f.target, c);
  c = Select(~up & (c < f.target), f.target, c);
  f.current = Select(moving, c, f.current);
  // The cutoff stays far inside +-2^30, so clamping the modulation there first keeps the sum exact.
  const I4 limit{1 << 30, 1 << 30, 1 << 30, 1 << 30};
  modulation = Select(modulation > limit, limit, modulation);
  modulation = Select(modulation < -limit, -limit, modulation);
  I4 p = f.current + modulation;
  p = Select(p < I4{0, 0, 0, 0}, I4{0, 0, 0, 0}, p);
  const I4 top{kPitchLimit, kPitchLimit, kPitchLimit, kPitchLimit};
  p = Select(p > top, top, p);
  if (!Any(p != f.lastIndex)) return;
  // Coefficients follow from the index alone (and the resonance terms of the stretch), so the lanes
  // whose index stayed get the values they hold.
  f.lastIndex = p;
  D4 maxFeedback;
  D4 pole;
  D4 gain;
  for (int k = 0; k < kL; ++k) {
    const FilterTables& t = *f.tables[k];
    maxFeedback[k] = t.MaxFeedback(p[k]);
    pole[k] = t.Pole(p[k]);
    gain[k] = f.highpass[k] != 0 ? t.HighpassGain(p[k]) : t.LowpassGain(p[k]);
  }
  f.k = f.feedbackScale * maxFeedback;
  f.b = pole;
  f.g = gain;
  f.g4 = gain * gain * gain * gain;
  f.d = Splat(1.0) / (f.k * f.g4 + Splat(1.0));
  f.outputGain = f.resonanceGain;
}

// One channel of VoiceFilter::ProcessStereo lane by lane.
LANES_INLINE D4 Ladder(FilterLanes& f, D4* s, D4 x) {
  const D4 zero = Splat(0.0);
  x = Select(x == x, x + f.offset, zero);
  for (int n = 0; n < 4; ++n) s[n] = Select(s[n] == s[n], s[n] + f.offset, zero);
  const D4 g = f.g;
  const D4 y = ((((g * s[0] + s[1]) * g + s[2]) * g + s[3]) + x * f.g4) * f.d;
  const D4 t = Splat(0.2) * y;
  const D4 tt = t * t;
  D4 sat = Splat(5.0) * t * (tt + Splat(27.0)) / (Splat(9.0) * tt + Splat(27.0));
  sat = Select(t < Splat(-3.0), Splat(-5.0), Select(t > Splat(3.0), Splat(5.0), sat));
  const D4 v1 = (x - sat * f.k) * g;
  const D4 o1 = s[0] + v1;
  const D4 v2 = o1 * g;
  const D4 o2 = s[1] + v2;
  const D4 v3 = o2 * g;
  const D4 o3 = s[2] + v3;
  const D4 v4 = o3 * g;
  const D4 o4 = s[3] + v4;
  const M4 sign = (M4)f.highpassSign;
  s[0] = (D4)((M4)v1 ^ sign) - f.b * o1;
  s[1] = (D4)((M4)v2 ^ sign) - f.b * o2;
  s[2] = (D4)((M4)v3 ^ sign) - f.b * o3;
  s[3] = (D4)((M4)v4 ^ sign) - f.b * o4;
  return Select(f.lowpass12, o2, y) * f.outputGain;
}

// Everything of the voices that the samples of a stretch read or move.
struct Lanes {
  EnvelopeLanes env[Voice::kEnvelopes];
  OscillatorLanes osc[Voice::kOscillators];
  FilterLanes filter;
  D4 last[Voice::kOscillators];
  D4 effectiveAm2, effectiveAm3;
  M4 am2, am3;
  D4 linFm2, linFm3;
  M4 select2, select3;
  D4 level[4], panLeft[4], panRight[4];
  M4 xMode, xModeIs2, xModeIs3;
  D4 xLevel, xPanLeft, xPanRight;
  D4 egIntensity, keyTrack, cfmAmount;
  M4 cfmOn;
  SourceLanes cfmSource;
  D4 ampFactor, unisonLeft, unisonRight;
  D4 egSource[Voice::kEnvelopes];
};

}  // namespace

// Loads the lanes from the voices (lanes without a voice stay silent) and prepares their oscillators.
void VoiceLanes::Gather(void* into, Voice* const* voices, int voiceCount) {
  Lanes& l = *static_cast<Lanes*>(into);
  l = Lanes{};
  // The source a voice's pointer selects: its own envelope sources move every sample; anything else
  // holds for the stretch.
  const auto gatherSource = [](SourceLanes& s, int k, const Voice& v, const double* source) {
    for (int e = 0; e < Voice::kEnvelopes; ++e) {
      if (source == &v.egSource_[e]) {
        s.envelope[e][k] = -1;
        s.perSample = true;
        return;
      }
    }
    s.fixed[k] = *source;
  };
  for (int k = 0; k < kL; ++k) {
    for (int o = 0; o < Voice::kOscillators; ++o) {
      l.osc[o].first[k] = kSilentWave;
      l.osc[o].second[k] = kSilentWave;
    }
    l.filter.tables[k] = voices[0]->filter_.tables_.get();
  }
  for (int k = 0; k < voiceCount; ++k) {
    Voice& v = *voices[k];
    bool smooth[Voice::kOscillators];
    v.PrepareStretch(smooth);
    const EG* egs[Voice::kEnvelopes] = {&v.filterEg_, &v.ampEg_, &v.linEg1_, &v.linEg2_};
    for (int e = 0; e < Voice::kEnvelopes; ++e) {
      EnvelopeLanes& el = l.env[e];
      const EG& eg = *egs[e];
      el.output[k] = eg.output_;
      el.stage[k] = eg.stage_;
      el.target[k] = eg.targetOrStep_;
      el.coefficient[k] = eg.coefficient_;
      el.sustain[k] = eg.sustain_;
      // The decay's rate is needed only by an envelope in its attack (and costs a power to find).
      if (eg.stage_ == 1) {
        if (e < 2) {
          el.decay[k] = static_cast<const ExpEG&>(eg).Coefficient(eg.decay_);
        } else {
          const double t = static_cast<const LinearEG&>(eg).SegmentSamples(eg.decay_);
          el.decay[k] = t > 0.0 ? (eg.sustain_ - 1.0) / t : eg.sustain_ - 1.0;
        }
      }
      el.invert[k] = v.egAmount_[e] < 0.0 ? -1 : 0;
      el.level[k] = v.egLevel_[e];
      l.egSource[e][k] = v.egSource_[e];
    }
    for (int o = 0; o < Voice::kOscillators; ++o) {
      OscillatorLanes& ol = l.osc[o];
      const Oscillator& osc = v.osc_[o];
      ol.on[k] = v.oscOn_[o] ? -1 : 0;
      ol.live[k] = v.oscOn_[o] && !osc.muted_ ? -1 : 0;
      ol.smooth[k] = smooth[o] ? -1 : 0;
      ol.phase[k] = static_cast<std::uint32_t>(osc.phase_);
      ol.increment[k] = static_cast<std::uint32_t>(osc.increment_);
      ol.wrapped[k] = osc.wrapped_ ? -1 : 0;
      const Filter& f = osc.fmSmoother_;
      ol.b0[k] = f.b0_;
      ol.b1[k] = f.b1_;
      ol.a1[k] = f.a1_;
      ol.a2[k] = f.a2_;
      ol.x1[k] = f.x1_;
      ol.x2[k] = f.x2_;
      ol.y1[k] = f.y1_;
      ol.y2[k] = f.y2_;
      ol.first[k] = osc.wave0Samples_;
      switch (osc.readMode_) {
        case Oscillator::ReadMode::kSaw:
        case Oscillator::ReadMode::kDifference: {
          const bool saw = osc.readMode_ == Oscillator::ReadMode::kSaw;
          ol.firstWeight[k] = saw ? 0.5 : 1.0;
          ol.secondWeight[k] = saw ? 0.5 : -1.0;
          ol.second[k] = osc.wave0Samples_;
          ol.secondOffset[k] = static_cast<std::uint32_t>(osc.secondReadOffset_);
          break;
        }
        case Oscillator::ReadMode::kCrossfade:
          ol.firstWeight[k] = osc.weight0_;
          ol.secondWeight[k] = osc.weight1_;
          ol.second[k] = osc.wave1Samples_;
          break;
        default:
          ol.firstWeight[k] = 1.0;
          ol.secondWeight[k] = 0.0;
          ol.second[k] = osc.wave0Samples_;
          break;
      }
      for (int m = 0; m < Voice::kOscillators; ++m) {
        if (osc.master_ == &v.osc_[m]) {
          ol.masterIs[m][k] = -1;
          ol.anySync = true;
        }
      }
      ol.startPhase[k] = static_cast<std::uint32_t>(
          RoundHalfAwayToInt32(static_cast<double>(Oscillator::kPhaseCycle) * osc.startPhase_));
      if (v.ampModSource_[o] != nullptr) {
        ol.ampModOn[k] = -1;
        ol.ampModAmount[k] = v.ampModAmount_[o];
        ol.ampModPositive[k] = v.ampModAmount_[o] >= 0.0 ? -1 : 0;
        gatherSource(ol.ampModSource, k, v, v.ampModSource_[o]);
      }
    }
    FilterLanes& fl = l.filter;
    const VoiceFilter& vf = v.filter_;
    fl.current[k] = vf.currentCutoff_;
    fl.target[k] = vf.targetCutoff_;
    fl.direction[k] = vf.slewDirection_;
    fl.lastIndex[k] = vf.lastIndex_;
    fl.g[k] = vf.g_;
    fl.g4[k] = vf.g4_;
    fl.b[k] = vf.b_;
    fl.k[k] = vf.k_;
    fl.d[k] = vf.d_;
    fl.outputGain[k] = vf.outputGain_;
    fl.feedbackScale[k] = vf.feedbackScale_;
    fl.resonanceGain[k] = vf.resonanceGain_;
    fl.highpass[k] = vf.type_ == VoiceFilter::kHighpass24 ? -1 : 0;
    fl.highpassSign[k] = vf.type_ == VoiceFilter::kHighpass24 ? -0.0 : 0.0;
    fl.lowpass12[k] = vf.type_ == VoiceFilter::kLowpass12 ? -1 : 0;
    fl.tables[k] = vf.tables_.get();
    for (int n = 0; n < 4; ++n) {
      fl.stateLeft[n][k] = vf.state_[n][0];
      fl.stateRight[n][k] = vf.state_[n][1];
    }
    fl.offset[k] = vf.denormalOffset_;

    for (int o = 0; o < Voice::kOscillators; ++o) l.last[o][k] = v.last_[o];
    l.effectiveAm2[k] = v.effectiveAm2_;
    l.effectiveAm3[k] = v.effectiveAm3_;
    l.am2[k] = v.oscOn_[1] && v.effectiveAm2_ != 0.0 ? -1 : 0;
    l.am3[k] = v.oscOn_[2] && v.effectiveAm3_ != 0.0 ? -1 : 0;
    l.linFm2[k] = v.effectiveLinFm_[0];
    l.linFm3[k] = v.effectiveLinFm_[1];
    l.select2[k] = v.fmSelect_[0] ? -1 : 0;
    l.select3[k] = v.fmSelect_[1] ? -1 : 0;
    for (int c = 0; c < 4; ++c) {
      l.level[c][k] = v.level_[c];
      l.panLeft[c][k] = v.panLeft_[c];
      l.panRight[c][k] = v.panRight_[c];
    }
    const int x = v.xModeIndex_;
    l.xMode[k] = v.xMode_ ? -1 : 0;
    l.xModeIs2[k] = x == 1 ? -1 : 0;
    l.xModeIs3[k] = x == 2 ? -1 : 0;
    l.xLevel[k] = v.level_[x];
    l.xPanLeft[k] = v.panLeft_[x];
    l.xPanRight[k] = v.panRight_[x];
    l.egIntensity[k] = v.egIntensity_;
    l.keyTrack[k] = v.keyTrackOffset_;
    if (v.cfmSource_ != nullptr) {
      l.cfmOn[k] = -1;
      l.cfmAmount[k] = v.cfmAmount_;
      gatherSource(l.cfmSource, k, v, v.cfmSource_);
    }
    l.ampFactor[k] = v.ampFactor_;
    l.unisonLeft[k] = v.unisonLeft_;
    l.unisonRight[k] = v.unisonRight_;
  }
}

// Stores what the samples moved back into the voices.
void VoiceLanes::Scatter(const void* from, Voice* const* voices, int voiceCount) {
  const Lanes& l = *static_cast<const Lanes*>(from);
  for (int k = 0; k < voiceCount; ++k) {
    Voice& v = *voices[k];
    EG* egs[Voice::kEnvelopes] = {&v.filterEg_, &v.ampEg_, &v.linEg1_, &v.linEg2_};
    for (int e = 0; e < Voice::kEnvelopes; ++e) {
      EG& eg = *egs[e];
      eg.output_ = l.env[e].output[k];
      eg.stage_ = static_cast<std::int32_t>(l.env[e].stage[k]);
      eg.targetOrStep_ = l.env[e].target[k];
      eg.coefficient_ = l.env[e].coefficient[k];
      v.egSource_[e] = l.egSource[e][k];
    }
    for (int o = 0; o < Voice::kOscillators; ++o) {
      Oscillator& osc = v.osc_[o];
      const OscillatorLanes& ol = l.osc[o];
      osc.phase_ = static_cast<std::int32_t>(ol.phase[k]);
      osc.wrapped_ = ol.wrapped[k] != 0;
      Filter& f = osc.fmSmoother_;
      f.x1_ = ol.x1[k];
      f.x2_ = ol.x2[k];
      f.y1_ = ol.y1[k];
      f.y2_ = ol.y2[k];
      v.last_[o] = l.last[o][k];
    }
    VoiceFilter& vf = v.filter_;
    const FilterLanes& fl = l.filter;
    vf.currentCutoff_ = fl.current[k];
    vf.lastIndex_ = fl.lastIndex[k];
    vf.g_ = fl.g[k];
    vf.g4_ = fl.g4[k];
    vf.b_ = fl.b[k];
    vf.k_ = fl.k[k];
    vf.d_ = fl.d[k];
    vf.outputGain_ = fl.outputGain[k];
    for (int n = 0; n < 4; ++n) {
      vf.state_[n][0] = fl.stateLeft[n][k];
      vf.state_[n][1] = fl.stateRight[n][k];
    }
    vf.denormalOffset_ = fl.offset[k];
  }
}

namespace {

// The samples of a stretch: Voice::Sources, VoiceFilter::Process and the amplifier of Voice::Step,
// lane by lane, in their order.
LANES_INLINE void RenderSamples(Lanes& lanes, int voiceCount, double* __restrict left, double* __restrict right,
                                int count, const double* const* noise, int noiseStride) {
  // A copy of its own, which nothing else can reach, so that the state can stay in registers.
  Lanes l = lanes;
  const D4 zero = Splat(0.0);
  const double* noiseOf[kL];
  for (int k = 0; k < kL; ++k) noiseOf[k] = k < voiceCount ? noise[k] : noise[0];
  for (int j = 0; j < count; ++j) {
    ProcessExponential(l.env[0]);
    ProcessExponential(l.env[1]);
    ProcessLinear(l.env[2]);
    ProcessLinear(l.env[3]);
    for (int e = 0; e < Voice::kEnvelopes; ++e) l.egSource[e] = EnvelopeSource(l.env[e]);

    D4 o1 = RenderOscillator(l.osc[0], l.osc, zero);
    const D4 fm2 = Select(l.select2, l.last[2], l.last[0]) * l.linFm2;
    const D4 o2 = RenderOscillator(l.osc[1], l.osc, fm2);
    o1 = Select(l.am2, o1 * ((o2 - Splat(1.0)) * l.effectiveAm2 + Splat(1.0)), o1);
    const D4 fm3 = Select(l.select3, l.last[0], l.last[1]) * l.linFm3;
    const D4 o3 = RenderOscillator(l.osc[2], l.osc, fm3);
    o1 = Select(l.am3, o1 * ((o3 - Splat(1.0)) * l.effectiveAm3 + Splat(1.0)), o1);
    l.last[0] = o1;
    l.last[1] = o2;
    l.last[2] = o3;
    D4 out[Voice::kOscillators] = {o1, o2, o3};
    for (int o = 0; o < Voice::kOscillators; ++o) {
      const OscillatorLanes& ol = l.osc[o];
      if (!Any(ol.ampModOn)) continue;
      const D4 gain = Gain(ol.ampModAmount, ol.ampModPositive, SourceValue(ol.ampModSource, l.egSource));
      out[o] = Select(ol.ampModOn, out[o] * gain, out[o]);
    }
    const D4 z = D4{noiseOf[0][static_cast<std::ptrdiff_t>(j) * noiseStride],
                    noiseOf[1][static_cast<std::ptrdiff_t>(j) * noiseStride],
                    noiseOf[2][static_cast<std::ptrdiff_t>(j) * noiseStride],
                    noiseOf[3][static_cast<std::ptrdiff_t>(j) * noiseStride]} *
                 l.level[3];

    const D4 a1 = l.level[0] * out[0];
    const D4 a2 = l.level[1] * out[1];
    const D4 a3 = l.level[2] * out[2];
    D4 mixLeft = a1 * l.panLeft[0] + a2 * l.panLeft[1] + a3 * l.panLeft[2];
    D4 mixRight = a1 * l.panRight[0] + a2 * l.panRight[1] + a3 * l.panRight[2];
    if (Any(l.xMode)) {
      const D4 a = l.xLevel * Select(l.xModeIs2, out[1], Select(l.xModeIs3, out[2], out[0]));
      mixLeft = Select(l.xMode, a * l.xPanLeft, mixLeft);
      mixRight = Select(l.xMode, a * l.xPanRight, mixRight);
    }
    mixLeft += z * l.panLeft[3];
    mixRight += z * l.panRight[3];

    D4 cutoff = l.egIntensity * l.egSource[0] + l.keyTrack;
    cutoff = Select(l.cfmOn, cutoff + l.cfmAmount * SourceValue(l.cfmSource, l.egSource), cutoff);
    const D4 gain = l.ampFactor * l.egSource[1];

    AdvanceFilter(l.filter, Truncate(cutoff));
    const D4 filteredLeft = Ladder(l.filter, l.filter.stateLeft, mixLeft);
    const D4 filteredRight = Ladder(l.filter, l.filter.stateRight, mixRight);
    l.filter.offset = -l.filter.offset;

    const D4 voiceLeft = gain * l.unisonLeft * filteredLeft;
    const D4 voiceRight = gain * l.unisonRight * filteredRight;
    double sumLeft = left[j];
    double sumRight = right[j];
    for (int k = 0; k < voiceCount; ++k) {
      sumLeft += voiceLeft[k];
      sumRight += voiceRight[k];
    }
    left[j] = sumLeft;
    right[j] = sumRight;
  }
  lanes = l;
}

}  // namespace

// The samples themselves, compiled once per instruction set.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define LANES_HAVE_AVX2 1
__attribute__((target("avx2"))) void VoiceLanes::RenderAvx2(void* lanes, int voiceCount,
                                                              double* left, double* right, int count,
                                                              const double* const* noise, int noiseStride) {
  RenderSamples(*static_cast<Lanes*>(lanes), voiceCount, left, right, count, noise, noiseStride);
}
#else
void VoiceLanes::RenderAvx2(void*, int, double*, double*, int, const double* const*, int) {}
#endif

void VoiceLanes::RenderSse2(void* lanes, int voiceCount, double* left, double* right, int count,
                            const double* const* noise, int noiseStride) {
  RenderSamples(*static_cast<Lanes*>(lanes), voiceCount, left, right, count, noise, noiseStride);
}

namespace {

// Without AVX2 the voices' own render is chosen: the compiler splits four-lane comparisons into
// single lanes for SSE2, which makes that path slower than the scalar one for now.
bool HaveAvx2() {
#if defined(LANES_HAVE_AVX2)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

VoiceLanes::Path BestPath() { return HaveAvx2() ? VoiceLanes::Path::kAvx2 : VoiceLanes::Path::kScalar; }

std::atomic<int> g_path{static_cast<int>(BestPath())};

}  // namespace

bool VoiceLanes::CanRun(Path path) {
  switch (path) {
    case Path::kScalar:
    case Path::kSse2:
      return true;
    case Path::kAvx2:
      return HaveAvx2();
  }
  return false;
}

VoiceLanes::Path VoiceLanes::Current() { return static_cast<Path>(g_path.load(std::memory_order_relaxed)); }

void VoiceLanes::Force(Path path) {
  g_path.store(static_cast<int>(CanRun(path) ? path : BestPath()), std::memory_order_relaxed);
}

const char* VoiceLanes::Name(Path path) {
  switch (path) {
    case Path::kScalar:
      return "scalar";
    case Path::kSse2:
      return "sse2";
    case Path::kAvx2:
      return "avx2";
  }
  return "?";
}

void VoiceLanes::Render(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                        const double* const* noise, int noiseStride) {
  if (voiceCount < 1 || voiceCount > kL || count < 1) return;
  Lanes lanes;
  Gather(&lanes, voices, voiceCount);
  if (Current() == Path::kAvx2) {
    RenderAvx2(&lanes, voiceCount, left, right, count, noise, noiseStride);
  } else {
    RenderSse2(&lanes, voiceCount, left, right, count, noise, noiseStride);
  }
  Scatter(&lanes, voices, voiceCount);
}
