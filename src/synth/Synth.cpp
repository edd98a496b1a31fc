#include "synth/Synth.h"

#include <cmath>

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
    // Every parameter change counts for learning: the controller map completes the binding.
    learnedParameter_ = index;
  }
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
