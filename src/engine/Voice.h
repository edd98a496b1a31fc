#pragma once

#include <cstdint>

#include "engine/ExpEG.h"
#include "engine/ForceInline.h"
#include "engine/LinearEG.h"
#include "engine/ModulationRouting.h"
#include "engine/Oscillator.h"
#include "engine/NumericConversion.h"
#include "engine/VoiceFilter.h"

// One voice of the instrument: three wave-table oscillators and noise, mixed with levels and pans,
// through the ladder filter and the amplifier, shaped by two exponential envelopes (Filter EG, Amp
// EG), two linear envelopes (Lin EG 1, Lin EG 2) and the modulation sources of the voice.
//
// The product class owns 64 voices, hands every voice parameter to all of them, starts and releases
// notes, runs one control tick per voice in use every millisecond and asks each voice in use for its
// samples. All modulation that changes only with parameters, generators or ticks is worked out at
// the control tick; the per-sample path multiplies precomputed factors.
class Voice {
 public:
  static constexpr int kOscillators = 3;
  static constexpr int kEnvelopes = 4;
  // Envelope numbers: Filter EG, Amp EG, Lin EG 1, Lin EG 2.
  enum Envelope : int { kFilterEg = 0, kAmpEg = 1, kLinEg1 = 2, kLinEg2 = 3 };
  static constexpr std::int32_t kInitialNote = 48;

  // Instrument-wide values the voice reads by reference.
  struct Links {
    const double* modWheel = nullptr;           // 0 ... 1
    const double* pitchBend = nullptr;          // -1 ... 1
    const double* channelAftertouch = nullptr;  // 0 ... 1
    const double* generator[3] = {nullptr, nullptr, nullptr};  // MG 1, MG 2, Vibrato outputs
  };

  Voice();
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  void SetLinks(const Links& links);
  // Oscillator o (0 ... 2) reads this table from now on.
  void LinkTable(int oscillator, const WaveTable* table) { osc_[Index3(oscillator)].SetTable(table); }
  // Oscillator o's table was rebuilt or reselected.
  void MarkTableChanged(int oscillator) { osc_[Index3(oscillator)].MarkTableChanged(); }

  // Stops the voice and gives every sound object the new rate: gate, active and sustained off,
  // pitch and note at note 48, velocity 0, stamp 0.
  void SetSampleRate(double rate);

  // One parameter (index 0 ... 152) with its engine value and normalised value.
  void ApplyParameter(int index, double engineValue, double normalised);

  // Starts a note at targetPitch (pitch units, the owner's note pitch for note). xModeIndex picks the
  // oscillator that sounds in X-Mode (negative: the first).
  void NoteOn(int note, int velocity, std::int32_t stamp, int xModeIndex, std::int32_t targetPitch);
  // The key is up: the envelopes release unless the sustain pedal holds the voice.
  void Release();
  // Sustain pedal down or up; up releases a voice whose key is already up.
  void Sustain(bool pedal);
  // Gate off and all envelopes released (the instrument's silencing).
  void ReleaseAll();
  // Stops at once: active and gate off, envelopes idle. (The product class first lets the sound
  // fade out over a few milliseconds of its own, rendered ahead.)
  void Kill();
  // True when a note-on now would restart a sounding oscillator's phase: the old sound must then
  // fade out on its own while the new note fades in.
  bool WouldRestart() const;

  // Once per control tick for a voice in use (unforced), and at note-on (forced).
  void ControlTick(bool forced);

  // Adds one stereo sample to left and right; noise is the next value of the noise sequence, drawn
  // by the caller in render order. Does nothing when idle (an idle voice's last oscillator outputs
  // are 0, as the rendering of idle voices leaves them).
  void Render(double& left, double& right, double noise);
  // Adds count samples to left[0 ...] and right[0 ...], exactly as count calls of Render would, with
  // the noise values noise[0], noise[stride], noise[2 * stride] ...
  void RenderChunk(double* left, double* right, int count, const double* noise, int noiseStride);
  // Two sounding voices over the same samples, first before second in each sample's sum, exactly as
  // RenderChunk of first and then of second. Their work interleaves, so the long dependency chains
  // of one voice (filter feedback, linear FM) overlap with the other's.
  static void RenderPair(Voice& first, Voice& second, double* left, double* right, int count,
                         const double* noiseFirst, const double* noiseSecond, int noiseStride);
  // Up to kMaxGroup sounding voices over the same samples, in the order given (voice k before voice
  // k + 1 in each sample's sum), exactly as RenderChunk of each in turn: noise[k] are voice k's noise
  // values. Where the processor has AVX2 the group runs in the lanes of vector registers
  // (VoiceLanes); otherwise the filters of up to four voices at a time run side by side, so their
  // feedback chains overlap.
  static constexpr int kMaxGroup = 16;
  static void RenderGroup(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                          const double* const* noise, int noiseStride);

  // Set by the product class: unison detune offset (pitch units) and unison pan gains.
  void SetUnisonOffset(double pitch) { unisonOffset_ = pitch; }
  void SetUnisonPan(double left, double right) {
    unisonLeft_ = left;
    unisonRight_ = right;
  }
  void SetPolyAftertouch(double value) { polyAftertouch_ = value; }

  bool Active() const { return active_; }
  bool Gate() const { return gate_; }
  bool Sustained() const { return sustained_; }
  std::int32_t Note() const { return note_; }
  std::int32_t Velocity() const { return velocity_; }
  std::int32_t Stamp() const { return stamp_; }
  std::int32_t XModeIndex() const { return xModeIndex_; }
  double CurrentPitch() const { return currentPitch_; }
  std::int32_t TargetPitch() const { return targetPitch_; }
  double GlideStep() const { return glideStep_; }
  std::int32_t GlideTicksLeft() const { return glideTicks_; }
  double UnisonOffset() const { return unisonOffset_; }
  double UnisonLeft() const { return unisonLeft_; }
  double UnisonRight() const { return unisonRight_; }
  double PolyAftertouch() const { return polyAftertouch_; }
  // The mixer's settings; what the voice plays moves to them over about 10 ms while it sounds.
  double PanLeft(int channel) const { return panLeftTarget_[Index4(channel)]; }
  double PanRight(int channel) const { return panRightTarget_[Index4(channel)]; }
  double Level(int channel) const { return levelTarget_[Index4(channel)]; }
  // Whether the noise can be heard in the next stretch: its level is not 0, or a mixer line is
  // moving it.
  bool NoiseHeard() const {
    return level_[3] != 0.0 || (mixerSamplesLeft_ > 0 && (levelTarget_[3] != 0.0 || levelStep_[3] != 0.0));
  }
  const Oscillator& Osc(int o) const { return osc_[Index3(o)]; }
  const VoiceFilter& Filter() const { return filter_; }
  const EG& Env(int e) const;
  // The envelope's value as a modulation source (F-EG, A-EG, EG 1, EG 2).
  double EnvelopeSource(int e) const { return egSource_[Index4(e)]; }
  double AmplifierFactor() const { return ampFactor_; }
  // The amplifier factor as the last sample heard it: it follows AmplifierFactor in a straight line
  // across each control tick, and over a couple of milliseconds when a sounding voice is struck again.
  double AmplifierGain() const { return ampGain_; }
  double KeyTrackOffset() const { return keyTrackOffset_; }

 private:
  // Renders voices side by side with this record's own arithmetic.
  friend class VoiceLanes;

 private:
  static std::size_t Index3(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i > 2 ? 2 : i)); }
  static std::size_t Index4(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i > 3 ? 3 : i)); }

  // The value a source parameter selects: nullptr for "OFF" and anything outside the list.
  const double* SourceFor(double value) const;
  // The same for a value read at every sample: the generators' outputs, which change once per
  // control tick, are read interpolated across the tick (no stepping of a tremolo at the tick rate).
  const double* PerSampleSourceFor(double value);
  // Whether a per-sample reader uses the interpolated generators.
  void NoteInterpolatedReaders();
  // Starts the mixer's straight lines to its settings, over about 10 ms.
  void RampMixer();
  // Starts the amplifier gain's straight line to the amplifier factor, over samples.
  void GlideAmplifier(int samples);
  // A voice that starts from silence takes every setting at once.
  void SettleRamps();
  // One sample of the mixer's ramps and of the generators' interpolation.
  void StepMixer();
  void StepGenerators();
  void ForgetLastOutputs() { last_[0] = last_[1] = last_[2] = 0.0; }
  // Advances the envelopes and produces this voice's stereo contribution for one sample. Prepared:
  // the oscillators were prepared for the current stretch of samples (smoothFm tells which of them
  // need their FM smoother); otherwise each sample reads as the oscillator's own Render does.
  template <bool kPrepared>
  void Step(double noise, double& outLeft, double& outRight, const bool* smoothFm);
  // The part of Step before the filter: envelopes, oscillators, mixer and noise. Gives the filter's
  // input, its cutoff modulation and the amplifier gain of the sample.
  template <bool kPrepared>
  void Sources(double noise, const bool* smoothFm, double& left, double& right, std::int32_t& cutoffModulation,
               double& gain);
  template <int kCount>
  static void RenderGroupOf(Voice* const* voices, double* left, double* right, int count, const double* const* noise,
                            int noiseStride);
  // Prepares the oscillators for a stretch of samples; answers in smoothFm which smoothers run.
  void PrepareStretch(bool* smoothFm);

  Oscillator osc_[kOscillators];
  VoiceFilter filter_;
  ExpEG filterEg_;
  ExpEG ampEg_;
  LinearEG linEg1_;
  LinearEG linEg2_;

  Links links_;

  // Source values of the voice.
  double modWheel_ = 0.0;         // MW: 2 * mod wheel - 1
  double pitchBendPositive_ = 0;  // PB+
  double noteValue_ = 0.0;       // Note: 2 * note / 127 - 1
  double notePositive_ = 0.0;     // Note+
  double velocityValue_ = 0.0;    // Velo
  double polyAftertouch_ = 0.0;   // P-AT
  double generator_[3] = {0.0, 0.0, 0.0};          // MG1, MG2, Vib
  double generatorPositive_[3] = {0.0, 0.0, 0.0};  // MG1+, MG2+, Vib+
  double egSource_[kEnvelopes] = {0.0, 0.0, 0.0, 0.0};  // F-EG, A-EG, EG 1, EG 2

  // Switches.
  bool oscOn_[kOscillators] = {true, true, true};
  bool restart_[kOscillators] = {false, false, false};
  bool xMode_ = false;
  bool legato_ = false;
  bool glideOn_ = false;
  // Linear-FM modulator select of oscillators 2 and 3 (oscillator 3 resp. 1 when set).
  bool fmSelect_[2] = {false, false};

  // Note state.
  bool active_ = false;
  bool gate_ = false;
  bool sustained_ = false;
  std::int32_t note_ = kInitialNote;
  std::int32_t velocity_ = 0;
  std::int32_t stamp_ = 0;
  std::int32_t xModeIndex_ = 0;
  std::int32_t targetPitch_ = kInitialNote * 128;
  double currentPitch_ = kInitialNote * 128;
  double glideStep_ = 0.0;
  std::int32_t glideTicks_ = 0;

  // Pitch inputs.
  double bendRange_ = 256.0;
  double glideTime_ = 0.0;
  double unisonOffset_ = 0.0;

  // Oscillator inputs.
  double waveShape_[kOscillators] = {0.0, 0.0, 0.0};
  double shapeAmount_[kOscillators] = {0.0, 0.0, 0.0};
  const double* shapeSource_[kOscillators] = {nullptr, nullptr, nullptr};
  double fmAmount_[kOscillators] = {0.0, 0.0, 0.0};
  const double* fmSource_[kOscillators] = {nullptr, nullptr, nullptr};
  double ampModAmount_[kOscillators] = {0.0, 0.0, 0.0};
  const double* ampModSource_[kOscillators] = {nullptr, nullptr, nullptr};
  double linFmDepth_[2] = {0.0, 0.0};
  double linFmAmount_[2] = {0.0, 0.0};
  const double* linFmSource_[2] = {nullptr, nullptr};
  double amDepth2_ = 0.0;  // "AM by Osc 2"
  double amDepth3_ = 0.0;  // "AM Osc 3"
  double amAmount_ = 0.0;
  const double* amSource_ = nullptr;

  // Mixer: oscillators 1-3 and noise; what the voice plays (level_, pan*_) and the settings (*Target_).
  // A change moves what is played in a straight line over mixerRampSamples_ while the voice sounds.
  double level_[4] = {0.5, 0.5, 0.5, 0.0};
  double panLeft_[4] = {1.0, 1.0, 1.0, 1.0};
  double panRight_[4] = {1.0, 1.0, 1.0, 1.0};
  double levelTarget_[4] = {0.5, 0.5, 0.5, 0.0};
  double panLeftTarget_[4] = {1.0, 1.0, 1.0, 1.0};
  double panRightTarget_[4] = {1.0, 1.0, 1.0, 1.0};
  double levelStep_[4] = {0.0, 0.0, 0.0, 0.0};
  double panLeftStep_[4] = {0.0, 0.0, 0.0, 0.0};
  double panRightStep_[4] = {0.0, 0.0, 0.0, 0.0};
  std::int32_t mixerSamplesLeft_ = 0;
  double unisonLeft_ = 1.0;
  double unisonRight_ = 1.0;

  // Filter inputs.
  double keyTrackFactor_ = 0.0;
  double egIntensity_ = 0.0;
  double cfmAmount_ = 0.0;
  const double* cfmSource_ = nullptr;

  // Amplifier.
  double velocitySensitivity_ = 0.0;
  double ampAmAmount_ = 0.0;
  const double* ampAmSource_ = nullptr;

  // Modulator controls: MG 1, MG 2, Vibrato, and the four envelopes.
  double generatorAmount_[3] = {1.0, 1.0, 0.01};
  const double* generatorSource_[3] = {nullptr, nullptr, nullptr};
  double egAmount_[kEnvelopes] = {1.0, 1.0, 1.0, 1.0};
  const double* egLevelSource_[kEnvelopes] = {nullptr, nullptr, nullptr, nullptr};

  // Derived at each control tick.
  double effectiveAm2_ = 0.0;
  double effectiveAm3_ = 0.0;
  double effectiveLinFm_[2] = {0.0, 0.0};
  double fmInput_[kOscillators] = {0.0, 0.0, 0.0};
  double keyTrackOffset_ = 0.0;
  double ampFactor_ = 1.0;
  double egLevel_[kEnvelopes] = {0.0, 0.0, 0.0, 0.0};

  // Per-sample ramps against clicks and zipper noise; plain scalar state, one step per sample.
  std::int32_t tickSamples_ = 44;          // samples per control tick
  std::int32_t mixerRampSamples_ = 441;    // about 10 ms
  std::int32_t restrikeRampSamples_ = 88;  // about 2 ms
  // The amplifier gain the samples use, moving to ampFactor_.
  double ampGain_ = 1.0;
  double ampGainStep_ = 0.0;
  std::int32_t ampGainSamplesLeft_ = 0;
  // MG1, MG2, Vib, MG1+, MG2+, Vib+ interpolated across the tick for the per-sample readers.
  double generatorSmooth_[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  double generatorSmoothStep_[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  std::int32_t generatorSamplesLeft_ = 0;
  bool interpolatedReaders_ = false;

  // Outputs of the previous sample: oscillator 1 after its amplitude modulation by 2 and 3,
  // oscillators 2 and 3.
  double last_[kOscillators] = {0.0, 0.0, 0.0};
};

TARVOLIN_FORCE_INLINE void Voice::StepMixer() {
  --mixerSamplesLeft_;
  if (mixerSamplesLeft_ == 0) {
    for (int c = 0; c < 4; ++c) {
      level_[c] = levelTarget_[c];
      panLeft_[c] = panLeftTarget_[c];
      panRight_[c] = panRightTarget_[c];
    }
    return;
  }
  for (int c = 0; c < 4; ++c) {
    level_[c] += levelStep_[c];
    panLeft_[c] += panLeftStep_[c];
    panRight_[c] += panRightStep_[c];
  }
}

TARVOLIN_FORCE_INLINE void Voice::StepGenerators() {
  --generatorSamplesLeft_;
  if (generatorSamplesLeft_ == 0) {
    for (int g = 0; g < 3; ++g) {
      generatorSmooth_[g] = generator_[g];
      generatorSmooth_[g + 3] = generatorPositive_[g];
    }
    return;
  }
  for (int g = 0; g < 6; ++g) generatorSmooth_[g] += generatorSmoothStep_[g];
}

template <bool kPrepared>
TARVOLIN_FORCE_INLINE void Voice::Sources(double noise, const bool* smoothFm, double& outLeft, double& outRight,
                                          std::int32_t& cutoffModulation, double& gain) {
  const auto render = [&](int o, double fm) {
    if constexpr (kPrepared) return osc_[o].RenderPrepared(fm, smoothFm[o]);
    else return osc_[o].Render(fm);
  };
  if (ampGainSamplesLeft_ > 0) {
    --ampGainSamplesLeft_;
    ampGain_ = ampGainSamplesLeft_ == 0 ? ampFactor_ : ampGain_ + ampGainStep_;
  }
  if (mixerSamplesLeft_ > 0) StepMixer();
  if (generatorSamplesLeft_ > 0) StepGenerators();
  filterEg_.Process();
  ampEg_.Process();
  linEg1_.Process();
  linEg2_.Process();
  egSource_[0] = ModulationRouting::EnvelopeSource(egAmount_[0], egLevel_[0], filterEg_.Output());
  egSource_[1] = ModulationRouting::EnvelopeSource(egAmount_[1], egLevel_[1], ampEg_.Output());
  egSource_[2] = ModulationRouting::EnvelopeSource(egAmount_[2], egLevel_[2], linEg1_.Output());
  egSource_[3] = ModulationRouting::EnvelopeSource(egAmount_[3], egLevel_[3], linEg2_.Output());

  double o1 = oscOn_[0] ? render(0, 0.0) : 0.0;
  double o2 = 0.0;
  double o3 = 0.0;
  if (oscOn_[1]) {
    o2 = render(1, (fmSelect_[0] ? last_[2] : last_[0]) * effectiveLinFm_[0]);
    // Without AM depth the factor is exactly 1 (the outputs are finite); leaving it out keeps
    // oscillator 1 independent of the others, which matters when it also drives their FM.
    if (effectiveAm2_ != 0.0) o1 = o1 * ((o2 - 1.0) * effectiveAm2_ + 1.0);
  }
  if (oscOn_[2]) {
    o3 = render(2, (fmSelect_[1] ? last_[0] : last_[1]) * effectiveLinFm_[1]);
    if (effectiveAm3_ != 0.0) o1 = o1 * ((o3 - 1.0) * effectiveAm3_ + 1.0);
  }
  last_[0] = o1;
  last_[1] = o2;
  last_[2] = o3;
  if (ampModSource_[0] != nullptr) o1 *= ModulationRouting::Gain(ampModAmount_[0], *ampModSource_[0]);
  if (ampModSource_[1] != nullptr) o2 *= ModulationRouting::Gain(ampModAmount_[1], *ampModSource_[1]);
  if (ampModSource_[2] != nullptr) o3 *= ModulationRouting::Gain(ampModAmount_[2], *ampModSource_[2]);
  const double z = noise * level_[3];

  double l;
  double r;
  if (!xMode_) {
    const double a1 = level_[0] * o1;
    const double a2 = level_[1] * o2;
    const double a3 = level_[2] * o3;
    l = a1 * panLeft_[0] + a2 * panLeft_[1] + a3 * panLeft_[2];
    r = a1 * panRight_[0] + a2 * panRight_[1] + a3 * panRight_[2];
  } else {
    const std::size_t x = static_cast<std::size_t>(xModeIndex_);
    const double o = x == 0 ? o1 : (x == 1 ? o2 : o3);
    const double a = level_[x] * o;
    l = a * panLeft_[x];
    r = a * panRight_[x];
  }
  l += z * panLeft_[3];
  r += z * panRight_[3];

  double cutoff = egIntensity_ * egSource_[0] + keyTrackOffset_;
  if (cfmSource_ != nullptr) cutoff += cfmAmount_ * *cfmSource_;
  cutoffModulation = TruncateToInt32(cutoff);
  gain = ampGain_ * egSource_[1];
  outLeft = l;
  outRight = r;
}

template <bool kPrepared>
TARVOLIN_FORCE_INLINE void Voice::Step(double noise, double& outLeft, double& outRight, const bool* smoothFm) {
  double l;
  double r;
  std::int32_t modulation;
  double g;
  Sources<kPrepared>(noise, smoothFm, l, r, modulation, g);
  filter_.Process(l, r, modulation);
  outLeft = g * unisonLeft_ * l;
  outRight = g * unisonRight_ * r;
}
