#include "shell/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "shell/IPlugEditor.h"
#include "shell/TextFormat.h"

namespace {

// Room for any text a host writes for a vendor or product query (it is told 64 characters).
constexpr std::size_t kHostTextBuffer = 256;

constexpr std::int32_t kTimeInfoMask = kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                                       kVstCyclePosValid | kVstTimeSigValid;  // 0x3E00

// Host product names, tested as substrings of the lower-cased product string in this order.
struct HostName {
  const char* name;
  int kind;
};
constexpr HostName kHostNames[] = {
    {"cubase", kHostCubase},          {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},          {"cakewalk", kHostCakewalk},
    {"samplitude", kHostSamplitude},  {"fruity", kHostFruity},
    {"live", kHostLive},              {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVstManLib},    {"aulab", kHostAulab},
    {"garageband", kHostGarageBand},  {"forte", kHostForte},
    {"chainer", kHostChainer},        {"audition", kHostAudition},
    {"orion", kHostOrion},            {"sawstudio", kHostSawStudio},
    {"logic", kHostLogic},            {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},  {"presonus", kHostPreSonus},
    {"vst3plugintesthost", kHostVst3TestHost},
    {"protools", kHostProTools},      {"ardour", kHostArdour},
    {"openmpt", kHostOpenMpt},        {"renoise", kHostRenoise},
    {"standalone", kHostStandalone},
};

constexpr VstIntPtr kVendorSpecificAnswer = 0xBEEF;
constexpr VstIntPtr kCockosAnswer = static_cast<VstIntPtr>(0xBEEF0000u);

// Upper bound on a chunk a host may hand in; anything larger is refused rather than copied.
constexpr VstIntPtr kMaxChunkSize = 256 * 1024 * 1024;

}  // namespace

IPlugVST::IPlugVST(const PluginInfo& info, HostCallback host) : IPlugBase(info), host_(host) {
  effect_.magic = kEffectMagic;
  effect_.dispatcher = &VSTDispatcher;
  effect_.process = &VSTProcess;
  effect_.setParameter = &VSTSetParameter;
  effect_.getParameter = &VSTGetParameter;
  effect_.numPrograms = info.programCount;
  effect_.numParams = info.parameterCount;
  effect_.numInputs = NInChannels();
  effect_.numOutputs = NOutChannels();
  effect_.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (info.usesChunks) effect_.flags |= effFlagsProgramChunks;
  if (info.isInstrument) effect_.flags |= effFlagsIsSynth;
  if (LegalIO(1, -1)) effect_.flags |= effFlagsCanMono;
  effect_.initialDelay = 0;
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.user = nullptr;
  effect_.uniqueID = info.uniqueId;
  effect_.version = info.version;
  effect_.processReplacing = &VSTProcessReplacing;
  effect_.processDoubleReplacing = &VSTProcessDoubleReplacing;
  FillArrangement(&inputArrangement_, NInChannels());
  FillArrangement(&outputArrangement_, NOutChannels());
}

IPlugVST::~IPlugVST() {
  // A host that keeps the record past effClose finds no instance behind it.
  effect_.object = nullptr;
}

IPlugVST* IPlugVST::FromEffect(AEffect* effect) {
  if (effect == nullptr) return nullptr;
  return static_cast<IPlugVST*>(effect->object);
}

void IPlugVST::FillArrangement(VstSpeakerArrangement* arrangement, int channels) {
  arrangement->numChannels = channels;
  switch (channels) {
    case 0: arrangement->type = kSpeakerArrEmpty; break;
    case 1: arrangement->type = kSpeakerArrMono; break;
    case 2: arrangement->type = kSpeakerArrStereo; break;
    default: arrangement->type = kSpeakerArrUserDefined; break;
  }
}

VstIntPtr IPlugVST::CallHost(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                             float opt) {
  if (host_ == nullptr) return 0;
  return host_(&effect_, opcode, index, value, ptr, opt);
}

// ---- Host calls ---------------------------------------------------------------------------------

void IPlugVST::BeginParameterGesture(int index) { CallHost(audioMasterBeginEdit, index); }

void IPlugVST::ReportParameterChange(int index, double normalised) {
  CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalised));
}

void IPlugVST::EndParameterGesture(int index) { CallHost(audioMasterEndEdit, index); }

void IPlugVST::ReportProgramChange() { CallHost(audioMasterUpdateDisplay); }

bool IPlugVST::IsOfflineRendering() {
  return CallHost(audioMasterGetCurrentProcessLevel) == kProcessLevelOffline;
}

const VstTimeInfo* IPlugVST::RequestTimeInfo(std::int32_t mask) {
  return reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, mask));
}

double IPlugVST::GetHostSamplePosition() {
  const VstTimeInfo* t = RequestTimeInfo(0);
  if (t == nullptr || !(t->samplePos >= 0.0) || !std::isfinite(t->samplePos)) return 0.0;
  return std::trunc(t->samplePos + 0.5);
}

double IPlugVST::GetHostTempo() {
  const VstTimeInfo* t = RequestTimeInfo(kVstTempoValid);
  if (t == nullptr || (t->flags & kVstTempoValid) == 0 || !(t->tempo >= 0.0) ||
      !std::isfinite(t->tempo)) {
    return 0.0;
  }
  return t->tempo;
}

void IPlugVST::GetHostTimeSignature(int* numerator, int* denominator) {
  int num = 0;
  int den = 0;
  const VstTimeInfo* t = RequestTimeInfo(kVstTimeSigValid);
  if (t != nullptr && (t->flags & kVstTimeSigValid) != 0 && t->timeSigNumerator >= 0 &&
      t->timeSigDenominator >= 0) {
    num = t->timeSigNumerator;
    den = t->timeSigDenominator;
  }
  if (numerator != nullptr) *numerator = num;
  if (denominator != nullptr) *denominator = den;
}

void IPlugVST::GetHostTimeInfo(TimeInfo* info) {
  if (info == nullptr) return;
  const VstTimeInfo* t = RequestTimeInfo(kTimeInfoMask);
  if (t == nullptr || (t->flags & kTimeInfoMask) == 0) return;
  if (std::isfinite(t->samplePos)) info->samplePosition = t->samplePos;
  if ((t->flags & kVstPpqPosValid) != 0 && t->ppqPos >= 0.0 && std::isfinite(t->ppqPos)) {
    info->ppqPosition = t->ppqPos;
  }
  if ((t->flags & kVstTempoValid) != 0 && t->tempo > 0.0 && std::isfinite(t->tempo)) {
    info->tempo = t->tempo;
  }
  if ((t->flags & kVstBarsValid) != 0 && t->barStartPos >= 0.0 && std::isfinite(t->barStartPos)) {
    info->lastBarStart = t->barStartPos;
  }
  if ((t->flags & kVstCyclePosValid) != 0 && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0 &&
      std::isfinite(t->cycleStartPos) && std::isfinite(t->cycleEndPos)) {
    info->cycleStart = t->cycleStartPos;
    info->cycleEnd = t->cycleEndPos;
  }
  if ((t->flags & kVstTimeSigValid) != 0 && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info->numerator = t->timeSigNumerator;
    info->denominator = t->timeSigDenominator;
  }
  info->transportPlaying = (t->flags & kVstTransportPlaying) != 0;
  info->cycleActive = (t->flags & kVstTransportCycleActive) != 0;
}

bool IPlugVST::SendMidiToHost(const MidiMessage& message) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendSysExToHost(const SysExMessage& message) {
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.bytes));
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

void IPlugVST::WantMidiBeforeAudio() {
  if (Info().receivesMidi) CallHost(audioMasterWantMidi);
}

// ---- Host identification ------------------------------------------------------------------------

int IPlugVST::PackDecimalVersion(int v) {
  return v + (v % 10000) / 100 * 156 + (v / 10000) * 55536;
}

int IPlugVST::HostKindFromProduct(const char* product) {
  if (product == nullptr || product[0] == '\0') return kHostUnknown;
  std::string lower(product, BoundedLength(product, kHostTextBuffer));
  ToLowerAscii(lower.data());
  for (const HostName& h : kHostNames) {
    if (lower.find(h.name) != std::string::npos) return h.kind;
  }
  return kHostUnknown;
}

int IPlugVST::GetHostKind() {
  PluginLock lock(PluginMutex());
  if (hostKind_ >= 0) return hostKind_;
  char product[kHostTextBuffer] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[kHostTextBuffer - 1] = '\0';
  hostKind_ = kHostUnknown;
  if (product[0] != '\0') {
    const VstIntPtr decimal = CallHost(audioMasterGetVendorVersion);
    hostVersion_ = PackDecimalVersion(static_cast<int>(std::clamp<VstIntPtr>(decimal, 0, 2147483647 / 8)));
    hostKind_ = HostKindFromProduct(product);
  }
  return hostKind_;
}

int IPlugVST::GetHostVersion() {
  GetHostKind();
  return hostVersion_;
}

bool IPlugVST::HostVendorQuirk() {
  PluginLock lock(PluginMutex());
  if (vendorQuirk_ >= 0) return vendorQuirk_ != 0;
  char vendor[kHostTextBuffer] = {};
  CallHost(audioMasterGetVendorString, 0, 0, vendor);
  vendor[kHostTextBuffer - 1] = '\0';
  ToLowerAscii(vendor);
  vendorQuirk_ = (std::strcmp(vendor, "native instruments") == 0 ||
                  std::strcmp(vendor, "juce vst host") == 0)
                     ? 1
                     : 0;
  return vendorQuirk_ != 0;
}

void IPlugVST::RefreshChannelCounts() {
  effect_.numInputs = NInChannels();
  effect_.numOutputs = NOutChannels();
}

void IPlugVST::PrepareForHost() {
  PluginLock lock(PluginMutex());
  if (preparedForHost_) return;
  preparedForHost_ = true;
  const int kind = GetHostKind();
  if (kind == kHostForte || kind == kHostAudition || kind == kHostOrion || kind == kHostSawStudio) {
    // These hosts connect only the first stereo pair of inputs and want every output.
    SetInputChannelConnections(2, NInChannels(), false);
    SetOutputChannelConnections(2, NOutChannels(), true);
  }
  RefreshChannelCounts();
  OnHostKnown();
}

// ---- Editor ---------------------------------------------------------------------------------------

void IPlugVST::ResizeEditor(int width, int height) {
  PluginLock lock(PluginMutex());
  editorRect_.top = 0;
  editorRect_.left = 0;
  editorRect_.bottom = static_cast<std::int16_t>(std::clamp(height, 0, 32767));
  editorRect_.right = static_cast<std::int16_t>(std::clamp(width, 0, 32767));
  OnEditorResized();
}

void IPlugVST::AttachEditor(IPlugEditor* editor) {
  PluginLock lock(PluginMutex());
  IPlugBase::AttachEditor(editor);
  if (editor == nullptr) {
    effect_.flags &= ~effFlagsHasEditor;
    return;
  }
  // An editor that cannot show a window is not announced; hosts would offer an empty one.
  if (editor->CanOpenWindow()) effect_.flags |= effFlagsHasEditor;
  editorRect_.top = 0;
  editorRect_.left = 0;
  editorRect_.bottom = static_cast<std::int16_t>(std::clamp(editor->Height(), 0, 32767));
  editorRect_.right = static_cast<std::int16_t>(std::clamp(editor->Width(), 0, 32767));
}

void IPlugVST::SetReportedLatency(int samples) {
  PluginLock lock(PluginMutex());
  IPlugBase::SetReportedLatency(samples);
  effect_.initialDelay = samples;
}

// ---- Chunks ---------------------------------------------------------------------------------------

VstIntPtr IPlugVST::GetChunk(void** data, bool isBank) {
  if (data == nullptr) return 0;
  if (HostVendorQuirk()) isBank = false;
  ChunkBuffer& chunk = isBank ? bankChunk_ : programChunk_;
  chunk.Clear();
  WriteVersionHeader(chunk);
  bool ok = true;
  if (isBank) {
    ModifyCurrentPreset(nullptr);
    ok = SerializePresets(chunk);
  } else {
    SerializeProgramState(chunk);
    chunk.PutStr(ProgramName(CurrentProgram()));
  }
  if (!ok || chunk.Empty()) return 0;
  *data = chunk.Data();
  return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(const void* data, VstIntPtr size, bool isBank) {
  // No data, or a size that cannot be real: nothing to read, so nothing changes.
  if (data == nullptr || size <= 0 || size > kMaxChunkSize) return 0;
  const bool quirk = HostVendorQuirk();
  if (quirk) isBank = false;
  // The host's bytes are copied and read here without the plug-in lock: reading a bank or a program
  // (and building the tables it plays) takes time the audio thread must not wait for. The lock is
  // taken only to apply the result.
  ChunkBuffer chunk;
  chunk.Assign(data, static_cast<int>(size));
  std::int32_t version = 0;
  int pos = ReadVersionHeader(chunk, 0, &version);
  if (isBank && version >= kVersionCurrent) {
    pos = UnserializePresets(chunk, pos);
  } else {
    LoadProgramState(chunk, pos, [&](int end) {
      pos = end;
      if (pos >= 0 && pos < chunk.Size()) {
        std::string name;
        pos = chunk.GetStr(&name, pos);
        ModifyCurrentPreset(name.c_str());
      } else {
        ModifyCurrentPreset(nullptr);
      }
    });
  }
  if (quirk && pos != chunk.Size()) {
    // Such hosts hand banks in as programs: read the bytes as a bank when they carry a header.
    std::int32_t bankVersion = 0;
    const int bankPos = ReadVersionHeader(chunk, 0, &bankVersion);
    if (bankVersion >= kVersionCurrent) pos = UnserializePresets(chunk, bankPos);
  }
  if (pos < 0) return 0;
  RefreshParameterControls();
  return 1;
}

// ---- Dispatcher helpers ---------------------------------------------------------------------------

VstIntPtr IPlugVST::GetPinProperties(bool input, int index, VstPinProperties* properties) {
  const int channels = input ? NInChannels() : NOutChannels();
  if (properties == nullptr || index < 0 || index >= channels) return 0;
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < channels - 1) properties->flags |= kVstPinIsStereo;
  char label[32];
  char number[16];
  FormatInt(index + 1, number, sizeof number);
  std::string text = std::string(input ? "Input " : "Output ") + number;
  CopyText(label, text, sizeof label - 1);
  CopyText(properties->label, label, kMaxPinLabelChars);
  return 1;
}

void IPlugVST::SetArrangementConnections(const VstSpeakerArrangement* arrangement, bool input) {
  if (arrangement == nullptr) return;
  const int n = std::max(0, arrangement->numChannels);
  if (input) {
    SetInputChannelConnections(0, n, true);
    SetInputChannelConnections(n, NInChannels(), false);
  } else {
    SetOutputChannelConnections(0, n, true);
    SetOutputChannelConnections(n, NOutChannels(), false);
  }
}

VstIntPtr IPlugVST::CanDo(const char* text) {
  if (text == nullptr) return 0;
  const std::string_view query(text, BoundedLength(text, 64));
  if (query == "receiveVstTimeInfo") return 1;
  if (query == "sendVstEvents" || query == "sendVstMidiEvent" || query == "receiveVstEvents" ||
      query == "receiveVstMidiEvent") {
    return Info().receivesMidi ? 1 : 0;
  }
  if (query == "hasCockosExtensions" || query == "hasCockosViewAsConfig") return kCockosAnswer;
  return 0;
}

VstIntPtr IPlugVST::VendorSpecific(std::int32_t index, VstIntPtr value, void* ptr, float opt) {
  switch (index) {
    case 7: {  // display text of a parameter for a given normalised value
      if (ptr == nullptr) return 0;
      if (value >= 0 && value < NParams()) {
        char text[kParameterTextSize];
        GetParam(static_cast<int>(value))->GetDisplay(opt, true, true, text, sizeof text);
        CopyText(static_cast<char*>(ptr), text, kMaxParamTextChars);
      }
      return kVendorSpecificAnswer;
    }
    case 8:  // does the parameter move in integer steps
      if (value >= 0 && value < NParams() &&
          GetParam(static_cast<int>(value))->Kind() != ParameterKind::Double) {
        return kVendorSpecificAnswer;
      }
      return 0;
    default:
      return 0;
  }
}

void IPlugVST::ProcessEvents(const VstEvents* events) {
  // The list really holds numEvents pointers, however many the declaration shows.
  VstEvent* const* list = events->events;
  for (std::int32_t i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = list[i];
    if (event == nullptr) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<std::uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<std::uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<std::uint8_t>(midi->midiData[2]);
      HandleMidiMessage(message);
    } else if (event->type == kVstSysExType) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      SysExMessage message;
      message.offset = sysex->deltaFrames;
      message.size = sysex->dumpBytes;
      message.bytes = reinterpret_cast<const std::uint8_t*>(sysex->sysexDump);
      HandleSysEx(message);
    }
  }
}

// ---- Dispatcher -----------------------------------------------------------------------------------

VstIntPtr IPlugVST::Dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                             float opt) {
  // Restoring state reads and prepares the chunk first and takes the lock itself to apply it.
  if (opcode == effSetChunk) return SetChunk(ptr, value, index == 0);
  PluginLock lock(PluginMutex());
  switch (opcode) {
    case effOpen:
      PrepareForHost();
      for (int i = 0; i < NParams(); ++i) OnParameterChanged(i);
      return 0;
    case effSetProgram:
      ModifyCurrentPreset(nullptr);  // the outgoing program keeps its live edits
      if (value >= 0 && value < NPrograms()) RecallProgram(static_cast<int>(value));
      return 0;
    case effGetProgram:
      return CurrentProgram();
    case effSetProgramName:
      if (ptr != nullptr) {
        ModifyCurrentPreset(static_cast<const char*>(ptr));
        OnProgramsChangedByHost();
      }
      return 0;
    case effGetProgramName:
      if (ptr != nullptr) CopyText(static_cast<char*>(ptr), ProgramName(CurrentProgram()), kMaxProgramNameChars);
      return 0;
    case effGetParamLabel:
      if (ptr != nullptr && IsValidParam(index)) {
        CopyText(static_cast<char*>(ptr), GetParam(index)->GetLabelForHost(), kMaxParamTextChars);
      }
      return 0;
    case effGetParamDisplay:
      if (ptr != nullptr && IsValidParam(index)) {
        char text[kParameterTextSize];
        GetParam(index)->GetDisplayForHost(text, sizeof text);
        CopyText(static_cast<char*>(ptr), text, kMaxParamTextChars);
      }
      return 0;
    case effGetParamName:
      if (ptr != nullptr && IsValidParam(index)) {
        CopyText(static_cast<char*>(ptr), GetParam(index)->Name(), kMaxParamTextChars);
      }
      return 0;
    case effSetSampleRate: {
      const double rate = opt;
      if (rate >= kMinSampleRate && rate <= kMaxSampleRate) {
        ChangeSampleRate(rate);
        OnReset();
      }
      return 0;
    }
    case effSetBlockSize:
      if (value > 0 && value <= kMaxBlockSize) {
        ChangeBlockSize(static_cast<int>(value));
        OnReset();
      }
      return 0;
    case effMainsChanged:
      if (value != 0) {
        OnActivation(true);
      } else {
        OnActivation(false);
        OnReset();
      }
      return 0;
    case effEditGetRect:
      if (ptr != nullptr && AttachedEditor() != nullptr) {
        *static_cast<ERect**>(ptr) = &editorRect_;
        return 1;
      }
      return 0;
    case effEditOpen:
      if (AttachedEditor() != nullptr && AttachedEditor()->OpenWindow(ptr)) {
        OnEditorOpened();
        return 1;
      }
      return 0;
    case effEditClose:
      if (AttachedEditor() != nullptr) {
        OnEditorClosed();
        AttachedEditor()->CloseWindow();
        return 1;
      }
      return 0;
    case effEditIdle:
    case effIdle:
      OnHostIdle();
      return 0;
    case effIdentify:
      return kIdentifyMagic;
    case effGetChunk:
      return GetChunk(static_cast<void**>(ptr), index == 0);
    case effProcessEvents:
      if (ptr == nullptr) return 0;
      ProcessEvents(static_cast<const VstEvents*>(ptr));
      return 1;
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return SetParameterFromText(index, static_cast<const char*>(ptr)) ? 1 : 0;
    case effGetProgramNameIndexed: {
      if (ptr == nullptr) return 0;
      const std::size_t n = CopyText(static_cast<char*>(ptr), ProgramName(index), kMaxProgramNameChars);
      return n > 0 ? 1 : 0;
    }
    case effGetInputProperties:
      return GetPinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
      return GetPinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return Info().isInstrument ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      SetArrangementConnections(reinterpret_cast<const VstSpeakerArrangement*>(value), true);
      SetArrangementConnections(static_cast<const VstSpeakerArrangement*>(ptr), false);
      return 1;
    case effGetEffectName:
      if (ptr == nullptr) return 0;
      CopyText(static_cast<char*>(ptr), Info().effectName, kMaxEffectNameChars);
      return 1;
    case effGetVendorString:
      if (ptr == nullptr) return 0;
      CopyText(static_cast<char*>(ptr), Info().vendorName, kMaxVendorTextChars);
      return 1;
    case effGetProductString:
      if (ptr == nullptr) return 0;
      CopyText(static_cast<char*>(ptr), Info().productName, kMaxVendorTextChars);
      return 1;
    case effGetVendorVersion:
      return DecimalVersion();
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetTailSize:
      return 0;
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName: {
      if (ptr == nullptr) return 0;
      auto* key = static_cast<MidiKeyName*>(ptr);
      key->keyName[0] = '\0';
      char name[256] = {};
      if (!GetMidiKeyName(key->thisKeyNumber, name)) return 0;
      name[sizeof name - 1] = '\0';
      CopyText(key->keyName, name, kMaxKeyNameChars);
      return 1;
    }
    case effGetSpeakerArrangement:
      if (value != 0) *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement_;
      if (ptr != nullptr) *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement_;
      return 1;
    default:
      return 0;
  }
}

// ---- Entries handed to the host -----------------------------------------------------------------

VstIntPtr IPlugVST::VSTDispatcher(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return 0;
  if (opcode == effClose) {
    // Wait for any other entry to leave, then destroy the instance outside the lock.
    plug->PluginMutex().lock();
    plug->PluginMutex().unlock();
    delete plug;
    return 0;
  }
  // Event and processing calls may come from the audio thread; every other call the instance
  // answers comes from the user-interface thread, which may call the host back. Outside the lock,
  // so that a host answering with calls of its own waits for nothing.
  const bool audioCall = opcode == effProcessEvents || opcode == effProcessVarIo || opcode > effGetSpeakerArrangement;
  if (!audioCall) {
    const int recall = plug->deferredRecall_.exchange(-1, std::memory_order_relaxed);
    if (recall >= 0 && plug->RecallProgram(recall)) plug->ReportProgramChangeLater();
    if (plug->programChangePending_.exchange(false, std::memory_order_relaxed)) plug->ReportProgramChange();
  }
  // The editor's events and redrawing run without the lock: the audio thread never waits for them,
  // and what they change takes the lock itself.
  if (opcode == effEditIdle && plug->AttachedEditor() != nullptr) plug->AttachedEditor()->Idle();
  return plug->Dispatch(opcode, index, value, ptr, opt);
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, std::int32_t frames) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return;
  PluginLock lock(plug->PluginMutex());
  plug->WantMidiBeforeAudio();
  plug->ProcessBuffersFloat(inputs, outputs, frames, true);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                   std::int32_t frames) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return;
  PluginLock lock(plug->PluginMutex());
  plug->WantMidiBeforeAudio();
  plug->ProcessBuffersFloat(inputs, outputs, frames, false);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                         std::int32_t frames) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return;
  PluginLock lock(plug->PluginMutex());
  plug->WantMidiBeforeAudio();
  plug->ProcessBuffersDouble(inputs, outputs, frames);
}

float IPlugVST::VSTGetParameter(AEffect* effect, std::int32_t index) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return 0.0f;
  return static_cast<float>(plug->GetParameterNormalised(index));
}

void IPlugVST::VSTSetParameter(AEffect* effect, std::int32_t index, float value) {
  IPlugVST* plug = FromEffect(effect);
  if (plug == nullptr) return;
  plug->SetParameterFromHost(index, value);
}
