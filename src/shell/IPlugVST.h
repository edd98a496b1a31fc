#pragma once

#include <atomic>
#include <cstdint>

#include "shell/ChunkBuffer.h"
#include "shell/IPlugBase.h"
#include "shell/VstTypes.h"

// The VST 2 binding of a plug-in instance: owns the AEffect record handed to the host and the host
// callback, answers the dispatcher, the audio entries and the parameter entries, and makes the few
// calls back to the host.
class IPlugVST : public IPlugBase {
 public:
  // Plug-in categories and version reported to the host.
  static constexpr VstIntPtr kVstVersion = 2400;

  IPlugVST(const PluginInfo& info, HostCallback host);
  ~IPlugVST() override;

  AEffect* GetAEffect() { return &effect_; }
  // The instance behind an AEffect handed out by this binding, or null.
  static IPlugVST* FromEffect(AEffect* effect);

  // Host calls and queries (virtual slots of IPlugBase).
  void BeginParameterGesture(int index) override;
  void ReportParameterChange(int index, double normalised) override;
  void EndParameterGesture(int index) override;
  void ReportProgramChange() override;
  bool IsOfflineRendering() override;
  double GetHostSamplePosition() override;
  double GetHostTempo() override;
  void GetHostTimeSignature(int* numerator, int* denominator) override;
  void GetHostTimeInfo(TimeInfo* info) override;
  int GetHostKind() override;
  void ResizeEditor(int width, int height) override;
  void PrepareForHost() override;
  void AttachEditor(IPlugEditor* editor) override;
  void SetReportedLatency(int samples) override;
  bool SendMidiToHost(const MidiMessage& message) override;
  bool SendSysExToHost(const SysExMessage& message) override;

  // Tells the host of a program change made on the audio thread (by MIDI) without calling it from
  // there: the host is told on its next dispatcher call from its user-interface thread.
  void ReportProgramChangeLater() { programChangePending_.store(true, std::memory_order_relaxed); }
  // A program change on the audio thread to a slot never filled: filling it means writing a new
  // state, which allocates, so the change is made on the host's next dispatcher call from its
  // user-interface thread. A later change made at once drops it (CancelProgramChangeLater).
  void RecallProgramLater(int index) { deferredRecall_.store(index, std::memory_order_relaxed); }
  void CancelProgramChangeLater() { deferredRecall_.store(-1, std::memory_order_relaxed); }

  // The host's version in packed form (major << 16 | minor << 8 | patch), known after GetHostKind.
  int GetHostVersion();
  // Whether the host is one that asks for banks where it means programs; asked once and cached.
  bool HostVendorQuirk();
  // Finds the host kind for a product string (the first matching name wins); 0 for none.
  static int HostKindFromProduct(const char* product);
  // Decimal major * 10000 + minor * 100 + patch to major << 16 | minor << 8 | patch.
  static int PackDecimalVersion(int decimal);

  // One dispatcher call, with the plug-in lock held (effClose excepted: it destroys the instance;
  // and effSetChunk, which reads the chunk before it takes the lock to apply it).
  VstIntPtr Dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);

 private:
  static VstIntPtr VSTDispatcher(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 VstIntPtr value, void* ptr, float opt);
  static void VSTProcess(AEffect* effect, float** inputs, float** outputs, std::int32_t frames);
  static void VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                  std::int32_t frames);
  static void VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                        std::int32_t frames);
  static float VSTGetParameter(AEffect* effect, std::int32_t index);
  static void VSTSetParameter(AEffect* effect, std::int32_t index, float value);

  VstIntPtr CallHost(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f);
  const VstTimeInfo* RequestTimeInfo(std::int32_t mask);
  void WantMidiBeforeAudio();
  VstIntPtr GetChunk(void** data, bool isBank);
  VstIntPtr SetChunk(const void* data, VstIntPtr size, bool isBank);
  VstIntPtr GetPinProperties(bool input, int index, VstPinProperties* properties);
  void SetArrangementConnections(const VstSpeakerArrangement* arrangement, bool input);
  VstIntPtr CanDo(const char* text);
  VstIntPtr VendorSpecific(std::int32_t index, VstIntPtr value, void* ptr, float opt);
  void ProcessEvents(const VstEvents* events);
  void RefreshChannelCounts();
  static void FillArrangement(VstSpeakerArrangement* arrangement, int channels);

  AEffect effect_{};
  HostCallback host_ = nullptr;
  ERect editorRect_{};
  // The last chunks handed to the host (effGetChunk).
  ChunkBuffer programChunk_;
  ChunkBuffer bankChunk_;
  VstSpeakerArrangement inputArrangement_{};
  VstSpeakerArrangement outputArrangement_{};
  int hostKind_ = -1;  // -1 until asked
  int hostVersion_ = 0;
  int vendorQuirk_ = -1;  // -1 until asked
  bool preparedForHost_ = false;
  std::atomic<bool> programChangePending_{false};
  std::atomic<int> deferredRecall_{-1};
};
