#include "engine/Tarvolin.h"

#include <algorithm>

#include "engine/ParameterTable.h"
#include "engine/ProgramState.h"
#include "shell/IPlugEditor.h"
#include "shell/VstTypes.h"

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

Tarvolin::Tarvolin(HostCallback host) : Synth(Identity(), host) {
  // Another instance may have saved the configuration while the engine was being built.
  ReadConfiguration();
  CreateParameters();
  CreateEditor();
  if (IPlugEditor* editor = GetEditor()) AttachEditor(editor);
  LoadStartupOrFactoryBank();
  waveTables_.SetConstructing(false);
  RecallProgram(0);
}

Tarvolin::~Tarvolin() = default;

void Tarvolin::CreateParameters() { CreateParameterTable(*this); }

bool Tarvolin::SerializeProgramState(ChunkBuffer& chunk) { return ProgramState::Write(*this, chunk); }

int Tarvolin::UnserializeProgramState(const ChunkBuffer& chunk, int pos) {
  return ProgramState::Read(*this, chunk, pos);
}

void Tarvolin::InitCurrentProgram() {
  PluginLock lock(PluginMutex());
  for (int i = 0; i < NParams(); ++i) {
    SetParameterFromEditor(i, GetParam(i)->NormalisedDefault());
    if (IPlugEditor* editor = AttachedEditor()) editor->SetParameterFromPlugin(i, GetParam(i)->GetNormalised(), true);
  }
  Tuning().SelectTuning(0);
  waveTables_.ClearSlots();
  ModifyCurrentPreset("Init");
  RefreshParameterControls();
  ReportAllParameters();
}

void Tarvolin::OnReset() {
  PluginLock lock(PluginMutex());
  Synth::OnReset();
  if (SampleRate() != lastSampleRate_) lastSampleRate_ = SampleRate();
}

void Tarvolin::OnParameterChanged(int index) {
  PluginLock lock(PluginMutex());
  Synth::OnParameterChanged(index);
  if (const int o = WaveTableStore::OscillatorOfParameter(index); o >= 0) {
    // Builds the table now (nothing while constructing); the voices pick it up with the engine.
    waveTables_.Select(o, static_cast<std::int32_t>(GetParam(index)->Value()));
  }
}

void Tarvolin::HandleMidiMessage(const MidiMessage& /*message*/) {
  // Incoming MIDI is filtered and queued for the render loop once the MIDI input exists; until
  // then the instrument has nothing to play and drops it.
}

void Tarvolin::RenderBlock(double** /*inputs*/, double** outputs, int frames) {
  for (int c = 0; c < NOutChannels(); ++c) {
    if (outputs[c] != nullptr) std::fill(outputs[c], outputs[c] + frames, 0.0);
  }
}
