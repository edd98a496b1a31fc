#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "shell/ChannelRecord.h"
#include "shell/ChunkBuffer.h"
#include "shell/Parameter.h"
#include "shell/PreparedState.h"
#include "shell/PriorityInheritingMutex.h"
#include "shell/ProgramSlot.h"
#include "shell/TimeInfo.h"
#include "synth/MidiMessage.h"

class IPlugEditor;

using PluginLock = std::lock_guard<PriorityInheritingMutex>;

// Fixed identity of a plug-in product, handed to IPlugBase by the product class.
struct PluginInfo {
  const char* effectName = "";
  const char* productName = "";
  const char* vendorName = "";
  std::int32_t uniqueId = 0;
  std::int32_t manufacturerId = 0;
  // Packed: major << 16 | minor << 8 | patch.
  std::int32_t version = 0;
  // Space-separated "inputs-outputs" tokens.
  const char* channelIO = "0-2";
  int parameterCount = 0;
  int programCount = 0;
  bool isInstrument = false;
  bool receivesMidi = false;
  bool usesChunks = false;
};

// Kinds of host told apart by GetHostKind (0 when unknown).
enum HostKind : int {
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostCakewalk = 5,
  kHostFruity = 7,
  kHostSamplitude = 8,
  kHostLive = 9,
  kHostMelodyne = 12,
  kHostVstManLib = 13,
  kHostAulab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSawStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostPreSonus = 26,
  kHostVst3TestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMpt = 30,
};

// The framework base of a plug-in instance: parameters, programs, channel buffers and the plug-in
// lock. Independent of the host interface, which IPlugVST adds.
//
// The plug-in lock is one recursive mutex per instance (with priority inheritance: see
// PriorityInheritingMutex.h). Host entries hold it while they change or
// read the instance; operations called under it take it again on the same thread. Work that takes
// time (reading program states and banks, building wave tables) is done before the lock is taken,
// where the product class supports that (the Prepare* operations below), so that the audio thread
// never waits long for it.
class IPlugBase {
 public:
  // Version header at the start of every chunk handed out: "tffp" and the layout version.
  static constexpr std::int32_t kVersionMagic = 0x70666674;
  static constexpr std::int32_t kVersionCurrent = 0x00010000;

  // Sample rates and block sizes outside these bounds are refused and the previous value kept.
  static constexpr double kMinSampleRate = 1000.0;
  static constexpr double kMaxSampleRate = 1536000.0;
  static constexpr int kMaxBlockSize = 65536;

  explicit IPlugBase(const PluginInfo& info);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // Virtual operations, in the framework's slot order.
  virtual ~IPlugBase();                                                   // 0
  virtual void OnReset() {}                                               // 1
  virtual void OnParameterChanged(int /*index*/) {}                       // 2
  // Renders frames samples. The default copies inputs to outputs and zeroes outputs without one.
  virtual void RenderBlock(double** inputs, double** outputs, int frames);  // 3
  virtual void OnEditorOpened() {}                                        // 4
  virtual void OnEditorClosed() {}                                        // 5
  virtual void OnHostIdle() {}                                            // 6
  virtual void OnActivation(bool /*active*/) {}                           // 7
  // The default echoes the message to the host.
  virtual void HandleMidiMessage(const MidiMessage& message);             // 8
  virtual void HandleSysEx(const SysExMessage& /*message*/) {}            // 9
  // Writes the name of a key into text (at most kMaxKeyNameChars); answers whether it has one.
  virtual bool GetMidiKeyName(int /*note*/, char* /*text*/) { return false; }  // 10
  virtual bool SerializeProgramState(ChunkBuffer& chunk);                 // 11
  virtual int UnserializeProgramState(const ChunkBuffer& chunk, int pos);  // 12
  // Whether the live program state equals the state stored in chunk at pos.
  virtual bool CompareProgramState(const ChunkBuffer& chunk, int pos);    // 13
  virtual void OnEditorResized() {}                                       // 14
  virtual bool ReservedQuery() { return false; }                          // 15
  virtual void OnHostKnown() {}                                           // 16
  virtual void ReservedHook() {}                                          // 17
  // Sets, reports and delivers a parameter; a value that leaves its plain value as it is does
  // nothing (as in SetParameterFromHost and SetParameterFromText).
  virtual void SetParameterFromEditor(int index, double normalised);      // 18
  virtual void BeginParameterGesture(int /*index*/) {}                    // 19
  virtual void ReportParameterChange(int /*index*/, double /*normalised*/) {}  // 20
  virtual void EndParameterGesture(int /*index*/) {}                      // 21
  virtual void ReportProgramChange() {}                                   // 22
  virtual bool IsOfflineRendering() { return false; }                    // 23
  virtual double GetHostSamplePosition() { return 0.0; }                  // 24
  virtual double GetHostTempo() { return 0.0; }                           // 25
  virtual void GetHostTimeSignature(int* numerator, int* denominator);    // 26
  // Fills what the host tells; fields it leaves out keep the caller's pre-filled values.
  virtual void GetHostTimeInfo(TimeInfo* /*info*/) {}                     // 27
  virtual int GetHostKind() { return kHostUnknown; }                      // 28
  virtual int GetBindingKind() { return 0; }                              // 29
  virtual void ResizeEditor(int /*width*/, int /*height*/) { OnEditorResized(); }  // 30
  virtual void PrepareForHost() { OnHostKnown(); }                        // 31
  virtual void AttachEditor(IPlugEditor* editor);                         // 32
  virtual void SetReportedLatency(int samples) { latency_ = samples; }    // 33
  virtual bool SendMidiToHost(const MidiMessage& /*message*/) { return false; }  // 34
  virtual bool SendSysExToHost(const SysExMessage& /*message*/) { return false; }  // 35
  virtual void RefreshParameterControls();                                // 36
  virtual int UnserializePresets(const ChunkBuffer& chunk, int pos);      // 37
  // Stores the live state into the current program; a non-empty name renames it.
  virtual void ModifyCurrentPreset(const char* name);                     // 38
  virtual void ReservedHook2() {}                                         // 39
  virtual void OnProgramsChangedByHost() {}                               // 40
  virtual void ChangeSampleRate(double rate);                             // 41
  virtual void ChangeBlockSize(int frames);                               // 42

  // Program states prepared before the lock is taken (PreparedState.h). The base keeps none: its
  // states are read from bytes under the lock.
  //   PrepareProgramState  reads the state at pos (nullptr: the product keeps no prepared states).
  //                        Changes nothing and needs no lock.
  //   PrepareToPlay        does on the calling thread, without the lock, what applying the state
  //                        would otherwise leave for later (building the wave tables it selects).
  //                        Not for the audio thread.
  //   ApplyProgramState    as UnserializeProgramState, from a prepared state (under the lock).
  //   StoreProgramState    appends the live state as SerializeProgramState does and answers the
  //                        same state prepared (under the lock).
  virtual std::shared_ptr<const PreparedState> PrepareProgramState(const ChunkBuffer& /*chunk*/, int /*pos*/) const {
    return nullptr;
  }
  virtual void PrepareToPlay(const PreparedState& /*state*/) {}
  virtual int ApplyProgramState(const PreparedState& /*state*/) { return -1; }
  virtual std::shared_ptr<const PreparedState> StoreProgramState(ChunkBuffer& chunk) {
    SerializeProgramState(chunk);
    return nullptr;
  }

  // Identity.
  const PluginInfo& Info() const { return info_; }
  // The version in decimal, as hosts are told: major * 10000 + minor * 100 + patch.
  int DecimalVersion() const;
  // Whether some token of the channel I/O description has these counts (-1 matches any).
  bool LegalIO(int inputs, int outputs) const;

  // Parameters.
  int NParams() const { return static_cast<int>(params_.size()); }
  bool IsValidParam(int index) const { return index >= 0 && index < NParams(); }
  Parameter* GetParam(int index) { return IsValidParam(index) ? &params_[static_cast<std::size_t>(index)] : nullptr; }
  const Parameter* GetParam(int index) const {
    return IsValidParam(index) ? &params_[static_cast<std::size_t>(index)] : nullptr;
  }
  // Host-side parameter entries (the lock is taken here).
  double GetParameterNormalised(int index);
  void SetParameterFromHost(int index, double normalised);
  // Sets a parameter from text as effString2Parameter does; answers false for an invalid index or
  // text that matches nothing, true (and does nothing) for the value the parameter already has.
  bool SetParameterFromText(int index, const char* text);

  // Programs.
  int NPrograms() const { return static_cast<int>(programs_.size()); }
  int CurrentProgram() const { return currentProgram_; }
  ProgramSlot* GetProgram(int index);
  // The name of program index, "" when out of range.
  std::string ProgramName(int index) const;
  bool RecallProgram(int index);
  void FillEmptyPrograms(const char* name, int count);
  bool SerializePresets(ChunkBuffer& chunk);
  // Builds what recalling program index will play (PrepareToPlay), without the lock; a thread that
  // may wait calls it before RecallProgram so that the new sound is complete at once.
  void PrepareProgramToPlay(int index);

  // Reads the program state at pos and applies it to the live instance: read and prepared first,
  // without the lock, where the product class supports that; then, in one hold of the lock, applied
  // and followed by then(position after the state, or -1). Answers that position.
  template <typename Then>
  int LoadProgramState(const ChunkBuffer& chunk, int pos, Then then) {
    const std::shared_ptr<const PreparedState> prepared = PrepareProgramState(chunk, pos);
    if (prepared) PrepareToPlay(*prepared);
    PluginLock lock(mutex_);
    const int end = prepared ? ApplyProgramState(*prepared) : UnserializeProgramState(chunk, pos);
    then(end);
    return end;
  }

  // Program (FXP) and bank (FXB) files (PresetFile.h); each answers success. The callers store the
  // live state into the current program first (ModifyCurrentPreset) where that is wanted.
  bool WriteProgramFile(const std::string& path);
  bool ReadProgramFile(const std::string& path);
  bool WriteBankFile(const std::string& path);
  bool ReadBankFile(const std::string& path);

  // The simple program state: every parameter's plain value as float64 in index order.
  bool SerializeParams(ChunkBuffer& chunk);
  int UnserializeParams(const ChunkBuffer& chunk, int pos);

  static void WriteVersionHeader(ChunkBuffer& chunk);
  // Reads the header at pos into *version (0 when absent); answers the position after it, pos when
  // absent, or -1 when the magic is there but the version cannot be read.
  static int ReadVersionHeader(const ChunkBuffer& chunk, int pos, std::int32_t* version);

  // Audio.
  double SampleRate() const { return sampleRate_; }
  int BlockSize() const { return blockSize_; }
  int Latency() const { return latency_; }
  int NInChannels() const { return static_cast<int>(inputs_.size()); }
  int NOutChannels() const { return static_cast<int>(outputs_.size()); }
  bool IsInChannelConnected(int i) const;
  bool IsOutChannelConnected(int i) const;
  void SetInputChannelConnections(int firstChannel, int count, bool connected);
  void SetOutputChannelConnections(int firstChannel, int count, bool connected);
  // The audio entries: float (replacing, or accumulating into the host buffers) and double.
  // Frames beyond the block size are rendered in pieces of at most one block.
  void ProcessBuffersFloat(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessBuffersDouble(double** inputs, double** outputs, int frames);

  // Editor attached with AttachEditor, or null.
  IPlugEditor* AttachedEditor() const { return editor_; }

  PriorityInheritingMutex& PluginMutex() const { return mutex_; }

 protected:
  // Writes the live state into a program slot (bytes and prepared form).
  void StoreLiveState(ProgramSlot& slot);

  ChannelRecord& InChannel(int i) { return inputs_[static_cast<std::size_t>(i)]; }
  ChannelRecord& OutChannel(int i) { return outputs_[static_cast<std::size_t>(i)]; }

 private:
  void RenderPiece(int frames);

  PluginInfo info_;
  mutable PriorityInheritingMutex mutex_;
  std::vector<Parameter> params_;
  std::vector<ProgramSlot> programs_;
  int currentProgram_ = 0;
  double sampleRate_ = 44100.0;
  int blockSize_ = 1024;
  int latency_ = 0;
  std::vector<ChannelRecord> inputs_;
  std::vector<ChannelRecord> outputs_;
  std::vector<double*> inputPointers_;
  std::vector<double*> outputPointers_;
  IPlugEditor* editor_ = nullptr;
};


