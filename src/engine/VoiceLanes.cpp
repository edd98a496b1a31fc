#include "engine/VoiceLanes.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "engine/FilterTables.h"
#include "engine/NumericConversion.h"
#include "engine/Voice.h"

// Vectors of four lanes wider than the baseline registers: passed by reference between the steps,
// which are all inlined into each path's function.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// The vectors of a register width: doubles, their comparison masks (-1 or 0 per lane), and 32-bit
// integers and floats of as many lanes.
template <int kWidth>
struct LaneTypes;
template <>
struct LaneTypes<4> {
  using D = double __attribute__((vector_size(32)));
  using M = std::int64_t __attribute__((vector_size(32)));
  using I = std::int32_t __attribute__((vector_size(16)));
  using U = std::uint32_t __attribute__((vector_size(16)));
  using F = float __attribute__((vector_size(16)));
};
template <>
struct LaneTypes<8> {
  using D = double __attribute__((vector_size(64)));
  using M = std::int64_t __attribute__((vector_size(64)));
  using I = std::int32_t __attribute__((vector_size(32)));
  using U = std::uint32_t __attribute__((vector_size(32)));
  using F = float __attribute__((vector_size(32)));
};

// MG1, MG2, Vib, MG1+, MG2+, Vib+ as the per-sample readers see them.
constexpr int kGenerators = 6;

// Read in place of a wave by lanes without a voice.
const std::int16_t kSilentWave[kWaveLength] = {};

#define LANES_INLINE inline __attribute__((always_inline))

// Everything of kWidth voices that the samples of a stretch read or move.
template <int kWidth>
struct LanesOf {
  using Dv = typename LaneTypes<kWidth>::D;
  using Mv = typename LaneTypes<kWidth>::M;
  using Iv = typename LaneTypes<kWidth>::I;
  using Uv = typename LaneTypes<kWidth>::U;

  // A source of a per-sample multiplier: a value fixed for the stretch, or one of the voice's own
  // envelope sources or interpolated generators, which move every sample.
  struct Source {
    Dv fixed;
    // Set up only where some lane's source moves (perSample), from which (per lane: 0 for a fixed
    // value, 1 + e for envelope source e, 1 + kEnvelopes + g for generator g).
    Mv envelope[Voice::kEnvelopes];
    Mv generator[kGenerators];
    Iv which;
    bool perSample;
  };

  struct Oscillator {
    Mv on;
    Mv live;  // on and not muted
    bool anyOn;
    bool allLive;  // in every lane, each with a voice
    Mv smooth;
    bool anySmooth;  // whether any lane's FM smoother may run
    Uv phase;
    Uv increment;
    Iv wrapped;
    // FM smoother.
    Dv b0, b1, a1, a2, x1, x2, y1, y2;
    // Reads: the first at the phase, the second at the phase plus an offset in the same wave (Saw,
    // Pulse, Full PWM) or at the phase in the next wave (Interpolate).
    const std::int16_t* first[kWidth];
    const std::int16_t* second[kWidth];
    Uv secondOffset;
    // Every read mode is first * firstWeight + second * secondWeight, with the same bits as its own
    // expression: Saw 0.5 and 0.5 (halving is exact), Pulse and Full PWM 1 and -1, Interpolate the
    // crossfade weights (the two products added in either order), Raw 1 and 0 (adding a zero).
    Dv firstWeight, secondWeight;
    // Whether any lane reads a second time (not all Raw), and whether every lane's second read is
    // at the first one's index (no Saw, Pulse or Full PWM offset).
    bool secondRead;
    bool secondAtIndex;
    // Hard sync: the lanes whose master is oscillator m, and the start phase they restart from.
    Mv masterIs[Voice::kOscillators];
    Uv startPhase;
    bool anySync;
    // Amplitude modulation by a source.
    Mv ampModOn;
    bool anyAmpMod;
    Dv ampModAmount;
    Mv ampModPositive;
    Source ampModSource;
  };

  struct Envelope {
    Dv output, stage, target, coefficient;  // stage as a number; target or per-sample step
    Dv sustain;
    Dv decay;  // the decay's coefficient (exponential) or step (linear), for lanes in their attack
    Mv invert;
    bool anyInvert;
    Dv level;
    // Linear envelopes: whether any lane is in a stage that moves (attack, decay, release). None
    // enters one within a stretch, so one that holds holds its source value throughout.
    bool moving;
  };

  struct Filter {
    Iv current, target, direction, lastIndex;
    Dv g, g4, b, k, d, outputGain;
    Dv feedbackScale, resonanceGain;
    Mv lowpass12;
    Dv highpassSign;  // -0 for Highpass 24: its sections feed back the negated stage input
    // Whether any lane is Lowpass 12 or Highpass 24 (without, the ladder skips their terms).
    bool anyLowpass12, anyHighpass;
    // Each lane's tables of the largest feedback, the pole term and its stage gain (lowpass or
    // highpass), and whether every lane reads the same three tables.
    const double* maxFeedbackTable[kWidth];
    const double* poleTable[kWidth];
    const double* gainTable[kWidth];
    bool sharedTables;
    Dv stateLeft[4], stateRight[4];
    Dv offset;
    // Whether every lane's two channels are the same bits, state and input alike (every source in
    // the middle): the right channel is then the left one, and the ladder runs once.
    bool mono;
  };

  Envelope env[Voice::kEnvelopes];
  Oscillator osc[Voice::kOscillators];
  Filter filter;
  Dv last[Voice::kOscillators];
  Dv effectiveAm2, effectiveAm3;
  Mv am2, am3;
  bool anyAm2, anyAm3;
  Dv linFm2, linFm3;
  Mv select2, select3;
  Dv level[4], panLeft[4], panRight[4];
  Mv xMode, xModeIs2, xModeIs3;
  bool anyXMode;
  Dv xLevel, xPanLeft, xPanRight;
  Dv egIntensity, keyTrack, cfmAmount;
  Mv cfmOn;
  bool anyCfm;
  Source cfmSource;
  Dv ampFactor, unisonLeft, unisonRight;
  Dv egSource[Voice::kEnvelopes];
  // Straight lines against clicks: samples left as numbers (exact; 0 where none runs), the step
  // and where each line ends. A flag per kind says whether any lane had one at the stretch's start.
  Dv ampGain, ampGainStep, ampGainLeft;
  bool ampRamp;
  Dv levelTarget[4], panLeftTarget[4], panRightTarget[4];
  Dv levelStep[4], panLeftStep[4], panRightStep[4], mixerLeft;
  bool mixerRamp;
  Dv generator[kGenerators], generatorTarget[kGenerators], generatorStep[kGenerators], generatorLeft;
  bool generatorRamp;
  // Voice k's noise values, at a distance of the stretch's stride; whether they lie side by side
  // (the voices' draws of a sample follow each other), and the lanes that have a voice.
  const double* noise[kWidth];
  bool noiseInRow;
  bool anyNoise;  // whether any lane's voice hears its noise
  std::uint32_t voiceLanes;
};
// Laid out here, for the baseline instruction set that Gather and Scatter are compiled for, rather
// than first where a wider one is in force.
template struct LanesOf<4>;
template struct LanesOf<8>;

}  // namespace

// Loads the lanes from the voices (lanes without a voice stay silent) and prepares their oscillators.
template <int kWidth>
void VoiceLanes::Gather(void* into, Voice* const* voices, int voiceCount) {
  using Lanes = LanesOf<kWidth>;
  Lanes& l = *static_cast<Lanes*>(into);
  // Every lane with a voice has each of its fields written below, so the record is cleared only
  // when some lanes stay empty (they must read silence and stay off); the flags gather over voices.
  // What only a feature reads (FM smoothing, hard sync, amplitude and cutoff modulation, X-Mode,
  // AM, the straight lines) is written only where some lane uses it, and read only then.
  if (voiceCount < kWidth) {
    l = Lanes{};
  } else {
    for (int o = 0; o < Voice::kOscillators; ++o) {
      l.osc[o].anySmooth = false;
      l.osc[o].secondRead = false;
      l.osc[o].anySync = false;
      l.osc[o].anyOn = false;
      l.osc[o].anyAmpMod = false;
      l.osc[o].ampModSource.perSample = false;
    }
    l.cfmSource.perSample = false;
    l.ampRamp = false;
    l.anyXMode = false;
    l.anyAm2 = false;
    l.anyAm3 = false;
    l.anyCfm = false;
    l.mixerRamp = false;
    l.generatorRamp = false;
    l.anyNoise = false;
    for (int e = 0; e < Voice::kEnvelopes; ++e) {
      l.env[e].moving = false;
      l.env[e].anyInvert = false;
    }
  }
  // The source a voice's pointer selects: its own envelope sources move every sample; anything else
  // holds for the stretch (a lane without one holds 0).
  const auto gatherSource = [](typename Lanes::Source& s, int k, const Voice& v, const double* source) {
    int which = 0;
    for (int e = 0; e < Voice::kEnvelopes; ++e) which = source == &v.egSource_[e] ? 1 + e : which;
    for (int g = 0; g < kGenerators; ++g) which = source == &v.generatorSmooth_[g] ? 1 + Voice::kEnvelopes + g : which;
    s.which[k] = which;
    s.fixed[k] = which != 0 || source == nullptr ? 0.0 : *source;
    s.perSample = s.perSample || which != 0;
  };
  // The lane masks of the moving sources, where there are any.
  const auto sourceMasks = [](typename Lanes::Source& s) {
    if (!s.perSample) return;
    using Iv = typename LaneTypes<kWidth>::I;
    using Mv = typename LaneTypes<kWidth>::M;
    for (int e = 0; e < Voice::kEnvelopes; ++e) s.envelope[e] = __builtin_convertvector(s.which == (Iv{} + (1 + e)), Mv);
    for (int g = 0; g < kGenerators; ++g) {
      s.generator[g] = __builtin_convertvector(s.which == (Iv{} + (1 + Voice::kEnvelopes + g)), Mv);
    }
  };
  // Bit for bit, so that -0 and 0 (which a product keeps apart) count as different.
  const auto same = [](double a, double b) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
  };
  bool mono = true;
  for (int k = voiceCount; k < kWidth; ++k) {
    for (int o = 0; o < Voice::kOscillators; ++o) {
      l.osc[o].first[k] = kSilentWave;
      l.osc[o].second[k] = kSilentWave;
    }
  }
  for (int k = 0; k < voiceCount; ++k) {
    Voice& v = *voices[k];
    bool smooth[Voice::kOscillators];
    v.PrepareStretch(smooth);
    const EG* egs[Voice::kEnvelopes] = {&v.filterEg_, &v.ampEg_, &v.linEg1_, &v.linEg2_};
    for (int e = 0; e < Voice::kEnvelopes; ++e) {
      typename Lanes::Envelope& el = l.env[e];
      const EG& eg = *egs[e];
      el.output[k] = eg.output_;
      el.stage[k] = eg.stage_;
      el.target[k] = eg.targetOrStep_;
      el.coefficient[k] = eg.coefficient_;
      el.sustain[k] = eg.sustain_;
      // The decay's rate is needed only by an envelope in its attack (and costs a power to find).
      el.decay[k] = 0.0;
      if (eg.stage_ == 1) {
        if (e < 2) {
          el.decay[k] = static_cast<const ExpEG&>(eg).Coefficient(eg.decay_);
        } else {
          const double t = static_cast<const LinearEG&>(eg).SegmentSamples(eg.decay_);
          el.decay[k] = t > 0.0 ? (eg.sustain_ - 1.0) / t : eg.sustain_ - 1.0;
        }
      }
      el.moving = el.moving || eg.stage_ == 1 || eg.stage_ == 2 || eg.stage_ == 4;
      el.invert[k] = v.egAmount_[e] < 0.0 ? -1 : 0;
      el.anyInvert = el.anyInvert || v.egAmount_[e] < 0.0;
      el.level[k] = v.egLevel_[e];
      l.egSource[e][k] = v.egSource_[e];
    }
    for (int o = 0; o < Voice::kOscillators; ++o) {
      typename Lanes::Oscillator& ol = l.osc[o];
      const Oscillator& osc = v.osc_[o];
      ol.on[k] = v.oscOn_[o] ? -1 : 0;
      ol.anyOn = ol.anyOn || v.oscOn_[o];
      ol.live[k] = v.oscOn_[o] && !osc.muted_ ? -1 : 0;
      ol.smooth[k] = smooth[o] ? -1 : 0;
      ol.anySmooth = ol.anySmooth || smooth[o];
      ol.phase[k] = static_cast<std::uint32_t>(osc.phase_);
      ol.increment[k] = static_cast<std::uint32_t>(osc.increment_);
      ol.wrapped[k] = osc.wrapped_ ? -1 : 0;
      ol.first[k] = osc.wave0Samples_;
      ol.secondOffset[k] = 0;
      switch (osc.readMode_) {
        case Oscillator::ReadMode::kSaw:
        case Oscillator::ReadMode::kDifference: {
          const bool saw = osc.readMode_ == Oscillator::ReadMode::kSaw;
          ol.firstWeight[k] = saw ? 0.5 : 1.0;
          ol.secondWeight[k] = saw ? 0.5 : -1.0;
          ol.second[k] = osc.wave0Samples_;
          ol.secondOffset[k] = static_cast<std::uint32_t>(osc.secondReadOffset_);
          ol.secondRead = true;
          break;
        }
        case Oscillator::ReadMode::kCrossfade:
          ol.firstWeight[k] = osc.weight0_;
          ol.secondWeight[k] = osc.weight1_;
          ol.second[k] = osc.wave1Samples_;
          ol.secondRead = true;
          break;
        default:
          ol.firstWeight[k] = 1.0;
          ol.secondWeight[k] = 0.0;
          ol.second[k] = osc.wave0Samples_;
          break;
      }
      ol.anySync = ol.anySync || osc.master_ != nullptr;
      ol.anyAmpMod = ol.anyAmpMod || v.ampModSource_[o] != nullptr;
    }
    typename Lanes::Filter& fl = l.filter;
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
    fl.highpassSign[k] = vf.type_ == VoiceFilter::kHighpass24 ? -0.0 : 0.0;
    fl.lowpass12[k] = vf.type_ == VoiceFilter::kLowpass12 ? -1 : 0;
    const FilterTables& tables = *vf.tables_;
    fl.maxFeedbackTable[k] = tables.MaxFeedbackTable();
    fl.poleTable[k] = tables.PoleTable();
    fl.gainTable[k] = vf.type_ == VoiceFilter::kHighpass24 ? tables.HighpassGainTable() : tables.LowpassGainTable();
    for (int n = 0; n < 4; ++n) {
      fl.stateLeft[n][k] = vf.state_[n][0];
      fl.stateRight[n][k] = vf.state_[n][1];
      mono = mono && same(vf.state_[n][0], vf.state_[n][1]);
    }
    fl.offset[k] = vf.denormalOffset_;

    for (int o = 0; o < Voice::kOscillators; ++o) l.last[o][k] = v.last_[o];
    l.anyAm2 = l.anyAm2 || (v.oscOn_[1] && v.effectiveAm2_ != 0.0);
    l.anyAm3 = l.anyAm3 || (v.oscOn_[2] && v.effectiveAm3_ != 0.0);
    l.linFm2[k] = v.effectiveLinFm_[0];
    l.linFm3[k] = v.effectiveLinFm_[1];
    l.select2[k] = v.fmSelect_[0] ? -1 : 0;
    l.select3[k] = v.fmSelect_[1] ? -1 : 0;
    for (int c = 0; c < 4; ++c) {
      l.level[c][k] = v.level_[c];
      l.panLeft[c][k] = v.panLeft_[c];
      l.panRight[c][k] = v.panRight_[c];
    }
    l.anyXMode = l.anyXMode || v.xMode_;
    l.egIntensity[k] = v.egIntensity_;
    l.keyTrack[k] = v.keyTrackOffset_;
    l.anyCfm = l.anyCfm || v.cfmSource_ != nullptr;
    l.ampFactor[k] = v.ampFactor_;
    l.unisonLeft[k] = v.unisonLeft_;
    l.unisonRight[k] = v.unisonRight_;

    l.ampGain[k] = v.ampGain_;
    l.ampRamp = l.ampRamp || v.ampGainSamplesLeft_ > 0;
    for (int c = 0; c < 4; ++c) {
      // A line's step and end count only in the lanes where it runs.
      mono = mono && same(v.panLeft_[c], v.panRight_[c]) &&
             (v.mixerSamplesLeft_ <= 0 ||
              (same(v.panLeftTarget_[c], v.panRightTarget_[c]) && same(v.panLeftStep_[c], v.panRightStep_[c])));
    }
    l.mixerRamp = l.mixerRamp || v.mixerSamplesLeft_ > 0;
    l.anyNoise = l.anyNoise || v.NoiseHeard();
    for (int g = 0; g < kGenerators; ++g) l.generator[g][k] = v.generatorSmooth_[g];
    l.generatorRamp = l.generatorRamp || v.generatorSamplesLeft_ > 0;
  }
  for (int k = 0; k < voiceCount; ++k) {
    const Voice& v = *voices[k];
    for (int o = 0; o < Voice::kOscillators; ++o) {
      typename Lanes::Oscillator& ol = l.osc[o];
      const Oscillator& osc = v.osc_[o];
      if (ol.anySmooth) {
        const Filter& f = osc.fmSmoother_;
        ol.b0[k] = f.b0_;
        ol.b1[k] = f.b1_;
        ol.a1[k] = f.a1_;
        ol.a2[k] = f.a2_;
        ol.x1[k] = f.x1_;
        ol.x2[k] = f.x2_;
        ol.y1[k] = f.y1_;
        ol.y2[k] = f.y2_;
      }
      if (ol.anySync) {
        for (int m = 0; m < Voice::kOscillators; ++m) ol.masterIs[m][k] = osc.master_ == &v.osc_[m] ? -1 : 0;
        // Only a synced oscillator restarts (and the rounding is dear enough to skip).
        ol.startPhase[k] = osc.master_ == nullptr
                               ? 0u
                               : static_cast<std::uint32_t>(RoundHalfAwayToInt32(
                                     static_cast<double>(Oscillator::kPhaseCycle) * osc.startPhase_));
      }
      if (ol.anyAmpMod) {
        const bool ampMod = v.ampModSource_[o] != nullptr;
        ol.ampModOn[k] = ampMod ? -1 : 0;
        ol.ampModAmount[k] = ampMod ? v.ampModAmount_[o] : 0.0;
        ol.ampModPositive[k] = ampMod && v.ampModAmount_[o] >= 0.0 ? -1 : 0;
        gatherSource(ol.ampModSource, k, v, v.ampModSource_[o]);
      }
    }
    if (l.anyAm2) {
      l.effectiveAm2[k] = v.effectiveAm2_;
      l.am2[k] = v.oscOn_[1] && v.effectiveAm2_ != 0.0 ? -1 : 0;
    }
    if (l.anyAm3) {
      l.effectiveAm3[k] = v.effectiveAm3_;
      l.am3[k] = v.oscOn_[2] && v.effectiveAm3_ != 0.0 ? -1 : 0;
    }
    if (l.anyXMode) {
      const int x = v.xModeIndex_;
      l.xMode[k] = v.xMode_ ? -1 : 0;
      l.xModeIs2[k] = x == 1 ? -1 : 0;
      l.xModeIs3[k] = x == 2 ? -1 : 0;
      l.xLevel[k] = v.level_[x];
      l.xPanLeft[k] = v.panLeft_[x];
      l.xPanRight[k] = v.panRight_[x];
    }
    if (l.anyCfm) {
      const bool cfm = v.cfmSource_ != nullptr;
      l.cfmOn[k] = cfm ? -1 : 0;
      l.cfmAmount[k] = cfm ? v.cfmAmount_ : 0.0;
      gatherSource(l.cfmSource, k, v, v.cfmSource_);
    }
    if (l.ampRamp) {
      l.ampGainStep[k] = v.ampGainStep_;
      l.ampGainLeft[k] = v.ampGainSamplesLeft_ > 0 ? v.ampGainSamplesLeft_ : 0;
    }
    if (l.mixerRamp) {
      for (int c = 0; c < 4; ++c) {
        l.levelTarget[c][k] = v.levelTarget_[c];
        l.panLeftTarget[c][k] = v.panLeftTarget_[c];
        l.panRightTarget[c][k] = v.panRightTarget_[c];
        l.levelStep[c][k] = v.levelStep_[c];
        l.panLeftStep[c][k] = v.panLeftStep_[c];
        l.panRightStep[c][k] = v.panRightStep_[c];
      }
      l.mixerLeft[k] = v.mixerSamplesLeft_ > 0 ? v.mixerSamplesLeft_ : 0;
    }
    if (l.generatorRamp) {
      for (int g = 0; g < kGenerators; ++g) {
        l.generatorTarget[g][k] = g < 3 ? v.generator_[g] : v.generatorPositive_[g - 3];
        l.generatorStep[g][k] = v.generatorSmoothStep_[g];
      }
      l.generatorLeft[k] = v.generatorSamplesLeft_ > 0 ? v.generatorSamplesLeft_ : 0;
    }
  }
  for (int o = 0; o < Voice::kOscillators; ++o) {
    typename Lanes::Oscillator& ol = l.osc[o];
    sourceMasks(ol.ampModSource);
    ol.allLive = voiceCount == kWidth;
    for (int k = 0; k < voiceCount; ++k) ol.allLive = ol.allLive && ol.live[k] != 0;
    ol.secondAtIndex = true;
    for (int k = 0; k < voiceCount; ++k) ol.secondAtIndex = ol.secondAtIndex && ol.secondOffset[k] == 0u;
  }
  sourceMasks(l.cfmSource);
  // Empty lanes read the first voice's tables, which keeps them from splitting the shared case.
  typename Lanes::Filter& fl = l.filter;
  fl.mono = mono;
  fl.anyLowpass12 = false;
  fl.anyHighpass = false;
  for (int k = 0; k < voiceCount; ++k) {
    fl.anyLowpass12 = fl.anyLowpass12 || fl.lowpass12[k] != 0;
    fl.anyHighpass = fl.anyHighpass || std::signbit(fl.highpassSign[k]);
  }
  for (int k = voiceCount; k < kWidth; ++k) {
    fl.maxFeedbackTable[k] = fl.maxFeedbackTable[0];
    fl.poleTable[k] = fl.poleTable[0];
    fl.gainTable[k] = fl.gainTable[0];
  }
  fl.sharedTables = true;
  for (int k = 1; k < kWidth; ++k) {
    fl.sharedTables = fl.sharedTables && fl.maxFeedbackTable[k] == fl.maxFeedbackTable[0] &&
                      fl.poleTable[k] == fl.poleTable[0] && fl.gainTable[k] == fl.gainTable[0];
  }
}

// Stores what the samples moved back into the voices.
template <int kWidth>
void VoiceLanes::Scatter(const void* from, Voice* const* voices, int voiceCount) {
  const LanesOf<kWidth>& l = *static_cast<const LanesOf<kWidth>*>(from);
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
      const auto& ol = l.osc[o];
      osc.phase_ = static_cast<std::int32_t>(ol.phase[k]);
      osc.wrapped_ = ol.wrapped[k] != 0;
      if (ol.anySmooth) {
        Filter& f = osc.fmSmoother_;
        f.x1_ = ol.x1[k];
        f.x2_ = ol.x2[k];
        f.y1_ = ol.y1[k];
        f.y2_ = ol.y2[k];
      }
      v.last_[o] = l.last[o][k];
    }
    VoiceFilter& vf = v.filter_;
    const auto& fl = l.filter;
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

    // Only lanes whose line ran can have moved; the others keep their own counts.
    if (v.ampGainSamplesLeft_ > 0) {
      v.ampGain_ = l.ampGain[k];
      v.ampGainSamplesLeft_ = static_cast<std::int32_t>(l.ampGainLeft[k]);
    }
    if (v.mixerSamplesLeft_ > 0) {
      for (int c = 0; c < 4; ++c) {
        v.level_[c] = l.level[c][k];
        v.panLeft_[c] = l.panLeft[c][k];
        v.panRight_[c] = l.panRight[c][k];
      }
      v.mixerSamplesLeft_ = static_cast<std::int32_t>(l.mixerLeft[k]);
    }
    if (v.generatorSamplesLeft_ > 0) {
      for (int g = 0; g < kGenerators; ++g) v.generatorSmooth_[g] = l.generator[g][k];
      v.generatorSamplesLeft_ = static_cast<std::int32_t>(l.generatorLeft[k]);
    }
  }
}


// The samples themselves, compiled once per instruction set: the same source in each namespace, with
// the lane count and vector types of its register width. Each path gathers up to two registers'
// worth of voices, renders them and stores them back.
#define LANES_RENDER_PATH(kWidthOfPath)                                                                   \
  constexpr int kL = kWidthOfPath;                                                                      \
  using Dv = LaneTypes<kL>::D;                                                                          \
  using Mv = LaneTypes<kL>::M;                                                                          \
  using Iv = LaneTypes<kL>::I;                                                                          \
  using Uv = LaneTypes<kL>::U;                                                                          \
  using Fv = LaneTypes<kL>::F;                                                                          \
  using Lanes = LanesOf<kL>;                                                                            \
  using SourceLanes = Lanes::Source;                                                                    \
  using OscillatorLanes = Lanes::Oscillator;                                                            \
  using EnvelopeLanes = Lanes::Envelope;                                                                \
  using FilterLanes = Lanes::Filter;

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define LANES_HAVE_WIDE 1
// The AVX2 and AVX-512 code is compiled for those instruction sets alone; -ffp-contract=off keeps
// every multiply and add apart there too, so no processor fuses them.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define LANES_WIDE 1
namespace wide {
LANES_RENDER_PATH(4)
#include "engine/VoiceLanesSamples.inc"
}  // namespace wide
#undef LANES_WIDE

void VoiceLanes::RenderAvx2(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                            const double* const* noise, int noiseStride) {
  wide::Lanes lanes[2];
  const int inFirst = voiceCount < 4 ? voiceCount : 4;
  Gather<4>(&lanes[0], voices, inFirst);
  if (voiceCount > 4) {
    Gather<4>(&lanes[1], voices + 4, voiceCount - 4);
    wide::RenderSamples<2>(lanes, voiceCount, left, right, count, noise, noiseStride);
    Scatter<4>(&lanes[1], voices + 4, voiceCount - 4);
  } else {
    wide::RenderSamples<1>(lanes, voiceCount, left, right, count, noise, noiseStride);
  }
  Scatter<4>(&lanes[0], voices, inFirst);
}
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq,avx512vl,avx512bw"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl,avx512bw")
#endif
#define LANES_AVX512 1
namespace wider {
LANES_RENDER_PATH(8)
#include "engine/VoiceLanesSamples.inc"
}  // namespace wider
#undef LANES_AVX512

void VoiceLanes::RenderAvx512(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                              const double* const* noise, int noiseStride) {
  wider::Lanes lanes[2];
  const int inFirst = voiceCount < 8 ? voiceCount : 8;
  Gather<8>(&lanes[0], voices, inFirst);
  if (voiceCount > 8) {
    Gather<8>(&lanes[1], voices + 8, voiceCount - 8);
    wider::RenderSamples<2>(lanes, voiceCount, left, right, count, noise, noiseStride);
    Scatter<8>(&lanes[1], voices + 8, voiceCount - 8);
  } else {
    wider::RenderSamples<1>(lanes, voiceCount, left, right, count, noise, noiseStride);
  }
  Scatter<8>(&lanes[0], voices, inFirst);
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
void VoiceLanes::RenderAvx2(Voice* const*, int, double*, double*, int, const double* const*, int) {}
void VoiceLanes::RenderAvx512(Voice* const*, int, double*, double*, int, const double* const*, int) {}
#endif

namespace narrow {
LANES_RENDER_PATH(4)
#include "engine/VoiceLanesSamples.inc"
}  // namespace narrow

// Four voices at a time: the two registers of each vector already give two chains to overlap.
void VoiceLanes::RenderSse2(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                            const double* const* noise, int noiseStride) {
  for (int first = 0; first < voiceCount; first += 4) {
    const int n = voiceCount - first < 4 ? voiceCount - first : 4;
    narrow::Lanes lanes;
    Gather<4>(&lanes, voices + first, n);
    narrow::RenderSamples<1>(&lanes, n, left, right, count, noise + first, noiseStride);
    Scatter<4>(&lanes, voices + first, n);
  }
}

namespace {

bool HaveAvx2() {
#if defined(LANES_HAVE_WIDE)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool HaveAvx512() {
#if defined(LANES_HAVE_WIDE)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}

// Without AVX2 the voices' own render is chosen: the compiler splits four-lane comparisons into
// single lanes for SSE2, which makes that path slower than the scalar one for now.
VoiceLanes::Path BestPath() {
  if (HaveAvx512()) return VoiceLanes::Path::kAvx512;
  return HaveAvx2() ? VoiceLanes::Path::kAvx2 : VoiceLanes::Path::kScalar;
}

// Chosen on first use, so that no other static initialiser can find it unset.
std::atomic<int>& PathInUse() {
  static std::atomic<int> path{static_cast<int>(BestPath())};
  return path;
}

}  // namespace

bool VoiceLanes::CanRun(Path path) {
  switch (path) {
    case Path::kScalar:
    case Path::kSse2:
      return true;
    case Path::kAvx2:
      return HaveAvx2();
    case Path::kAvx512:
      return HaveAvx512();
  }
  return false;
}

VoiceLanes::Path VoiceLanes::Current() { return static_cast<Path>(PathInUse().load(std::memory_order_relaxed)); }

void VoiceLanes::Force(Path path) {
  PathInUse().store(static_cast<int>(CanRun(path) ? path : BestPath()), std::memory_order_relaxed);
}

const char* VoiceLanes::Name(Path path) {
  switch (path) {
    case Path::kScalar:
      return "scalar";
    case Path::kSse2:
      return "sse2";
    case Path::kAvx2:
      return "avx2";
    case Path::kAvx512:
      return "avx512";
  }
  return "?";
}

void VoiceLanes::Render(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                        const double* const* noise, int noiseStride) {
  if (voiceCount < 1 || voiceCount > kMaxVoices || count < 1) return;
  switch (Current()) {
    case Path::kAvx512:
      RenderAvx512(voices, voiceCount, left, right, count, noise, noiseStride);
      break;
    case Path::kAvx2:
      // Two registers of four at a time.
      for (int first = 0; first < voiceCount; first += 8) {
        const int n = voiceCount - first < 8 ? voiceCount - first : 8;
        RenderAvx2(voices + first, n, left, right, count, noise + first, noiseStride);
      }
      break;
    default:
      RenderSse2(voices, voiceCount, left, right, count, noise, noiseStride);
      break;
  }
}
