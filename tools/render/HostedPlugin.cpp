#include "HostedPlugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace {

// The plug-in being created: its first callbacks come before the host knows its record.
thread_local HostedPlugin* g_creating = nullptr;

void CopyHostText(void* ptr, const std::string& text) {
  if (ptr == nullptr) return;
  // Plug-ins provide 64 bytes for these.
  const std::size_t n = std::min<std::size_t>(text.size(), 63);
  std::memcpy(ptr, text.data(), n);
  static_cast<char*>(ptr)[n] = '\0';
}

}  // namespace

HostedPlugin::~HostedPlugin() {
  Close();
  if (library_ != nullptr) dlclose(library_);
}

void HostedPlugin::SetHostIdentity(const std::string& vendor, const std::string& product) {
  hostVendor_ = vendor;
  hostProduct_ = product;
}

bool HostedPlugin::Load(const std::string& path, std::string* error) {
  // A path without a slash would make dlopen search the library path instead of the file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "cannot load " + path;
    return false;
  }
  auto entry = reinterpret_cast<PluginEntryProc>(dlsym(library_, "VSTPluginMain"));
  if (entry == nullptr) entry = reinterpret_cast<PluginEntryProc>(dlsym(library_, "main"));
  if (entry == nullptr) {
    *error = path + " has no VST 2 entry point (VSTPluginMain or main)";
    return false;
  }
  return Create(entry, path, error);
}

bool HostedPlugin::Create(PluginEntryProc entry, const std::string& what, std::string* error) {
  g_creating = this;
  effect_ = entry(&Callback);
  g_creating = nullptr;
  if (effect_ == nullptr || effect_->magic != kEffectMagic || effect_->dispatcher == nullptr) {
    *error = what + " did not create a VST 2 plug-in";
    effect_ = nullptr;
    return false;
  }
  effect_->user = this;
  return true;
}

void HostedPlugin::Open(double sampleRate, int blockSize) {
  sampleRate_ = sampleRate;
  blockSize_ = blockSize;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  opened_ = true;
  time_.sampleRate = sampleRate;
  silence_.assign(static_cast<std::size_t>(blockSize), 0.0f);
  inputPointers_.assign(static_cast<std::size_t>(std::max(0, effect_->numInputs)), silence_.data());
}

void HostedPlugin::Resume() {
  if (running_) return;
  Dispatch(effMainsChanged, 0, 1);
  Dispatch(effStartProcess);
  running_ = true;
}

void HostedPlugin::Suspend() {
  if (!running_) return;
  Dispatch(effStopProcess);
  Dispatch(effMainsChanged, 0, 0);
  running_ = false;
}

void HostedPlugin::Close() {
  if (effect_ == nullptr) return;
  Suspend();
  Dispatch(effClose);
  effect_ = nullptr;
}

VstIntPtr HostedPlugin::Dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                                 float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string HostedPlugin::Text(std::int32_t opcode, std::int32_t index) const {
  // Larger than any limit a plug-in is told, so that sloppy plug-ins cannot overrun it.
  char buffer[1024] = {};
  Dispatch(opcode, index, 0, buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

bool HostedPlugin::SetParamText(int index, const std::string& text) const {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  return Dispatch(effString2Parameter, index, 0, copy.data()) != 0;
}

std::string HostedPlugin::ProgramName(int index) {
  char buffer[1024] = {};
  if (Dispatch(effGetProgramNameIndexed, index, -1, buffer) != 0 || buffer[0] != '\0') {
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
  }
  // Plug-ins without indexed names: select the program, ask, and go back.
  const int current = CurrentProgram();
  SetProgram(index);
  std::string name = Text(effGetProgramName);
  SetProgram(current);
  return name;
}

std::vector<unsigned char> HostedPlugin::GetChunk(bool bank) const {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (data == nullptr || size <= 0) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

bool HostedPlugin::SetChunk(const std::vector<unsigned char>& chunk, bool bank) const {
  if (chunk.empty()) return false;
  // The plug-in may keep reading from the buffer only during the call.
  std::vector<unsigned char> copy = chunk;
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
}

void HostedPlugin::SetTransport(double frame, const TempoMap& map, bool changed) {
  int numerator = 4;
  int denominator = 4;
  time_.samplePos = frame;
  time_.sampleRate = sampleRate_;
  time_.nanoSeconds = frame / sampleRate_ * 1e9;
  time_.ppqPos = map.FrameToPpq(frame);
  time_.tempo = map.TempoAt(frame);
  time_.barStartPos = map.BarStart(time_.ppqPos, &numerator, &denominator);
  time_.cycleStartPos = 0.0;
  time_.cycleEndPos = 0.0;
  time_.timeSigNumerator = numerator;
  time_.timeSigDenominator = denominator;
  time_.smpteOffset = 0;
  time_.smpteFrameRate = 0;
  time_.samplesToNextClock = 0;
  time_.flags = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid | kVstTempoValid |
                kVstBarsValid | kVstTimeSigValid | (changed ? kVstTransportChanged : 0);
}

void HostedPlugin::SendEvents(const std::vector<VstMidiEvent>& events) {
  if (events.empty()) return;
  // The plug-in may keep the pointers until the next block, so the events live here.
  eventCopies_ = events;
  // numEvents and reserved take two pointer-sized words on both x86-64 and i386.
  eventStorage_.assign(2 + eventCopies_.size(), 0);
  auto* list = reinterpret_cast<VstEvents*>(eventStorage_.data());
  list->numEvents = static_cast<std::int32_t>(eventCopies_.size());
  VstEvent** pointers = list->events;
  for (std::size_t i = 0; i < eventCopies_.size(); ++i) pointers[i] = reinterpret_cast<VstEvent*>(&eventCopies_[i]);
  Dispatch(effProcessEvents, 0, 0, list);
}

void HostedPlugin::Process(float** outputs, int frames) {
  processing_ = true;
  float** inputs = inputPointers_.empty() ? nullptr : inputPointers_.data();
  if ((effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
  } else {
    for (int c = 0; c < effect_->numOutputs; ++c) std::fill(outputs[c], outputs[c] + frames, 0.0f);
    effect_->process(effect_, inputs, outputs, frames);
  }
  processing_ = false;
}

VstIntPtr HostedPlugin::Callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 VstIntPtr value, void* ptr, float opt) {
  if (opcode == audioMasterVersion) return 2400;
  HostedPlugin* host = effect != nullptr && effect->user != nullptr
                           ? static_cast<HostedPlugin*>(effect->user)
                           : g_creating;
  if (host == nullptr) return 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr HostedPlugin::Answer(std::int32_t opcode, std::int32_t /*index*/, VstIntPtr /*value*/,
                               void* ptr, float /*opt*/) {
  switch (opcode) {
    case audioMasterCurrentId:
      return effect_ != nullptr ? effect_->uniqueID : 0;
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&time_);
    case audioMasterProcessEvents: {
      const auto* list = static_cast<const VstEvents*>(ptr);
      if (list != nullptr && list->numEvents > 0) midiReceived_ += list->numEvents;
      return 1;
    }
    case audioMasterIOChanged:
      return 1;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize:
      return blockSize_;
    case audioMasterGetInputLatency:
    case audioMasterGetOutputLatency:
      return 0;
    case audioMasterGetCurrentProcessLevel:
      return processing_ ? kProcessLevelOffline : kProcessLevelUser;
    case audioMasterGetAutomationState:
      return 1;  // off
    case audioMasterGetVendorString:
      CopyHostText(ptr, hostVendor_);
      return 1;
    case audioMasterGetProductString:
      CopyHostText(ptr, hostProduct_);
      return 1;
    case audioMasterGetVendorVersion:
      return 1000;
    case audioMasterCanDo: {
      if (ptr == nullptr) return 0;
      const std::string query(static_cast<const char*>(ptr), strnlen(static_cast<const char*>(ptr), 64));
      for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
                              "receiveVstMidiEvent", "startStopProcess"}) {
        if (query == yes) return 1;
      }
      return 0;
    }
    case audioMasterGetLanguage:
      return 1;  // English
    default:
      // Automation, gesture and display notices need no answer from an offline renderer.
      return 0;
  }
}
