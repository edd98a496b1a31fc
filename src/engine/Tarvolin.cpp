#include "engine/Tarvolin.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/BankLoad.h"
#include "engine/NoiseSource.h"
#include "engine/NumericConversion.h"
#include "engine/ParameterTable.h"
#include "engine/ProgramState.h"
#include "shell/IPlugEditor.h"
#include "shell/VstTypes.h"
#include "wavetable/WaveTableImport.h"

const PluginInfo& Tarvolin::Identity() {
  static const PluginInfo info = [] {
    PluginInfo i;
    i.effectName = "Tarvolin";
    i.productName = "";
    i.vendorName = "Stonemoor Music";
    i.uniqueId = FourCharCode("tvln");
    i.manufacturerId = FourCharCode("StMo");
    i.version = 0x10105;
    i.channelIO = "0-2";
    i.parameterCount = param::kCount;
    i.programCount = 64;
    i.isInstrument = true;
    i.receivesMidi = true;
    i.usesChunks = true;
    return i;
  }();
  return info;
}

Tarvolin::Tarvolin(HostCallback host) : Synth(Identity(), host), voices_(new Voice[kVoices]) {
  Voice::Links links;
  links.modWheel = &modWheel_;
  links.pitchBend = &pitchBend_;
  links.channelAftertouch = &channelAftertouch_;
  for (int g = 0; g < 3; ++g) links.generator[g] = &generators_[static_cast<std::size_t>(g)].OutputRef();
  for (int v = 0; v < kVoices; ++v) {
    Voice& voice = voices_[static_cast<std::size_t>(v)];
    voice.SetLinks(links);
    for (int o = 0; o < WaveTableStore::kOscillatorCount; ++o) voice.LinkTable(o, &waveTables_.Table(o));
  }
  ResizeBuffers();
  // Another instance may have saved the configuration while the engine was being built.
  ReadConfiguration();
  CreateParameters();
  CreateEditor();
  if (IPlugEditor* editor = GetEditor()) AttachEditor(editor);
  LoadStartupOrFactoryBank();
  waveTables_.SetConstructing(false);
  // Nothing plays yet: the first program's tables are built here, so that it sounds complete from
  // the first block.
  PrepareProgramToPlay(0);
  RecallProgram(0);
}

Tarvolin::~Tarvolin() {
  // The controls it keeps go with the frame.
  productEditor_.reset();
  ReleaseEditor();
}

void Tarvolin::CreateEditor() { productEditor_ = BuildProductEditor(*this); }

void Tarvolin::OnHostIdle() {
  if (productEditor_ != nullptr) productEditor_->OnHostIdle();
}

void Tarvolin::UpdateEditorForParameter(int index) {
  if (productEditor_ != nullptr) productEditor_->UpdateForParameter(index);
}

void Tarvolin::CreateParameters() { CreateParameterTable(*this); }

bool Tarvolin::SerializeProgramState(ChunkBuffer& chunk) { return ProgramState::Write(*this, chunk); }

int Tarvolin::UnserializeProgramState(const ChunkBuffer& chunk, int pos) {
  return ProgramState::Read(*this, chunk, pos);
}

std::shared_ptr<const PreparedState> Tarvolin::PrepareProgramState(const ChunkBuffer& chunk, int pos) const {
  return ProgramState::Prepare(chunk, pos);
}

void Tarvolin::PrepareToPlay(const PreparedState& state) {
  ProgramState::PrepareTables(static_cast<const ProgramState::Prepared&>(state), *this);
}

int Tarvolin::ApplyProgramState(const PreparedState& state) {
  return ProgramState::Apply(*this, static_cast<const ProgramState::Prepared&>(state));
}

std::shared_ptr<const PreparedState> Tarvolin::StoreProgramState(ChunkBuffer& chunk) {
  PluginLock lock(PluginMutex());
  const int before = chunk.Size();
  ProgramState::Image image = ProgramState::Capture(*this);
  ProgramState::WriteImage(image, *this, CurrentProgram(), ProgramName(CurrentProgram()), chunk);
  return ProgramState::FromImage(image, chunk.Size() - before);
}

int Tarvolin::UnserializePresets(const ChunkBuffer& chunk, int pos) {
  // A program change between the two steps (MIDI on the audio thread) means the work was done
  // for another current program: do it again; should that keep happening, read in place.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::unique_ptr<BankLoad> load = BankLoad::Prepare(*this, chunk, pos);
    int end = -1;
    if (load->Apply(*this, &end)) return end;
  }
  return IPlugBase::UnserializePresets(chunk, pos);
}

bool Tarvolin::LoadUserWaveTable(int slot, const std::string& path) {
  if (slot < 0 || slot >= WaveTableStore::kSlotCount) return false;
  UserWaveSlot loaded;
  if (!::LoadUserWaveTable(loaded, path)) return false;
  WaveTableStore::Prepare(WaveTableStore::kFirstSlotIdentifier + slot, loaded.Content());
  PluginLock lock(PluginMutex());
  waveTables_.SetSlotContent(slot, loaded.Content());
  // Oscillators already playing the slot take the new waves; the table was built above.
  for (const int index : ProgramState::kWaveTableParameters) {
    if (GetParam(index)->Value() == WaveTableStore::kFirstSlotIdentifier + slot) OnParameterChanged(index);
  }
  return true;
}

void Tarvolin::PrepareWaveTable(std::int32_t identifier) {
  std::shared_ptr<const UserWaveContent> content;
  if (const int slot = WaveTableStore::SlotOfIdentifier(identifier); slot >= 0) {
    PluginLock lock(PluginMutex());
    content = waveTables_.Slot(slot).Content();
  }
  WaveTableStore::Prepare(identifier, content);
}

void Tarvolin::SelectWaveTable(int oscillator, std::int32_t identifier) {
  if (oscillator < 0 || oscillator >= WaveTableStore::kOscillatorCount) return;
  PrepareWaveTable(identifier);
  const int index = ProgramState::kWaveTableParameters[oscillator];
  SetParameterFromEditor(index, GetParam(index)->ToNormalised(identifier));
}

void Tarvolin::FinishWaveTables() {
  PluginLock lock(PluginMutex());
  TellVoicesTablesChanged(waveTables_.FinishPending());
}

void Tarvolin::InitCurrentProgram() {
  // The default tables are built before the lock is taken.
  for (int index : ProgramState::kWaveTableParameters) {
    WaveTableStore::Prepare(static_cast<std::int32_t>(GetParam(index)->Default()));
  }
  PluginLock lock(PluginMutex());
  for (int i = 0; i < NParams(); ++i) {
    SetParameterFromEditor(i, GetParam(i)->NormalisedDefault());
    if (IPlugEditor* editor = AttachedEditor()) editor->SetParameterFromPlugin(i, GetParam(i)->GetNormalised(), true);
  }
  // Also where a value stayed as it was.
  for (int index : {param::kUnisonMode, param::kWaveTable1, param::kWaveTable2, param::kWaveTable3,
                    param::kMg1SyncToHost, param::kMg2SyncToHost, param::kVibratoSyncToHost}) {
    UpdateEditorForParameter(index);
  }
  Tuning().SelectTuning(0);
  waveTables_.ClearSlots();
  ModifyCurrentPreset("Init");
  RefreshParameterControls();
  ReportAllParameters();
}

// ---- Reset ------------------------------------------------------------------------------------

void Tarvolin::ResizeBuffers() {
  const auto interval = static_cast<std::size_t>(std::max(ControlInterval(), 1));
  if (mixLeft_.size() != interval) {
    mixLeft_.assign(interval, 0.0);
    mixRight_.assign(interval, 0.0);
    noise_.assign(interval * kVoices, 0.0);
    dropLeft_.assign(interval, 0.0);
    dropRight_.assign(interval, 0.0);
  }
  // About 2 ms of fade-out for voices stopped at once (absurd host rates bounded as the chorus does).
  const auto fade = static_cast<std::size_t>(std::max(1L, std::lround(std::min(SanitizeSampleRate(SampleRate()), 1e7) * 0.002)));
  if (fadeLeft_.size() != fade) {
    fadeLeft_.assign(fade, 0.0);
    fadeRight_.assign(fade, 0.0);
    fadeScratchLeft_.assign(fade, 0.0);
    fadeScratchRight_.assign(fade, 0.0);
    fadeNoise_.assign(fade, 0.0);
    fadeHead_ = 0;
    fadePending_ = 0;
  }
  if (noteEvents_.Capacity() < MidiQueue().Capacity()) noteEvents_.Resize(MidiQueue().Capacity());
}

void Tarvolin::EngineReset() {
  const double rate = SampleRate();
  lastSampleRate_ = rate;
  stampCounter_ = 0;
  modWheel_ = 0.0;
  pitchBend_ = 0.0;
  for (int v = 0; v < kVoices; ++v) voices_[static_cast<std::size_t>(v)].SetSampleRate(rate);
  // The filters start over at cutoff 0; a host that changes the rate without re-activating the
  // instrument (which delivers every parameter again) would otherwise hear them closed.
  OnParameterChanged(param::kFilterCutoff);
  chorus_.SetSampleRate(rate);
}

void Tarvolin::OnReset() {
  PluginLock lock(PluginMutex());
  Synth::OnReset();
  if (SampleRate() != lastSampleRate_) EngineReset();
  ResizeBuffers();
}

// ---- Parameters -------------------------------------------------------------------------------

void Tarvolin::TellVoices(int index, double engineValue, double normalised) {
  for (int v = 0; v < kVoices; ++v) voices_[static_cast<std::size_t>(v)].ApplyParameter(index, engineValue, normalised);
}

void Tarvolin::DistributeDetune() {
  const int n = voiceCount_;
  if (unison_ && n > 1) {
    const double step = 2.0 * unisonDetune_ / (n - 1);
    double c = masterTune_ - unisonDetune_;
    for (int i = 0; i < n; ++i) {
      voices_[static_cast<std::size_t>(i)].SetUnisonOffset(c);
      c += step;
    }
  } else {
    for (int i = 0; i < n; ++i) voices_[static_cast<std::size_t>(i)].SetUnisonOffset(masterTune_);
  }
}

void Tarvolin::DistributeSpread() {
  const int n = voiceCount_;
  if (unison_ && n > 1) {
    const double step = 2.0 * unisonSpread_ / (n - 1);
    double b = -unisonSpread_;
    for (int i = 0; i < n; ++i) {
      Voice& voice = voices_[static_cast<std::size_t>(i)];
      if (b < 0.0) voice.SetUnisonPan(1.0, std::sqrt(1.0 + b));
      else voice.SetUnisonPan(std::sqrt(1.0 - b), 1.0);
      b += step;
    }
  } else {
    for (int i = 0; i < n; ++i) voices_[static_cast<std::size_t>(i)].SetUnisonPan(1.0, 1.0);
  }
}

void Tarvolin::OnParameterChanged(int index) {
  PluginLock lock(PluginMutex());
  Synth::OnParameterChanged(index);
  const Parameter* p = GetParam(index);
  if (p == nullptr) return;
  const double v = std::clamp(p->Value(), p->Min(), p->Max());
  const double n = p->GetNormalised();
  const double e = EngineValue(index, v, n);
  using namespace param;
  bool voicesToo = true;
  switch (index) {
    case kVolume:
      volume_ = v;
      UpdateOutputGain();
      voicesToo = false;
      break;
    case kMasterTune:
      masterTune_ = e;
      DistributeDetune();
      voicesToo = false;
      break;
    case kNumberOfVoices:
      KillAllVoices();
      voiceCount_ = static_cast<int>(e);
      unisonGain_ = 1.0 / std::sqrt(static_cast<double>(voiceCount_));
      DistributeDetune();
      DistributeSpread();
      UpdateOutputGain();
      voicesToo = false;
      break;
    case kUnisonMode:
      KillAllVoices();
      unison_ = e != 0.0;
      DistributeDetune();
      DistributeSpread();
      UpdateOutputGain();
      voicesToo = false;
      break;
    case kUnisonDetune:
      unisonDetune_ = e;
      DistributeDetune();
      voicesToo = false;
      break;
    case kUnisonSpread:
      unisonSpread_ = e;
      DistributeSpread();
      voicesToo = false;
      break;
    case kXMode: {
      const bool was = xMode_;
      xMode_ = e != 0.0;
      if (xMode_ && !was) xModeIndex_ = -1;
      break;
    }
    case kOsc1On:
      oscOn_[0] = e != 0.0;
      break;
    case kOsc2On:
      oscOn_[1] = e != 0.0;
      break;
    case kOsc3On:
      oscOn_[2] = e != 0.0;
      break;
    case kWaveTable1:
    case kWaveTable2:
    case kWaveTable3: {
      const int o = WaveTableStore::OscillatorOfParameter(index);
      // Never builds: a table not built yet takes over at a later control tick.
      if (waveTables_.Select(o, static_cast<std::int32_t>(v))) TellVoicesTablesChanged(1u << o);
      break;
    }
    case kChorusOn:
      chorusOn_ = e != 0.0;
      chorus_.Clear();
      voicesToo = false;
      break;
    case kChorusDelay:
      chorus_.SetDelay(v);
      voicesToo = false;
      break;
    case kChorusSpeed:
      chorus_.SetSpeed(v);
      voicesToo = false;
      break;
    case kChorusDepth:
      chorus_.SetDepth(v);
      voicesToo = false;
      break;
    case kChorusFeedback:
      chorus_.SetFeedback(v);
      voicesToo = false;
      break;
    case kChorusMix:
      chorus_.SetMix(v, chorusOn_ && Sounding() ? RampSamples() : 0);
      voicesToo = false;
      break;
    case kMg1Frequency:
    case kMg2Frequency:
    case kVibratoFrequency:
      generators_[static_cast<std::size_t>((index - kMg1Frequency) / 6)].SetPeriod(
          ModulationGenerator::PeriodForFrequency(v));
      voicesToo = false;
      break;
    case kMg1Waveform:
    case kMg2Waveform:
      generators_[static_cast<std::size_t>((index - kMg1Waveform) / 6)].SetWaveform(v);
      voicesToo = false;
      break;
    case kMg1SyncToHost:
    case kMg2SyncToHost:
    case kVibratoSyncToHost: {
      const auto g = static_cast<std::size_t>(index == kVibratoSyncToHost ? 2 : (index - kMg1SyncToHost) / 6);
      syncFlags_[g] = e != 0.0;
      generators_[g].SetSynced(syncFlags_[g]);
      voicesToo = false;
      break;
    }
    case kMg1SyncRate:
    case kMg2SyncRate:
    case kVibratoSyncRate: {
      const auto g = static_cast<std::size_t>(index == kVibratoSyncRate ? 2 : (index - kMg1SyncRate) / 6);
      generators_[g].SetSyncRate(v);
      voicesToo = false;
      break;
    }
    default:
      break;
  }
  if (voicesToo) TellVoices(index, e, n);
  // The unison buttons, the wave-table displays and which of a generator's rate knobs shows.
  UpdateEditorForParameter(index);
}

// ---- Program commands -------------------------------------------------------------------------

void Tarvolin::CopyOscillatorSettings(int from, int to) {
  if (from == to || from < 0 || from > 2 || to < 0 || to > 2) return;
  using namespace param;
  // The common block of each oscillator, in block order.
  static constexpr int kCommon[3][15] = {
      {kOsc1On, kWaveTable1, kWaveShape1, kWaveMode1, kWaveShapeMod1Amount, kWaveShapeMod1Source, kStartPhase1,
       kRestartMode1, kOctave1, kPitch1, kTune1, kFrequencyMod1Amount, kFrequencyMod1Source, kAmplitudeMod1Amount,
       kAmplitudeMod1Source},
      {kOsc2On, kWaveTable2, kWaveShape2, kWaveMode2, kWaveShapeMod2Amount, kWaveShapeMod2Source, kStartPhase2,
       kRestartMode2, kOctave2, kPitch2, kTune2, kFrequencyMod2Amount, kFrequencyMod2Source, kAmplitudeMod2Amount,
       kAmplitudeMod2Source},
      {kOsc3On, kWaveTable3, kWaveShape3, kWaveMode3, kWaveShapeMod3Amount, kWaveShapeMod3Source, kStartPhase3,
       kRestartMode3, kOctave3, kPitch3, kTune3, kFrequencyMod3Amount, kFrequencyMod3Source, kAmplitudeMod3Amount,
       kAmplitudeMod3Source}};
  // Sync and linear FM exist only on oscillators 2 and 3.
  static constexpr int kModulated[2][5] = {
      {kHardSync2, kLinearFm2Depth, kLinearFm2Modulator, kLinearFmMod2Amount, kLinearFmMod2Source},
      {kHardSync3, kLinearFm3Depth, kLinearFm3Modulator, kLinearFmMod3Amount, kLinearFmMod3Source}};
  PluginLock lock(PluginMutex());
  for (int k = 0; k < 15; ++k) {
    SetParameterFromEditor(kCommon[to][k], GetParam(kCommon[from][k])->GetNormalised());
  }
  if (from > 0 && to > 0) {
    for (int k = 0; k < 5; ++k) {
      SetParameterFromEditor(kModulated[to - 1][k], GetParam(kModulated[from - 1][k])->GetNormalised());
    }
  }
  RefreshParameterControls();
}

// ---- Notes ------------------------------------------------------------------------------------

void Tarvolin::NoteOn(int note, int velocity) {
  if (xMode_) {
    xModeIndex_ = (xModeIndex_ + 1) % 3;
    for (int t = 0; t < 3 && !oscOn_[static_cast<std::size_t>(xModeIndex_)]; ++t) xModeIndex_ = (xModeIndex_ + 1) % 3;
  }
  const auto nextStamp = [this] {
    // The counter only grows; wrapping after 2^32 notes is harmless and well defined.
    stampCounter_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(stampCounter_) + 1u);
    return stampCounter_;
  };
  if (unison_) {
    for (int i = 0; i < voiceCount_; ++i) {
      const std::int32_t stamp = nextStamp();
      Voice& voice = voices_[static_cast<std::size_t>(i)];
      if (voice.WouldRestart()) FadeOut(voice);
      voice.NoteOn(note, velocity, stamp, xModeIndex_, GetNotePitch(note));
    }
    return;
  }
  int chosen = -1;
  for (int i = 0; i < voiceCount_ && chosen < 0; ++i) {
    if (voices_[static_cast<std::size_t>(i)].Note() == note) chosen = i;
  }
  for (int i = 0; i < voiceCount_ && chosen < 0; ++i) {
    if (!voices_[static_cast<std::size_t>(i)].Active()) chosen = i;
  }
  if (chosen < 0) {
    chosen = 0;
    for (int i = 1; i < voiceCount_; ++i) {
      if (voices_[static_cast<std::size_t>(i)].Stamp() < voices_[static_cast<std::size_t>(chosen)].Stamp()) chosen = i;
    }
  }
  const std::int32_t stamp = nextStamp();
  Voice& voice = voices_[static_cast<std::size_t>(chosen)];
  // A sounding voice taken for a note that restarts its oscillators would jump: its sound fades out
  // on its own while the new note fades in.
  if (voice.WouldRestart()) FadeOut(voice);
  voice.NoteOn(note, velocity, stamp, xModeIndex_, GetNotePitch(note));
}

void Tarvolin::NoteOff(int note) {
  heldNotes_.Remove(note);
  Voice& first = voices_[0];
  if ((unison_ || voiceCount_ == 1) && first.Active() && !heldNotes_.Empty()) {
    // Back to the highest key still held; the voices keep their gate, so glide and legato apply.
    const int highest = heldNotes_.Highest();
    if (highest != first.Note()) NoteOn(highest, heldNotes_.Velocity(highest));
    return;
  }
  if (unison_) {
    for (int i = 0; i < voiceCount_; ++i) voices_[static_cast<std::size_t>(i)].Release();
    return;
  }
  for (int i = 0; i < voiceCount_; ++i) {
    Voice& voice = voices_[static_cast<std::size_t>(i)];
    if (voice.Note() == note) {
      voice.Release();
      return;
    }
  }
}

void Tarvolin::SetSustain(bool pedal) {
  sustain_ = pedal;
  for (int i = 0; i < voiceCount_; ++i) voices_[static_cast<std::size_t>(i)].Sustain(pedal);
}

void Tarvolin::SilenceAllVoices() {
  PluginLock lock(PluginMutex());
  heldNotes_.Clear();
  noteEvents_.Clear();
  SetSustain(false);
  for (int i = 0; i < kVoices; ++i) voices_[static_cast<std::size_t>(i)].ReleaseAll();
}

void Tarvolin::KillAllVoices() {
  SilenceAllVoices();
  for (int i = 0; i < kVoices; ++i) {
    Voice& voice = voices_[static_cast<std::size_t>(i)];
    FadeOut(voice);
    voice.Kill();
  }
}

bool Tarvolin::Sounding() const {
  if (fadePending_ > 0) return true;
  for (int i = 0; i < kVoices; ++i) {
    if (voices_[static_cast<std::size_t>(i)].Active()) return true;
  }
  return false;
}

void Tarvolin::FadeOut(Voice& voice) {
  const int length = static_cast<int>(fadeLeft_.size());
  if (!voice.Active() || length == 0) return;
  double* l = fadeScratchLeft_.data();
  double* r = fadeScratchRight_.data();
  std::fill(l, l + length, 0.0);
  std::fill(r, r + length, 0.0);
  NoiseSource::Sequence().Fill(fadeNoise_.data(), length);
  voice.RenderChunk(l, r, length, fadeNoise_.data(), 1);
  const double step = 1.0 / (length + 1);
  int k = fadeHead_;
  for (int i = 0; i < length; ++i) {
    const double g = 1.0 - (i + 1) * step;
    fadeLeft_[static_cast<std::size_t>(k)] += g * l[i];
    fadeRight_[static_cast<std::size_t>(k)] += g * r[i];
    if (++k == length) k = 0;
  }
  fadePending_ = length;
}

void Tarvolin::AddFades(double* left, double* right, int count) {
  const int length = static_cast<int>(fadeLeft_.size());
  for (int j = 0; j < count && fadePending_ > 0; ++j, --fadePending_) {
    const auto k = static_cast<std::size_t>(fadeHead_);
    left[j] += fadeLeft_[k];
    right[j] += fadeRight_[k];
    fadeLeft_[k] = 0.0;
    fadeRight_[k] = 0.0;
    if (++fadeHead_ == length) fadeHead_ = 0;
  }
}

std::int32_t Tarvolin::RampSamples() const {
  return static_cast<std::int32_t>(std::max(1L, std::lround(std::min(SanitizeSampleRate(SampleRate()), 1e7) * 0.01)));
}

void Tarvolin::UpdateOutputGain() {
  const double target = unison_ ? unisonGain_ * volume_ : volume_;
  if (target == outputGainTarget_) return;
  outputGainTarget_ = target;
  if (!Sounding()) {
    outputGain_ = target;
    outputGainSamplesLeft_ = 0;
    return;
  }
  const std::int32_t n = RampSamples();
  outputGainStep_ = (target - outputGain_) / n;
  outputGainSamplesLeft_ = n;
}

// ---- MIDI -------------------------------------------------------------------------------------

void Tarvolin::HandleMidiMessage(const MidiMessage& message) {
  PluginLock lock(PluginMutex());
  if (MidiThru()) SendMidiToHost(message);
  const int kind = message.Kind();
  // System messages and stray data bytes (running-status fragments) are not played.
  if (kind < 8 || kind > 14) return;
  // A data byte with its top bit set is not MIDI; such a message would name notes, controllers and
  // programs beyond the instrument's tables.
  const bool oneDataByte = kind == 12 || kind == 13;
  if (message.data1 > 127 || (!oneDataByte && message.data2 > 127)) return;
  MidiMessage m = message;
  switch (kind) {
    case 8:
      QueueNoteEvent(m);
      return;
    case 9:
      if (m.data2 == 0) m.status = 0x80;
      QueueNoteEvent(m);
      return;
    case 11: {
      const int k = m.data1;
      if (k <= 119 && LearnArmed()) {
        CaptureLearnController(k);
        return;
      }
      if (k == 64) QueueNoteEvent(m);
      else if (k <= 119) QueueMidi(m, true);
      else if (k == 120 || k == 123) SilenceAllVoices();
      return;
    }
    case 12:
      // The live edits of the program left are not stored. The host hears of the new program from
      // its user-interface thread, so that its program name does not go stale.
      if (IgnoreProgramChange()) return;
      if (const ProgramSlot* slot = GetProgram(m.data1); slot != nullptr && !slot->initialised && !IsOfflineRendering()) {
        RecallProgramLater(m.data1);
        return;
      }
      CancelProgramChangeLater();
      if (RecallProgram(m.data1)) ReportProgramChangeLater();
      return;
    default:  // 10 poly pressure, 13 channel pressure, 14 pitch bend
      QueueMidi(m, true);
      return;
  }
}

void Tarvolin::QueueNoteEvent(MidiMessage m) {
  // When the previous block ended inside a control tick, the first samples of this block still
  // belong to that tick, whose MIDI was taken at its start: notes for them join its note events
  // directly, at their place within the tick. Everything later waits in the queue for its tick.
  const int countdown = ControlCountdown();
  if (countdown >= 1 && m.offset < countdown) {
    if (m.data2 == 0 && (m.Kind() == 8 || m.Kind() == 9)) m.status = 0x80;
    m.offset = tickPosition_ + std::max(m.offset, -tickPosition_);
    noteEvents_.Add(m);
    return;
  }
  QueueMidi(m, false);
}

void Tarvolin::ProcessMidiAtTick() {
  const int interval = std::max(ControlInterval(), 1);
  MidiEventQueue& queue = midiQueue_;
  while (!queue.Empty() && queue.Front().offset < interval) {
    MidiMessage m = queue.Front();
    queue.PopFront();
    switch (m.Kind()) {
      case 8:
      case 9:
        if (m.data2 == 0) m.status = 0x80;
        noteEvents_.Add(m);
        break;
      case 10:
        for (int i = 0; i < voiceCount_; ++i) {
          Voice& voice = voices_[static_cast<std::size_t>(i)];
          if (voice.Active() && voice.Note() == m.data1) voice.SetPolyAftertouch(m.data2 / 127.0);
        }
        break;
      case 11:
        if (m.data1 == 1) modWheel_ = m.data2 / 127.0;
        else if (m.data1 == 64) noteEvents_.Add(m);
        else ApplyController(m);
        break;
      case 13:
        channelAftertouch_ = m.data1 / 127.0;
        break;
      case 14:
        pitchBend_ = ((m.data2 - 64) * 128 + m.data1) / 8192.0;
        break;
      default:
        break;
    }
  }
  queue.AdvanceTick(interval);
}

void Tarvolin::ApplyNoteEvent(const MidiMessage& m) {
  switch (m.Kind()) {
    case 11:
      SetSustain(m.data2 > 0);
      break;
    case 8:
      NoteOff(m.data1);
      break;
    case 9: {
      const MtsClient* mts = Mts();
      if (mts != nullptr && mts->Online() && mts->ShouldFilterNote(m.data1)) break;
      RecordHeldNote(m.data1, m.data2);
      NoteOn(m.data1, m.data2);
      break;
    }
    default:
      break;
  }
}

// ---- Render loop ------------------------------------------------------------------------------

void Tarvolin::TellVoicesTablesChanged(unsigned oscillators) {
  for (int o = 0; o < WaveTableStore::kOscillatorCount; ++o) {
    if ((oscillators & (1u << o)) == 0) continue;
    for (int i = 0; i < kVoices; ++i) voices_[static_cast<std::size_t>(i)].MarkTableChanged(o);
  }
}

void Tarvolin::StartControlTick() {
  // Tables the worker has finished since the last tick take over now.
  if (waveTables_.Pending()) TellVoicesTablesChanged(waveTables_.InstallReady());
  // Every note event of a tick fires within it, unless a lower sample rate shortened the ticks while
  // one was waiting: such an event is overdue and takes effect now rather than never (a note-off
  // left waiting would hang its note).
  while (!noteEvents_.Empty()) {
    const MidiMessage m = noteEvents_.Front();
    noteEvents_.PopFront();
    ApplyNoteEvent(m);
  }
  ProcessMidiAtTick();
  const std::int32_t interval = ControlInterval();
  for (ModulationGenerator& g : generators_) g.Tick(&clocks_, interval);
  chorus_.ControlTick(chorusOn_);
  for (int i = 0; i < voiceCount_; ++i) {
    Voice& voice = voices_[static_cast<std::size_t>(i)];
    if (voice.Active()) voice.ControlTick(false);  // an idle voice's tick does nothing
  }
}

void Tarvolin::RenderVoices(double* left, double* right, int count) {
  const int n = voiceCount_;
  if (referenceRendering_) {
    for (int j = 0; j < count; ++j) {
      for (int i = 0; i < n; ++i) {
        Voice& voice = voices_[static_cast<std::size_t>(i)];
        voice.Render(left[j], right[j], voice.Active() ? NoiseSource::Next() : 0.0);
      }
    }
    return;
  }
  // Every sounding voice draws one noise value per sample, voice after voice within a sample; the
  // values are drawn in that order up front so that the voices can render one after the other.
  int sounding = 0;
  for (int i = 0; i < n; ++i) sounding += voices_[static_cast<std::size_t>(i)].Active() ? 1 : 0;
  if (sounding == 0) return;
  bool noiseHeard = false;
  for (int i = 0; i < n && !noiseHeard; ++i) {
    const Voice& voice = voices_[static_cast<std::size_t>(i)];
    noiseHeard = voice.Active() && voice.NoiseHeard();
  }
  double* noise = noise_.data();
  const int draws = sounding * count;
  // Where no voice hears its noise the values need not be drawn, only passed over: a value times a
  // level of 0 is a zero, and the filter's offset makes the sign of a zero in its input irrelevant
  // (the buffer keeps earlier, finite values).
  if (noiseHeard) {
    NoiseSource::Sequence().Fill(noise, draws);
  } else {
    NoiseSource::Sequence().Skip(draws);
  }
  // Sounding voices in groups, in index order.
  Voice* group[Voice::kMaxGroup];
  const double* groupNoise[Voice::kMaxGroup];
  int members = 0;
  int k = 0;
  for (int i = 0; i < n; ++i) {
    Voice& voice = voices_[static_cast<std::size_t>(i)];
    if (!voice.Active()) continue;
    group[members] = &voice;
    groupNoise[members] = noise + k;
    ++members;
    ++k;
    if (members == Voice::kMaxGroup) {
      Voice::RenderGroup(group, members, left, right, count, groupNoise, sounding);
      members = 0;
    }
  }
  if (members > 0) Voice::RenderGroup(group, members, left, right, count, groupNoise, sounding);
}

void Tarvolin::RenderChunk(double* left, double* right, int count) {
  double* mixL = mixLeft_.data();
  double* mixR = mixRight_.data();
  std::fill(mixL, mixL + count, 0.0);
  std::fill(mixR, mixR + count, 0.0);
  // Note events split the chunk: each one takes effect before the voices render its sample.
  int cursor = 0;
  while (cursor < count) {
    while (!noteEvents_.Empty() && noteEvents_.Front().offset <= tickPosition_ + cursor) {
      const MidiMessage m = noteEvents_.Front();
      noteEvents_.PopFront();
      ApplyNoteEvent(m);
    }
    int end = count;
    if (!noteEvents_.Empty()) {
      const long long due = static_cast<long long>(noteEvents_.Front().offset) - tickPosition_;
      if (due < end) end = static_cast<int>(due);
    }
    RenderVoices(mixL + cursor, mixR + cursor, end - cursor);
    if (fadePending_ > 0) AddFades(mixL + cursor, mixR + cursor, end - cursor);
    cursor = end;
  }
  clocks_.Advance(count);
  if (chorusOn_) {
    for (int j = 0; j < count; ++j) chorus_.Process(mixL[j], mixR[j]);
  }
  int j = 0;
  for (; j < count && outputGainSamplesLeft_ > 0; ++j) {
    --outputGainSamplesLeft_;
    outputGain_ = outputGainSamplesLeft_ == 0 ? outputGainTarget_ : outputGain_ + outputGainStep_;
    left[j] = mixL[j] * outputGain_;
    right[j] = mixR[j] * outputGain_;
  }
  const double gain = outputGain_;
  for (; j < count; ++j) {
    left[j] = mixL[j] * gain;
    right[j] = mixR[j] * gain;
  }
}

void Tarvolin::RenderBlock(double** /*inputs*/, double** outputs, int frames) {
  PluginLock lock(PluginMutex());
  // A host rendering offline waits for nothing but the result: every table chosen is heard from
  // the sample it was chosen at, as the same render would sound on any machine.
  if (waveTables_.Pending() && IsOfflineRendering()) TellVoicesTablesChanged(waveTables_.FinishPending());
  TimeInfo info;  // tempo 120, positions unknown, 4/4, stopped unless the host tells otherwise
  GetHostTimeInfo(&info);
  clocks_.UpdateTempo(info, SampleRate());
  if (frames <= 0) return;
  double* outs[2] = {nullptr, nullptr};
  for (int c = 0; c < 2 && c < NOutChannels(); ++c) outs[c] = outputs != nullptr ? outputs[c] : nullptr;
  const int interval = std::max(ControlInterval(), 1);
  int& countdown = ControlCountdown();
  int position = 0;
  while (position < frames) {
    const int left = frames - position;
    int chunk;
    if (countdown < 1) {
      StartControlTick();
      tickPosition_ = 0;
      chunk = interval;
      if (left < interval) {
        chunk = left;
        countdown = interval - left;
      }
    } else if (countdown < left) {
      chunk = countdown;
      countdown = 0;
    } else {
      chunk = left;
      countdown -= left;
    }
    // A channel the host left out is rendered into scratch and dropped.
    RenderChunk(outs[0] != nullptr ? outs[0] + position : dropLeft_.data(),
                outs[1] != nullptr ? outs[1] + position : dropRight_.data(), chunk);
    tickPosition_ += chunk;
    position += chunk;
  }
}
