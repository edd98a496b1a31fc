#include "synth/Synth.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/PitchFunction.h"
#include "shell/IPlugEditor.h"
#include "shell/PresetFile.h"
#include "shell/Resources.h"
#include "synth/IniFile.h"

Synth::Synth(const PluginInfo& info, HostCallback host)
    : IPlugVST(info, host), midiQueue_(MidiEventQueue::kInitialCapacity, MidiEventQueue::kInitialCapacity) {
  controllerMap_.fill(-1);
  controlInterval_ = static_cast<int>(std::trunc(SampleRate())) / 1000;
  editor_ = CreatePlatformEditor(this, kEditorWidth, kEditorHeight, kEditorFrameRate);
  // A missing file is created empty; its absence is not reported here.
  if (config_.Locate()) ReadConfiguration();
  mts_ = std::make_unique<MtsClient>();
}

Synth::~Synth() {
  ReleaseEditor();
  // Deregisters from the MTS-ESP library before anything else goes.
  mts_.reset();
}

void Synth::ReleaseEditor() {
  PluginLock lock(PluginMutex());
  if (AttachedEditor() != nullptr) AttachEditor(nullptr);
  // The learn switch is one of the editor's controls.
  learnControl_ = nullptr;
  editor_.reset();
}

void Synth::OnReset() {
  PluginLock lock(PluginMutex());
  midiQueue_.Resize(BlockSize());
  heldNotes_.Clear();
  controlCountdown_ = 0;
  learnArmed_ = false;
  controlInterval_ = static_cast<int>(std::trunc(SampleRate())) / 1000;
}

void Synth::QueueMidi(MidiMessage message, bool tickRounding) {
  long long offset = message.offset;
  if (controlCountdown_ >= 1) offset -= controlCountdown_;
  if (tickRounding && offset > controlInterval_) offset += controlInterval_ / 2;
  message.offset = static_cast<std::int32_t>(
      std::clamp<long long>(offset, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  midiQueue_.Add(message);
}

std::int32_t Synth::GetNotePitch(int note) const {
  if (mts_ && mts_->Online()) {
    // The pitch whose frequency comes closest to the master's, halving the step each time.
    const double f = mts_->NoteFrequency(note);
    std::int32_t r = 8640;
    std::int32_t s = 8640;
    for (;;) {
      s /= 2;
      const double v = PitchToFrequency(r);
      if (v > f) r -= s;
      else if (v < f) r += s;
      else break;
      if (s == 0) break;
    }
    return r;
  }
  return tuning_.NotePitch(note);
}

std::string Synth::GetTuningName(int index) const {
  if (mts_ && mts_->Online()) {
    const char* name = mts_->ScaleName();
    std::size_t length = 0;
    while (length < TuningState::kNameSize - 1 && name[length] != '\0') ++length;
    return std::string(name, length);
  }
  return tuning_.GetTuningName(index);
}

void Synth::OnParameterChanged(int index) {
  PluginLock lock(PluginMutex());
  if (learnArmed_ && index >= 0 && index < NParams()) {
    // Every parameter change counts for learning, whatever its source.
    learnedParameter_ = index;
    LearnStep();
  }
}

void Synth::ArmLearn(double switchValue, bool unlearn) {
  PluginLock lock(PluginMutex());
  learnedController_ = -1;
  learnedParameter_ = -1;
  unlearnMode_ = unlearn;
  learnArmed_ = switchValue > 0;
}

void Synth::SetControllerMapping(int controller, std::int32_t parameter) {
  PluginLock lock(PluginMutex());
  if (controller >= 0 && controller < kControllerCount) {
    controllerMap_[static_cast<std::size_t>(controller)] = parameter;
  }
}

void Synth::SetLearnControl(ILearnControl* control) {
  PluginLock lock(PluginMutex());
  learnControl_ = control;
}

void Synth::CaptureLearnController(int controller) {
  PluginLock lock(PluginMutex());
  if (!learnArmed_ || controller < 0 || controller >= kControllerCount) return;
  learnedController_ = controller;
  LearnStep();
}

void Synth::LearnStep() {
  auto unbindParameter = [this](int parameter) {
    for (auto& entry : controllerMap_) {
      if (entry == parameter) entry = -1;
    }
  };
  if (!unlearnMode_) {
    if (learnedController_ >= 0 && learnedParameter_ >= 0) {
      // At most one learned controller per parameter.
      unbindParameter(learnedParameter_);
      controllerMap_[static_cast<std::size_t>(learnedController_)] = learnedParameter_;
      learnArmed_ = false;
    }
  } else if (learnedController_ >= 0) {
    controllerMap_[static_cast<std::size_t>(learnedController_)] = -1;
    learnArmed_ = false;
    unlearnMode_ = false;
  } else if (learnedParameter_ >= 0) {
    unbindParameter(learnedParameter_);
    learnArmed_ = false;
    unlearnMode_ = false;
  }
  if (learnControl_ != nullptr && !learnArmed_) learnControl_->SwitchOff();
}

void Synth::ApplyController(const MidiMessage& message) {
  PluginLock lock(PluginMutex());
  if (message.data1 >= kControllerCount) return;
  const int parameter = controllerMap_[message.data1];
  Parameter* p = GetParam(parameter);
  if (p == nullptr) return;  // unmapped, or an entry that names no parameter
  const double value = message.data2 / 127.0;
  // The controller sets a normalised value; one that gives the plain value the parameter already
  // has (the same controller value again, or another within the same step) changes nothing and is
  // not reported.
  if (!p->ChangedByNormalised(value)) return;
  SetParameterFromEditor(parameter, value);
  if (editor_ != nullptr) editor_->SetParameterFromPlugin(parameter, p->GetNormalised(), true);
}

void Synth::OnActivation(bool active) {
  PluginLock lock(PluginMutex());
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) OnParameterChanged(i);
}

void Synth::LoadStartupOrFactoryBank() {
  if (ReadBankFile(config_.StartupBankPath())) return;
  // The file keeps naming the bank until the configuration is next written.
  config_.ForgetStartupBank();
  LoadFactoryBank();
}

void Synth::LoadFactoryBank() {
  const auto resource = FindResource("PROGDATA", "PROGINIT");
  if (!resource) return;
  ChunkBuffer data;
  data.Assign(resource->data(), static_cast<int>(resource->size()));
  PresetFile::ReadFactoryBank(*this, data);
}

int Synth::ReadConfiguration() {
  // The file is read before the lock is taken: only storing the values must exclude the audio
  // thread.
  IniFile ini;
  const bool exists = config_.LoadFile(&ini);
  PluginLock lock(PluginMutex());
  Configuration::MidiSettings settings;
  settings.midiThru = midiThru_;
  settings.ignoreProgramChange = ignoreProgramChange_;
  settings.controllerMap = controllerMap_;
  config_.ReadFrom(ini, &settings);
  midiThru_ = settings.midiThru;
  ignoreProgramChange_ = settings.ignoreProgramChange;
  controllerMap_ = settings.controllerMap;
  return exists ? Configuration::kReadOk : Configuration::kFileMissing;
}

// The configuration paths belong to the thread that runs the editor's menu commands; the file is
// written without holding the plug-in lock, which only guards the values the audio thread reads.
bool Synth::WriteProgramFilesPath(const std::string& folder) {
  return config_.WriteProgramFilesPath(folder);
}

bool Synth::WriteStartupBank() {
  return config_.WriteStartupBank();
}

bool Synth::SetStartupBank(const std::string& path) {
  return config_.SetStartupBank(path);
}

bool Synth::ClearStartupBank() {
  return config_.ClearStartupBank();
}

bool Synth::WriteMidiSettings(int which) {
  Configuration::MidiSettings settings;
  {
    PluginLock lock(PluginMutex());
    settings.midiThru = midiThru_;
    settings.ignoreProgramChange = ignoreProgramChange_;
    settings.controllerMap = controllerMap_;
  }
  return config_.WriteMidiSettings(which, settings);
}

void Synth::ReportAllParameters() {
  for (int i = 0; i < NParams(); ++i) ReportParameterChange(i, GetParam(i)->GetNormalised());
}

void Synth::InitCurrentProgram() {
  PluginLock lock(PluginMutex());
  for (int i = 0; i < NParams(); ++i) SetParameterFromEditor(i, GetParam(i)->NormalisedDefault());
  ModifyCurrentPreset("Init");
  RefreshParameterControls();
  ReportAllParameters();
}

void Synth::CopyProgram() {
  PluginLock lock(PluginMutex());
  ModifyCurrentPreset(nullptr);
  clipboardProgram_ = CurrentProgram();
  clipboard_.Clear();
  clipboardPrepared_ = StoreProgramState(clipboard_);
}

bool Synth::PasteProgram() {
  std::shared_ptr<const PreparedState> prepared;
  {
    PluginLock lock(PluginMutex());
    if (clipboard_.Empty()) return false;
    prepared = clipboardPrepared_;
  }
  if (prepared) PrepareToPlay(*prepared);
  PluginLock lock(PluginMutex());
  if (clipboard_.Empty()) return false;
  if (prepared && prepared == clipboardPrepared_) ApplyProgramState(*prepared);
  else UnserializeProgramState(clipboard_, 0);
  ModifyCurrentPreset(ProgramName(clipboardProgram_).c_str());
  RefreshParameterControls();
  ReportAllParameters();
  return true;
}

void Synth::SelectProgram(int index) {
  PrepareProgramToPlay(index);
  PluginLock lock(PluginMutex());
  ModifyCurrentPreset(nullptr);
  RecallProgram(index);
  ReportProgramChange();
  ReportAllParameters();
}

std::string& Synth::FileDialogFolder() {
  if (fileDialogFolder_.empty()) fileDialogFolder_ = config_.DocumentsFolder();
  return fileDialogFolder_;
}

int Synth::LoadTuningFile(const std::string& path) {
  TuningState::FileLoad load = tuning_.ReadTuningFile(path);
  PluginLock lock(PluginMutex());
  return tuning_.CommitTuningFile(std::move(load));
}

void Synth::SelectTuning(int index) {
  PluginLock lock(PluginMutex());
  tuning_.SelectTuning(index);
}
