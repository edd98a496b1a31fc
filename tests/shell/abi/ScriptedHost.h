#pragma once

// A host as the binary-interface tests play it: loads the built plug-in with dlopen, calls its entry
// point with a scripted host callback and records what the plug-in asks of the host.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "shell/VstTypes.h"

struct ScriptedHost {
  // Answers.
  std::string vendor = "Scripted Audio";
  std::string product = "Scripted Host";
  VstIntPtr vendorVersion = 10203;
  VstIntPtr processLevel = kProcessLevelRealtime;
  bool answerTime = true;
  VstTimeInfo time{};
  VstIntPtr processEventsAnswer = 1;

  // Calls received.
  std::atomic<int> wantMidi{0};
  std::atomic<int> vendorQueries{0};
  std::atomic<int> productQueries{0};
  std::atomic<int> versionQueries{0};
  std::atomic<int> updateDisplays{0};
  std::atomic<int> timeRequests{0};
  std::atomic<int> processLevelQueries{0};

  std::mutex mutex;
  std::vector<std::pair<int, float>> automated;
  std::vector<int> beginEdits;
  std::vector<int> endEdits;
  std::vector<VstMidiEvent> midiOut;
  std::vector<std::thread::id> updateDisplayThreads;

  ScriptedHost();
  VstIntPtr Answer(AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value,
                   void* ptr, float opt);
};

// The built plug-in library, loaded once per test process.
struct PluginLibrary {
  void* handle = nullptr;
  PluginEntryProc vstPluginMain = nullptr;
  PluginEntryProc main = nullptr;
  std::string error;

  static PluginLibrary& Get();
};

// One plug-in instance created through the entry point with a scripted host; closed on destruction.
class PluginInstance {
 public:
  // ready: also effOpen, sample rate, block size and effMainsChanged(1), as a host does.
  explicit PluginInstance(ScriptedHost& host, bool ready = true, double sampleRate = 44100.0,
                          int blockSize = 512);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect* effect() const { return effect_; }
  explicit operator bool() const { return effect_ != nullptr; }

  VstIntPtr Dispatch(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f) const;
  std::string Text(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0) const;
  std::string ParamName(int index) const { return Text(effGetParamName, index); }
  std::string ParamDisplay(int index) const { return Text(effGetParamDisplay, index); }
  std::string ParamLabel(int index) const { return Text(effGetParamLabel, index); }
  float Get(int index) const { return effect_->getParameter(effect_, index); }
  void Set(int index, float value) const { effect_->setParameter(effect_, index, value); }

  std::vector<unsigned char> GetChunk(bool bank) const;
  VstIntPtr SetChunk(const std::vector<unsigned char>& bytes, bool bank) const;

  // Closes now (idempotent).
  void Close();

 private:
  ScriptedHost* host_;
  AEffect* effect_ = nullptr;
};

// One MIDI message in an event list, as a host hands it to effProcessEvents (pass List()).
class OneMidiEvent {
 public:
  OneMidiEvent(int status, int data1, int data2) {
    event_.type = kVstMidiType;
    event_.byteSize = sizeof(VstMidiEvent);
    Set(status, data1, data2);
    list_.events[0] = reinterpret_cast<VstEvent*>(&event_);
  }
  void Set(int status, int data1, int data2) {
    event_.midiData[0] = static_cast<char>(status);
    event_.midiData[1] = static_cast<char>(data1);
    event_.midiData[2] = static_cast<char>(data2);
  }
  void* List() { return &list_; }

 private:
  VstMidiEvent event_{};
  // The layout of VstEvents with room for one pointer.
  struct {
    std::int32_t numEvents = 1;
    VstIntPtr reserved = 0;
    VstEvent* events[2] = {};
  } list_;
};

// Makes host the one that answers callbacks from now on.
void UseHost(ScriptedHost* host);

// Names of the symbols an ELF shared object exports (defined, global or weak, in .dynsym).
std::vector<std::string> ExportedSymbols(const std::string& path, std::string* error);
