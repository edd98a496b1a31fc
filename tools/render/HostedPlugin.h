#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiSequence.h"
#include "shell/VstTypes.h"  // the VST 2 record declarations only; no plug-in code is linked

// A VST 2 plug-in loaded from its shared library and driven as a DAW drives it.
class HostedPlugin {
 public:
  HostedPlugin() = default;
  ~HostedPlugin();
  HostedPlugin(const HostedPlugin&) = delete;
  HostedPlugin& operator=(const HostedPlugin&) = delete;

  // What the host says about itself when the plug-in asks.
  void SetHostIdentity(const std::string& vendor, const std::string& product);

  // dlopen, entry point (VSTPluginMain, else main), check of the record.
  bool Load(const std::string& path, std::string* error);
  // A plug-in linked into this program: its entry point is called as a loaded library's would be;
  // what names it in messages.
  bool Create(PluginEntryProc entry, const std::string& what, std::string* error);
  // effOpen, sample rate, block size.
  void Open(double sampleRate, int blockSize);
  // effMainsChanged(1) and effStartProcess; and back.
  void Resume();
  void Suspend();
  void Close();

  AEffect* Effect() const { return effect_; }
  bool IsSynth() const { return (effect_->flags & effFlagsIsSynth) != 0; }
  int NumParams() const { return effect_->numParams; }
  int NumPrograms() const { return effect_->numPrograms; }
  int NumInputs() const { return effect_->numInputs; }
  int NumOutputs() const { return effect_->numOutputs; }

  std::string EffectName() const { return Text(effGetEffectName); }
  std::string VendorName() const { return Text(effGetVendorString); }
  std::string ProductName() const { return Text(effGetProductString); }
  std::string ParamName(int index) const { return Text(effGetParamName, index); }
  std::string ParamDisplay(int index) const { return Text(effGetParamDisplay, index); }
  std::string ParamLabel(int index) const { return Text(effGetParamLabel, index); }
  float GetParam(int index) const { return effect_->getParameter(effect_, index); }
  void SetParam(int index, float value) const { effect_->setParameter(effect_, index, value); }
  bool SetParamText(int index, const std::string& text) const;
  std::string ProgramName(int index);
  void SetProgram(int index) const { Dispatch(effSetProgram, 0, index); }
  int CurrentProgram() const { return static_cast<int>(Dispatch(effGetProgram)); }
  bool UsesChunks() const { return (effect_->flags & effFlagsProgramChunks) != 0; }
  // The program (bank false) or bank chunk the plug-in hands out; empty when it gives none.
  std::vector<unsigned char> GetChunk(bool bank) const;
  // Hands a chunk in as a host restoring a project does; answers the plug-in's verdict.
  bool SetChunk(const std::vector<unsigned char>& chunk, bool bank) const;

  // Transport for the next block: playing, at frame, with the tempo map's position and tempo.
  void SetTransport(double frame, const TempoMap& map, bool changed);
  void SendEvents(const std::vector<VstMidiEvent>& events);
  // Renders frames into outputs (NumOutputs() buffers of at least frames samples).
  void Process(float** outputs, int frames);

  VstIntPtr Dispatch(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f) const;
  // MIDI the plug-in sent back to the host.
  int MidiReceived() const { return midiReceived_; }

 private:
  static VstIntPtr Callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                            VstIntPtr value, void* ptr, float opt);
  VstIntPtr Answer(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
  std::string Text(std::int32_t opcode, std::int32_t index = 0) const;

  void* library_ = nullptr;
  AEffect* effect_ = nullptr;
  double sampleRate_ = 44100.0;
  int blockSize_ = 512;
  bool opened_ = false;
  bool running_ = false;
  bool processing_ = false;
  std::string hostVendor_ = "Stonemoor Music";
  std::string hostProduct_ = "tarvolin-render";
  VstTimeInfo time_{};
  std::vector<std::uintptr_t> eventStorage_;
  std::vector<VstMidiEvent> eventCopies_;
  std::vector<float> silence_;
  std::vector<float*> inputPointers_;
  int midiReceived_ = 0;
};
