#include "synth/Synth.h"

#include <cmath>

#include "shell/IPlugEditor.h"

Synth::Synth(const PluginInfo& info, HostCallback host) : IPlugVST(info, host) {
  controllerMap_.fill(-1);
  controlInterval_ = static_cast<int>(std::trunc(SampleRate())) / 1000;
}

Synth::~Synth() = default;

void Synth::OnReset() {
  PluginLock lock(PluginMutex());
  controlCountdown_ = 0;
  learnArmed_ = false;
  controlInterval_ = static_cast<int>(std::trunc(SampleRate())) / 1000;
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
  // The editor's learn switch, once it exists, is turned off here when learning has finished.
}

void Synth::ApplyController(const MidiMessage& message) {
  PluginLock lock(PluginMutex());
  if (message.data1 >= kControllerCount) return;
  const int parameter = controllerMap_[message.data1];
  Parameter* p = GetParam(parameter);
  if (p == nullptr) return;  // unmapped, or an entry that names no parameter
  const double value = message.data2 / 127.0;
  if (p->Value() == value) return;
  SetParameterFromEditor(parameter, value);
  if (editor_ != nullptr) editor_->SetParameterFromPlugin(parameter, p->GetNormalised(), true);
}

void Synth::OnActivation(bool active) {
  PluginLock lock(PluginMutex());
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) OnParameterChanged(i);
}

void Synth::LoadStartupOrFactoryBank() {
  // The startup bank named in the configuration, else the factory bank among the library's
  // resources, loads here once the bank file reader exists; until then every program starts empty.
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
  SerializeProgramState(clipboard_);
}

bool Synth::PasteProgram() {
  PluginLock lock(PluginMutex());
  if (clipboard_.Empty()) return false;
  UnserializeProgramState(clipboard_, 0);
  ModifyCurrentPreset(ProgramName(clipboardProgram_).c_str());
  RefreshParameterControls();
  ReportAllParameters();
  return true;
}

void Synth::SelectProgram(int index) {
  PluginLock lock(PluginMutex());
  ModifyCurrentPreset(nullptr);
  RecallProgram(index);
  ReportProgramChange();
  ReportAllParameters();
}
