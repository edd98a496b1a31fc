#include "engine/Voice.h"

#include <algorithm>
#include <cmath>

#include "engine/ModulationSource.h"
#include "engine/NumericConversion.h"
#include "engine/ParameterTable.h"
#include "engine/VoiceLanes.h"

namespace {

// The "ON" source.
constexpr double kConstantOne = 1.0;

}  // namespace

Voice::Voice() {
  // Each oscillator, the filter and the envelopes start at their construction rates; the voice as a
  // whole starts as after a reset at 44100 Hz.
  SetSampleRate(44100.0);
}

void Voice::SetLinks(const Links& links) { links_ = links; }

const EG& Voice::Env(int e) const {
  switch (e) {
    case kFilterEg:
      return filterEg_;
    case kAmpEg:
      return ampEg_;
    case kLinEg1:
      return linEg1_;
    default:
      return linEg2_;
  }
}

void Voice::SetSampleRate(double rate) {
  gate_ = false;
  active_ = false;
  ForgetLastOutputs();
  sustained_ = false;
  currentPitch_ = kInitialNote * 128;
  note_ = kInitialNote;
  velocity_ = 0;
  stamp_ = 0;
  for (Oscillator& o : osc_) o.SetSampleRate(rate);
  filter_.SetSampleRate(rate);
  filterEg_.SetSampleRate(rate);
  ampEg_.SetSampleRate(rate);
  linEg1_.SetSampleRate(rate);
  linEg2_.SetSampleRate(rate);
  const double r = std::min(SanitizeSampleRate(rate), 1e7);  // absurd host rates bounded
  tickSamples_ = static_cast<std::int32_t>(r) / 1000;
  if (tickSamples_ < 1) tickSamples_ = 1;
  mixerRampSamples_ = static_cast<std::int32_t>(std::lround(r * 0.01));
  if (mixerRampSamples_ < 1) mixerRampSamples_ = 1;
  restrikeRampSamples_ = 2 * tickSamples_;
  SettleRamps();
}

void Voice::SettleRamps() {
  ampGain_ = ampFactor_;
  ampGainSamplesLeft_ = 0;
  for (int c = 0; c < 4; ++c) {
    level_[c] = levelTarget_[c];
    panLeft_[c] = panLeftTarget_[c];
    panRight_[c] = panRightTarget_[c];
  }
  mixerSamplesLeft_ = 0;
  for (int g = 0; g < 3; ++g) {
    generatorSmooth_[g] = generator_[g];
    generatorSmooth_[g + 3] = generatorPositive_[g];
  }
  generatorSamplesLeft_ = 0;
}

void Voice::RampMixer() {
  const double n = static_cast<double>(mixerRampSamples_);
  for (int c = 0; c < 4; ++c) {
    levelStep_[c] = (levelTarget_[c] - level_[c]) / n;
    panLeftStep_[c] = (panLeftTarget_[c] - panLeft_[c]) / n;
    panRightStep_[c] = (panRightTarget_[c] - panRight_[c]) / n;
  }
  mixerSamplesLeft_ = mixerRampSamples_;
}

void Voice::GlideAmplifier(int samples) {
  if (ampFactor_ == ampGain_ || samples < 1) {
    ampGain_ = ampFactor_;
    ampGainSamplesLeft_ = 0;
    return;
  }
  ampGainStep_ = (ampFactor_ - ampGain_) / samples;
  ampGainSamplesLeft_ = samples;
}

const double* Voice::PerSampleSourceFor(double value) {
  const double* source = SourceFor(value);
  for (int g = 0; g < 3; ++g) {
    if (source == &generator_[g]) return &generatorSmooth_[g];
    if (source == &generatorPositive_[g]) return &generatorSmooth_[g + 3];
  }
  return source;
}

void Voice::NoteInterpolatedReaders() {
  const auto interpolated = [this](const double* p) {
    for (const double& g : generatorSmooth_) {
      if (p == &g) return true;
    }
    return false;
  };
  interpolatedReaders_ = interpolated(cfmSource_) || interpolated(ampModSource_[0]) ||
                         interpolated(ampModSource_[1]) || interpolated(ampModSource_[2]);
}

bool Voice::WouldRestart() const {
  if (glideOn_ && gate_) return false;
  for (int o = 0; o < kOscillators; ++o) {
    if (restart_[o] && oscOn_[o]) return true;
  }
  return false;
}

const double* Voice::SourceFor(double value) const {
  switch (ModulationSourceFromValue(value)) {
    case ModulationSource::kOff:
      return nullptr;
    case ModulationSource::kOn:
      return &kConstantOne;
    case ModulationSource::kModWheel:
      return &modWheel_;
    case ModulationSource::kPitchBend:
      return links_.pitchBend;
    case ModulationSource::kNote:
      return &noteValue_;
    case ModulationSource::kMg1:
      return &generator_[0];
    case ModulationSource::kMg2:
      return &generator_[1];
    case ModulationSource::kVibrato:
      return &generator_[2];
    case ModulationSource::kModWheelPositive:
      return links_.modWheel;
    case ModulationSource::kPitchBendPositive:
      return &pitchBendPositive_;
    case ModulationSource::kNotePositive:
      return &notePositive_;
    case ModulationSource::kVelocity:
      return &velocityValue_;
    case ModulationSource::kPolyAftertouch:
      return &polyAftertouch_;
    case ModulationSource::kChannelAftertouch:
      return links_.channelAftertouch;
    case ModulationSource::kMg1Positive:
      return &generatorPositive_[0];
    case ModulationSource::kMg2Positive:
      return &generatorPositive_[1];
    case ModulationSource::kVibratoPositive:
      return &generatorPositive_[2];
    case ModulationSource::kFilterEg:
      return &egSource_[0];
    case ModulationSource::kAmpEg:
      return &egSource_[1];
    case ModulationSource::kLinearEg1:
      return &egSource_[2];
    case ModulationSource::kLinearEg2:
      return &egSource_[3];
  }
  return nullptr;
}

void Voice::ApplyParameter(int index, double v, double n) {
  using namespace param;
  // Oscillator blocks: the same parameters at different indices.
  static constexpr int kOn[3] = {kOsc1On, kOsc2On, kOsc3On};
  switch (index) {
    case kXMode:
      xMode_ = n >= 0.5;
      return;
    case kPitchBendRange:
      bendRange_ = v;
      return;
    case kPortamento:
      glideTime_ = v;
      glideOn_ = v > 0.0;
      return;
    case kPortamentoLegato:
      legato_ = n >= 0.5;
      return;
    case kAmByOsc2:
      amDepth2_ = v;
      return;
    case kAmByOsc3:
      amDepth3_ = v;
      return;
    case kAmModAmount:
      amAmount_ = v;
      return;
    case kAmModSource:
      amSource_ = SourceFor(v);
      return;
    case kHardSync2:
      osc_[1].SetSyncMaster(v == 1.0 ? &osc_[0] : (v == 2.0 ? &osc_[2] : nullptr));
      return;
    case kHardSync3:
      osc_[2].SetSyncMaster(v == 1.0 ? &osc_[0] : (v == 2.0 ? &osc_[1] : nullptr));
      return;
    case kLinearFm2Depth:
      linFmDepth_[0] = n;
      return;
    case kLinearFm3Depth:
      linFmDepth_[1] = n;
      return;
    case kLinearFm2Modulator:
      fmSelect_[0] = n >= 0.5;
      return;
    case kLinearFm3Modulator:
      fmSelect_[1] = n >= 0.5;
      return;
    case kLinearFmMod2Amount:
      linFmAmount_[0] = v;
      return;
    case kLinearFmMod3Amount:
      linFmAmount_[1] = v;
      return;
    case kLinearFmMod2Source:
      linFmSource_[0] = SourceFor(v);
      return;
    case kLinearFmMod3Source:
      linFmSource_[1] = SourceFor(v);
      return;
    case kLevelOsc1:
    case kLevelOsc2:
    case kLevelOsc3:
    case kLevelNoise:
    {
      const auto c = static_cast<std::size_t>(index - kLevelOsc1);
      levelTarget_[c] = n;
      if (!active_) {
        level_[c] = n;
        return;
      }
      RampMixer();
      return;
    }
    case kPanOsc1:
    case kPanOsc2:
    case kPanOsc3:
    case kPanNoise: {
      const auto c = static_cast<std::size_t>(index - kPanOsc1);
      if (n <= 0.5) {
        panLeftTarget_[c] = 1.0;
        panRightTarget_[c] = 2.0 * n;
      } else {
        panLeftTarget_[c] = 2.0 * (1.0 - n);
        panRightTarget_[c] = 1.0;
      }
      if (!active_) {
        panLeft_[c] = panLeftTarget_[c];
        panRight_[c] = panRightTarget_[c];
        return;
      }
      RampMixer();
      return;
    }
    case kFilterType:
      filter_.SetType(v);
      return;
    case kFilterCutoff:
      filter_.SetCutoff(v, ampEg_.IsActive());
      return;
    case kFilterResonance:
      filter_.SetResonance(n);
      return;
    case kFilterKeyTrack:
      keyTrackFactor_ = v;
      return;
    case kFilterEgIntensity:
      egIntensity_ = v;
      return;
    case kFilterCfmAmount:
      cfmAmount_ = v;
      return;
    case kFilterCfmSource:
      cfmSource_ = PerSampleSourceFor(v);
      NoteInterpolatedReaders();
      return;
    case kAmpVelocity:
      velocitySensitivity_ = v;
      return;
    case kAmpAmAmount:
      ampAmAmount_ = v;
      return;
    case kAmpAmSource:
      ampAmSource_ = SourceFor(v);
      return;
    case kFilterEgTrigger:
      filterEg_.SetTriggerMode(n >= 0.5);
      return;
    case kAmpEgTrigger:
      ampEg_.SetTriggerMode(n >= 0.5);
      return;
    case kLinEg1Trigger:
      linEg1_.SetTriggerMode(n >= 0.5);
      return;
    case kLinEg2Trigger:
      linEg2_.SetTriggerMode(n >= 0.5);
      return;
    case kFilterEgModAmount:
    case kAmpEgModAmount:
    case kLinEg1ModAmount:
    case kLinEg2ModAmount:
      egAmount_[(index - kFilterEgModAmount) / 7] = v;
      return;
    case kFilterEgModSource:
    case kAmpEgModSource:
    case kLinEg1ModSource:
    case kLinEg2ModSource:
      egLevelSource_[(index - kFilterEgModSource) / 7] = SourceFor(v);
      return;
    case kFilterEgAttack:
      filterEg_.SetAttack(v);
      return;
    case kFilterEgDecay:
      filterEg_.SetDecay(v);
      return;
    case kFilterEgSustain:
      filterEg_.SetSustain(v);
      return;
    case kFilterEgRelease:
      filterEg_.SetRelease(v);
      return;
    case kAmpEgAttack:
      ampEg_.SetAttack(v);
      return;
    case kAmpEgDecay:
      ampEg_.SetDecay(v);
      return;
    case kAmpEgSustain:
      ampEg_.SetSustain(v);
      return;
    case kAmpEgRelease:
      ampEg_.SetRelease(v);
      return;
    case kLinEg1Attack:
      linEg1_.SetAttack(v);
      return;
    case kLinEg1Decay:
      linEg1_.SetDecay(v);
      return;
    case kLinEg1Sustain:
      linEg1_.SetSustain(v);
      return;
    case kLinEg1Release:
      linEg1_.SetRelease(v);
      return;
    case kLinEg2Attack:
      linEg2_.SetAttack(v);
      return;
    case kLinEg2Decay:
      linEg2_.SetDecay(v);
      return;
    case kLinEg2Sustain:
      linEg2_.SetSustain(v);
      return;
    case kLinEg2Release:
      linEg2_.SetRelease(v);
      return;
    case kMg1ModAmount:
      generatorAmount_[0] = v;
      return;
    case kMg2ModAmount:
      generatorAmount_[1] = v;
      return;
    case kVibratoModAmount:
      generatorAmount_[2] = v;
      return;
    case kMg1ModSource:
      generatorSource_[0] = SourceFor(v);
      return;
    case kMg2ModSource:
      generatorSource_[1] = SourceFor(v);
      return;
    case kVibratoModSource:
      generatorSource_[2] = SourceFor(v);
      return;
    default:
      break;
  }
  // The three oscillator blocks.
  for (int o = 0; o < kOscillators; ++o) {
    const int base = kOn[o];
    Oscillator& osc = osc_[o];
    // Offsets within a block; oscillator 1 keeps its AM parameters at 18-21, so its tuning block
    // starts later than the others'.
    const int r = index - base;
    const int tuning = o == 0 ? kOctave1 : (o == 1 ? kOctave2 : kOctave3);
    const int restart = o == 0 ? kRestartMode1 : (o == 1 ? kRestartMode2 : kRestartMode3);
    const int phase = o == 0 ? kStartPhase1 : (o == 1 ? kStartPhase2 : kStartPhase3);
    if (index == restart) {
      restart_[o] = n >= 0.5;
      return;
    }
    if (index == phase) {
      osc.SetStartPhase(n);
      return;
    }
    if (r >= 0 && r <= 5) {
      switch (r) {
        case 0:
          oscOn_[o] = n >= 0.5;
          return;
        case 1:
          osc.MarkTableChanged();
          return;
        case 2:
          waveShape_[o] = v;
          return;
        case 3:
          osc.SetInterpolate(TruncateToInt32(v) == 0);
          return;
        case 4:
          shapeAmount_[o] = v;
          return;
        case 5:
          shapeSource_[o] = SourceFor(v);
          return;
        default:
          return;
      }
    }
    const int t = index - tuning;
    if (t >= 0 && t <= 6) {
      switch (t) {
        case 0:
          osc.SetOctave(TruncateToInt32(v));
          return;
        case 1:
          osc.SetSemitone(TruncateToInt32(v));
          return;
        case 2:
          osc.SetFine(TruncateToInt32(v));
          return;
        case 3:
          fmAmount_[o] = v;
          return;
        case 4:
          fmSource_[o] = SourceFor(v);
          return;
        case 5:
          ampModAmount_[o] = v;
          return;
        case 6:
          ampModSource_[o] = PerSampleSourceFor(v);
          NoteInterpolatedReaders();
          return;
        default:
          return;
      }
    }
  }
}

void Voice::NoteOn(int note, int velocity, std::int32_t stamp, int xModeIndex, std::int32_t targetPitch) {
  targetPitch_ = targetPitch;
  // The gate before this note: still set when the voice is retaken while its key is held.
  const bool wasGated = gate_;
  const bool wasActive = active_;
  bool restarted = false;
  if (!glideOn_ || (legato_ && !wasGated)) {
    currentPitch_ = targetPitch;
    glideTicks_ = 0;
    glideStep_ = 0.0;
  } else {
    const double ticks = glideTime_ * 1000.0;
    glideTicks_ = TruncateToInt32(std::floor(ticks));
    if (glideTicks_ >= 1) {
      glideStep_ = (static_cast<double>(targetPitch) - currentPitch_) / ticks;
    } else {
      currentPitch_ = targetPitch;
      glideStep_ = 0.0;
    }
  }
  xModeIndex_ = xModeIndex < 0 ? 0 : (xModeIndex > 2 ? 2 : xModeIndex);
  note_ = note;
  velocity_ = velocity;
  stamp_ = stamp;
  notePositive_ = note / 127.0;
  velocityValue_ = velocity / 127.0;
  noteValue_ = 2.0 * notePositive_ - 1.0;
  if (!glideOn_ || !wasGated) {
    for (int o = 0; o < kOscillators; ++o) {
      if (!restart_[o]) continue;
      osc_[o].Restart();
      restarted = restarted || oscOn_[o];
    }
  }
  filterEg_.NoteOn();
  ampEg_.NoteOn();
  linEg1_.NoteOn();
  linEg2_.NoteOn();
  active_ = true;
  gate_ = true;
  ControlTick(true);
  if (!wasActive) {
    SettleRamps();
  } else {
    // Struck again while sounding: the new velocity (and Amp AM) takes over in a couple of
    // milliseconds rather than in one sample. A restarted phase would jump, so the note fades in
    // from silence while the product class fades the old sound out.
    if (restarted) ampGain_ = 0.0;
    GlideAmplifier(restrikeRampSamples_);
  }
}

void Voice::ReleaseAll() {
  gate_ = false;
  filterEg_.NoteOff();
  ampEg_.NoteOff();
  linEg1_.NoteOff();
  linEg2_.NoteOff();
}

void Voice::Release() {
  gate_ = false;
  if (sustained_) return;
  ReleaseAll();
}

void Voice::Sustain(bool pedal) {
  sustained_ = pedal;
  if (!gate_ && !pedal) ReleaseAll();
}

void Voice::Kill() {
  active_ = false;
  ForgetLastOutputs();
  gate_ = false;
  filterEg_.Reset();
  ampEg_.Reset();
  linEg1_.Reset();
  linEg2_.Reset();
}

void Voice::ControlTick(bool forced) {
  if (!active_ && !forced) return;
  modWheel_ = 2.0 * *links_.modWheel - 1.0;
  pitchBendPositive_ = ModulationRouting::Positive(*links_.pitchBend);
  for (int g = 0; g < 3; ++g) {
    if (generatorSource_[g] == nullptr) {
      generator_[g] = 0.0;
      generatorPositive_[g] = 0.0;
    } else {
      generator_[g] = ModulationRouting::GeneratorLevel(generatorAmount_[g], *generatorSource_[g]) *
                      *links_.generator[g];
      generatorPositive_[g] = ModulationRouting::Positive(generator_[g]);
    }
  }
  for (int e = 0; e < kEnvelopes; ++e) {
    egLevel_[e] = egLevelSource_[e] == nullptr ? 0.0
                                               : ModulationRouting::EnvelopeLevel(egAmount_[e], *egLevelSource_[e]);
  }
  for (int o = 0; o < kOscillators; ++o) {
    fmInput_[o] = fmSource_[o] == nullptr ? 0.0 : fmAmount_[o] * *fmSource_[o];
  }
  if (glideTicks_ > 0 && !forced) {
    --glideTicks_;
    currentPitch_ += glideStep_;
    if (glideTicks_ < 1) currentPitch_ = targetPitch_;
  }
  const double base = unisonOffset_ + currentPitch_ + bendRange_ * *links_.pitchBend;
  const double vibrato = generator_[2] * 6145.0;
  const auto setShapes = [this] {
    for (int o = 0; o < kOscillators; ++o) {
      if (!oscOn_[o]) continue;
      osc_[o].SetShape(shapeSource_[o] == nullptr ? waveShape_[o] : waveShape_[o] + shapeAmount_[o] * *shapeSource_[o]);
    }
  };
  // A shape takes effect at the oscillators' next tick; a note starts on the wave its settings
  // select, so its own tick hands the shape over first.
  if (forced) setShapes();
  for (int o = 0; o < kOscillators; ++o) osc_[o].ControlTick(base, fmInput_[o] + vibrato);
  setShapes();
  const double m = amSource_ == nullptr ? 1.0 : ModulationRouting::Gain(amAmount_, *amSource_);
  effectiveAm2_ = m * amDepth2_;
  effectiveAm3_ = m * amDepth3_;
  for (int i = 0; i < 2; ++i) {
    effectiveLinFm_[i] = linFmSource_[i] == nullptr ? linFmDepth_[i] : linFmDepth_[i] + linFmAmount_[i] * *linFmSource_[i];
  }
  keyTrackOffset_ = static_cast<double>(note_ - 48) * keyTrackFactor_;
  const double w = (velocityValue_ - 1.0) * velocitySensitivity_ + 1.0;
  ampFactor_ = ampAmSource_ == nullptr ? w : ModulationRouting::Gain(ampAmAmount_, *ampAmSource_) * w;
  if (!forced) {
    // What changed at this tick is heard in a straight line across it.
    // A re-struck voice's fade-in is not cut short.
    GlideAmplifier(ampGainSamplesLeft_ > tickSamples_ ? ampGainSamplesLeft_ : tickSamples_);
    if (interpolatedReaders_) {
      const double n = static_cast<double>(tickSamples_);
      for (int g = 0; g < 3; ++g) {
        generatorSmoothStep_[g] = (generator_[g] - generatorSmooth_[g]) / n;
        generatorSmoothStep_[g + 3] = (generatorPositive_[g] - generatorSmooth_[g + 3]) / n;
      }
      generatorSamplesLeft_ = tickSamples_;
    }
  }
  active_ = ampEg_.IsActive();
  // An idle voice renders nothing and its oscillators' last outputs count as 0 from then on.
  if (!active_) ForgetLastOutputs();
}

void Voice::PrepareStretch(bool* smoothFm) {
  for (Oscillator& o : osc_) o.Prepare();
  // Oscillator 1 has no FM input; the others only when their depth is not 0 (the input is then 0
  // exactly: the last outputs are finite).
  smoothFm[0] = !osc_[0].FmSmootherAtRest();
  smoothFm[1] = effectiveLinFm_[0] != 0.0 || !osc_[1].FmSmootherAtRest();
  smoothFm[2] = effectiveLinFm_[1] != 0.0 || !osc_[2].FmSmootherAtRest();
}

void Voice::Render(double& left, double& right, double noise) {
  if (!active_) return;
  double l;
  double r;
  Step<false>(noise, l, r, nullptr);
  left += l;
  right += r;
}

void Voice::RenderPair(Voice& first, Voice& second, double* __restrict left, double* __restrict right, int count,
                       const double* __restrict noiseFirst, const double* __restrict noiseSecond,
                       int noiseStride) {
  bool smoothFirst[3];
  bool smoothSecond[3];
  first.PrepareStretch(smoothFirst);
  second.PrepareStretch(smoothSecond);
  for (int j = 0; j < count; ++j) {
    const std::ptrdiff_t k = static_cast<std::ptrdiff_t>(j) * noiseStride;
    double l1;
    double r1;
    double l2;
    double r2;
    first.Step<true>(noiseFirst[k], l1, r1, smoothFirst);
    second.Step<true>(noiseSecond[k], l2, r2, smoothSecond);
    left[j] = left[j] + l1 + l2;
    right[j] = right[j] + r1 + r2;
  }
}

template <int kCount>
TARVOLIN_CPU_CLONES void Voice::RenderGroupOf(Voice* const* voices, double* __restrict left, double* __restrict right, int count,
                          const double* const* noise, int noiseStride) {
  constexpr int kPiece = 64;
  double inLeft[kCount][kPiece];
  double inRight[kCount][kPiece];
  double gain[kCount][kPiece];
  std::int32_t modulation[kCount][kPiece];
  bool smooth[kCount][3];
  for (int v = 0; v < kCount; ++v) voices[v]->PrepareStretch(smooth[v]);
  for (int start = 0; start < count; start += kPiece) {
    const int n = count - start < kPiece ? count - start : kPiece;
    for (int v = 0; v < kCount; ++v) {
      Voice& voice = *voices[v];
      const double* z = noise[v] + static_cast<std::ptrdiff_t>(start) * noiseStride;
      for (int j = 0; j < n; ++j) {
        voice.Sources<true>(z[static_cast<std::ptrdiff_t>(j) * noiseStride], smooth[v], inLeft[v][j], inRight[v][j],
                            modulation[v][j], gain[v][j]);
      }
    }
    VoiceFilter* filters[kCount];
    double* filterLeft[kCount];
    double* filterRight[kCount];
    const std::int32_t* filterModulation[kCount];
    for (int v = 0; v < kCount; ++v) {
      filters[v] = &voices[v]->filter_;
      filterLeft[v] = inLeft[v];
      filterRight[v] = inRight[v];
      filterModulation[v] = modulation[v];
    }
    VoiceFilter::ProcessGroup(filters, kCount, filterLeft, filterRight, filterModulation, n);
    for (int j = 0; j < n; ++j) {
      double l = left[start + j];
      double r = right[start + j];
      for (int v = 0; v < kCount; ++v) {
        l += gain[v][j] * voices[v]->unisonLeft_ * inLeft[v][j];
        r += gain[v][j] * voices[v]->unisonRight_ * inRight[v][j];
      }
      left[start + j] = l;
      right[start + j] = r;
    }
  }
}

void Voice::RenderGroup(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                        const double* const* noise, int noiseStride) {
  static_assert(kMaxGroup == VoiceLanes::kMaxVoices);
  if (voiceCount < 1 || voiceCount > kMaxGroup) return;
  if (VoiceLanes::Current() != VoiceLanes::Path::kScalar) {
    VoiceLanes::Render(voices, voiceCount, left, right, count, noise, noiseStride);
    return;
  }
  // Four at a time: each adds its voices into the sums after those of the four before, so the
  // sums are the same as in one group.
  for (int first = 0; first < voiceCount; first += 4) {
    const int n = voiceCount - first < 4 ? voiceCount - first : 4;
    switch (n) {
      case 1:
        RenderGroupOf<1>(voices + first, left, right, count, noise + first, noiseStride);
        break;
      case 2:
        RenderGroupOf<2>(voices + first, left, right, count, noise + first, noiseStride);
        break;
      case 3:
        RenderGroupOf<3>(voices + first, left, right, count, noise + first, noiseStride);
        break;
      default:
        RenderGroupOf<4>(voices + first, left, right, count, noise + first, noiseStride);
        break;
    }
  }
}

void Voice::RenderChunk(double* __restrict left, double* __restrict right, int count, const double* __restrict noise,
                        int noiseStride) {
  if (!active_) return;
  bool smooth[3];
  PrepareStretch(smooth);
  for (int j = 0; j < count; ++j) {
    double l;
    double r;
    Step<true>(noise[static_cast<std::ptrdiff_t>(j) * noiseStride], l, r, smooth);
    left[j] += l;
    right[j] += r;
  }
}
