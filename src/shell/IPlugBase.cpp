#include "shell/IPlugBase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "shell/DenormalGuard.h"
#include "shell/IPlugEditor.h"
#include "shell/PresetFile.h"
#include "shell/TextFormat.h"

namespace {

// Parses "in-out" tokens separated by spaces; calls f(in, out) for each well-formed token.
template <typename F>
void ForEachChannelToken(const char* description, F f) {
  const char* p = description != nullptr ? description : "";
  while (*p != '\0') {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    char* end = nullptr;
    const long in = std::strtol(p, &end, 10);
    if (end != p && *end == '-') {
      const char* q = end + 1;
      const long out = std::strtol(q, &end, 10);
      if (end != q) f(static_cast<int>(in), static_cast<int>(out));
    }
    while (*p != '\0' && *p != ' ') ++p;
  }
}

}  // namespace

IPlugBase::IPlugBase(const PluginInfo& info) : info_(info) {
  params_.resize(static_cast<std::size_t>(std::max(0, info.parameterCount)));
  programs_.resize(static_cast<std::size_t>(std::max(0, info.programCount)));
  int maxIn = 0;
  int maxOut = 0;
  ForEachChannelToken(info.channelIO, [&](int in, int out) {
    maxIn = std::max(maxIn, in);
    maxOut = std::max(maxOut, out);
  });
  inputs_.resize(static_cast<std::size_t>(maxIn));
  outputs_.resize(static_cast<std::size_t>(maxOut));
  inputPointers_.assign(inputs_.size(), nullptr);
  outputPointers_.assign(outputs_.size(), nullptr);
  for (auto* channels : {&inputs_, &outputs_}) {
    for (ChannelRecord& c : *channels) {
      c.scratch.assign(static_cast<std::size_t>(blockSize_), 0.0);
      c.pointer = c.scratch.data();
    }
  }
}

IPlugBase::~IPlugBase() = default;

int IPlugBase::DecimalVersion() const {
  const int v = info_.version;
  return ((v >> 16) & 0xFFFF) * 10000 + ((v >> 8) & 0xFF) * 100 + (v & 0xFF);
}

bool IPlugBase::LegalIO(int inputs, int outputs) const {
  bool legal = false;
  ForEachChannelToken(info_.channelIO, [&](int in, int out) {
    if ((inputs < 0 || inputs == in) && (outputs < 0 || outputs == out)) legal = true;
  });
  return legal;
}

// ---- Virtual defaults -------------------------------------------------------------------------

void IPlugBase::RenderBlock(double** inputs, double** outputs, int frames) {
  for (int i = 0; i < NOutChannels(); ++i) {
    double* out = outputs[i];
    if (out == nullptr) continue;
    if (i < NInChannels() && inputs[i] != nullptr) {
      if (inputs[i] != out) std::memmove(out, inputs[i], sizeof(double) * static_cast<std::size_t>(frames));
    } else {
      std::fill(out, out + frames, 0.0);
    }
  }
}

void IPlugBase::HandleMidiMessage(const MidiMessage& message) { SendMidiToHost(message); }

bool IPlugBase::SerializeProgramState(ChunkBuffer& chunk) { return SerializeParams(chunk); }

int IPlugBase::UnserializeProgramState(const ChunkBuffer& chunk, int pos) {
  return UnserializeParams(chunk, pos);
}

bool IPlugBase::CompareProgramState(const ChunkBuffer& chunk, int pos) {
  PluginLock lock(mutex_);
  ChunkBuffer live;
  SerializeProgramState(live);
  if (pos < 0 || static_cast<long long>(pos) + live.Size() > chunk.Size()) return false;
  return live.Size() == 0 || std::memcmp(live.Data(), chunk.Data() + pos, static_cast<std::size_t>(live.Size())) == 0;
}

// A value that leaves a parameter's plain value as it is does nothing here or in the two host
// entries below: hosts send current values again (on state restore, during automation playback,
// from generic editors), and acting on them would cut the notes, clear the chorus or rebuild a wave
// table each time. Program loads and activation deliver every parameter deliberately instead.
void IPlugBase::SetParameterFromEditor(int index, double normalised) {
  PluginLock lock(mutex_);
  Parameter* p = GetParam(index);
  if (p == nullptr || !p->ChangedByNormalised(normalised)) return;
  p->SetFromNormalised(normalised);
  ReportParameterChange(index, p->GetNormalised());
  OnParameterChanged(index);
}

void IPlugBase::GetHostTimeSignature(int* numerator, int* denominator) {
  if (numerator != nullptr) *numerator = 0;
  if (denominator != nullptr) *denominator = 0;
}

void IPlugBase::AttachEditor(IPlugEditor* editor) {
  PluginLock lock(mutex_);
  editor_ = editor;
  if (editor_ == nullptr) return;
  RefreshParameterControls();
  editor_->CreateSurfaces();
}

void IPlugBase::RefreshParameterControls() {
  PluginLock lock(mutex_);
  if (editor_ == nullptr) return;
  for (int i = 0; i < NParams(); ++i) editor_->SetParameterFromPlugin(i, params_[static_cast<std::size_t>(i)].GetNormalised(), true);
}

void IPlugBase::ChangeSampleRate(double rate) {
  // NaN fails both comparisons and is refused with the rest.
  if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate)) return;
  sampleRate_ = rate;
}

void IPlugBase::ChangeBlockSize(int frames) {
  if (frames <= 0 || frames > kMaxBlockSize || frames == blockSize_) return;
  blockSize_ = frames;
  for (auto* channels : {&inputs_, &outputs_}) {
    for (ChannelRecord& c : *channels) {
      c.scratch.assign(static_cast<std::size_t>(frames), 0.0);
      c.pointer = c.scratch.data();
      c.hostFloat = nullptr;
    }
  }
}

// ---- Parameters ---------------------------------------------------------------------------------

double IPlugBase::GetParameterNormalised(int index) {
  PluginLock lock(mutex_);
  const Parameter* p = GetParam(index);
  return p != nullptr ? p->GetNormalised() : 0.0;
}

void IPlugBase::SetParameterFromHost(int index, double normalised) {
  PluginLock lock(mutex_);
  Parameter* p = GetParam(index);
  if (p == nullptr || !p->ChangedByNormalised(normalised)) return;
  normalised = std::clamp(normalised, 0.0, 1.0);
  if (editor_ != nullptr) editor_->SetParameterFromPlugin(index, normalised, true);
  p->SetFromNormalised(normalised);
  OnParameterChanged(index);
}

bool IPlugBase::SetParameterFromText(int index, const char* text) {
  PluginLock lock(mutex_);
  Parameter* p = GetParam(index);
  if (p == nullptr) return false;
  if (text == nullptr) return true;
  double value = 0.0;
  if (!p->TextToValue(text, &value)) return false;
  if (!p->ChangedByPlain(value)) return true;
  if (editor_ != nullptr) editor_->SetParameterFromPlugin(index, value, false);
  p->SetPlainClamped(value);
  OnParameterChanged(index);
  return true;
}

// ---- Programs -------------------------------------------------------------------------------------

ProgramSlot* IPlugBase::GetProgram(int index) {
  if (index < 0 || index >= NPrograms()) return nullptr;
  return &programs_[static_cast<std::size_t>(index)];
}

std::string IPlugBase::ProgramName(int index) const {
  PluginLock lock(mutex_);
  if (index < 0 || index >= NPrograms()) return {};
  return programs_[static_cast<std::size_t>(index)].name;
}

bool IPlugBase::RecallProgram(int index) {
  PluginLock lock(mutex_);
  ProgramSlot* slot = GetProgram(index);
  if (slot == nullptr) return false;
  bool ok = false;
  if (slot->initialised) {
    ok = (slot->prepared ? ApplyProgramState(*slot->prepared) : UnserializeProgramState(slot->state, 0)) > 0;
  } else {
    // A slot that was never filled takes the sound that is playing.
    slot->initialised = true;
    int count = 0;
    for (const ProgramSlot& s : programs_) {
      if (s.name.find("user preset") != std::string::npos) ++count;
    }
    slot->name = "user preset " + std::to_string(count + 1);
    StoreLiveState(*slot);
    ok = !slot->state.Empty();
  }
  if (ok) {
    currentProgram_ = index;
    OnProgramsChangedByHost();
    RefreshParameterControls();
  }
  return ok;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  PluginLock lock(mutex_);
  ProgramSlot* slot = GetProgram(currentProgram_);
  if (slot == nullptr) return;
  StoreLiveState(*slot);
  if (name != nullptr && name[0] != '\0') {
    slot->name.assign(name, BoundedLength(name, ProgramSlot::kMaxNameLength));
  }
}

void IPlugBase::FillEmptyPrograms(const char* name, int count) {
  PluginLock lock(mutex_);
  for (int n = 0; n < count; ++n) {
    auto it = std::find_if(programs_.begin(), programs_.end(),
                           [](const ProgramSlot& s) { return !s.initialised; });
    if (it == programs_.end()) return;
    it->initialised = true;
    it->name.assign(name != nullptr ? name : "", BoundedLength(name, ProgramSlot::kMaxNameLength));
    StoreLiveState(*it);
  }
}

void IPlugBase::StoreLiveState(ProgramSlot& slot) {
  PluginLock lock(mutex_);
  slot.state.Clear();
  slot.prepared = StoreProgramState(slot.state);
}

void IPlugBase::PrepareProgramToPlay(int index) {
  std::shared_ptr<const PreparedState> prepared;
  {
    PluginLock lock(mutex_);
    if (const ProgramSlot* slot = GetProgram(index); slot != nullptr && slot->initialised) prepared = slot->prepared;
  }
  if (prepared) PrepareToPlay(*prepared);
}

bool IPlugBase::SerializePresets(ChunkBuffer& chunk) {
  PluginLock lock(mutex_);
  for (const ProgramSlot& slot : programs_) {
    chunk.PutStr(slot.name);
    chunk.Put<std::uint8_t>(slot.initialised ? 1 : 0);
    if (slot.initialised) chunk.PutBytes(slot.state.Data(), slot.state.Size());
  }
  return !chunk.Empty();
}

int IPlugBase::UnserializePresets(const ChunkBuffer& chunk, int pos) {
  PluginLock lock(mutex_);
  for (ProgramSlot& slot : programs_) {
    if (pos < 0) break;
    std::string name = slot.name;
    pos = chunk.GetStr(&name, pos);
    if (name.size() > ProgramSlot::kMaxNameLength) name.resize(ProgramSlot::kMaxNameLength);
    slot.name = name;
    std::uint8_t initialised = 0;
    pos = chunk.Get(&initialised, pos);
    if (pos < 0) break;
    if (initialised == 0) {
      slot.initialised = false;
      slot.state.Clear();
      slot.prepared.reset();
      continue;
    }
    pos = UnserializeProgramState(chunk, pos);
    // A state that cannot be read leaves the slot's own state and flag as they were: an
    // initialised slot always holds a state that reads back.
    if (pos <= 0) break;
    slot.initialised = true;
    // Stored states are always kept in the current layout.
    StoreLiveState(slot);
  }
  RecallProgram(currentProgram_);
  return pos;
}

// The files are read and written outside the lock; building and applying them takes it.
bool IPlugBase::WriteProgramFile(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer file;
  PresetFile::BuildProgramFile(*this, file);
  return PresetFile::Save(path, file);
}

bool IPlugBase::ReadProgramFile(const std::string& path) {
  ChunkBuffer file;
  return PresetFile::Load(path, file) && PresetFile::ReadProgramFile(*this, file);
}

bool IPlugBase::WriteBankFile(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer file;
  PresetFile::BuildBankFile(*this, file);
  return PresetFile::Save(path, file);
}

bool IPlugBase::ReadBankFile(const std::string& path) {
  ChunkBuffer file;
  return PresetFile::Load(path, file) && PresetFile::ReadBankFile(*this, file);
}

bool IPlugBase::SerializeParams(ChunkBuffer& chunk) {
  PluginLock lock(mutex_);
  for (const Parameter& p : params_) chunk.Put<double>(p.Value());
  return !chunk.Empty();
}

int IPlugBase::UnserializeParams(const ChunkBuffer& chunk, int pos) {
  PluginLock lock(mutex_);
  for (Parameter& p : params_) {
    if (pos < 0) break;
    double value = 0.0;
    pos = chunk.Get(&value, pos);
    // A value that cannot be read counts as 0, and reading stops there.
    p.SetPlainClamped(pos < 0 ? 0.0 : value);
  }
  for (int i = 0; i < NParams(); ++i) OnParameterChanged(i);
  return pos;
}

void IPlugBase::WriteVersionHeader(ChunkBuffer& chunk) {
  chunk.Put<std::int32_t>(kVersionMagic);
  chunk.Put<std::int32_t>(kVersionCurrent);
}

int IPlugBase::ReadVersionHeader(const ChunkBuffer& chunk, int pos, std::int32_t* version) {
  std::int32_t magic = 0;
  std::int32_t v = 0;
  *version = 0;
  const int next = chunk.Get(&magic, pos);
  if (next < 0 || magic != kVersionMagic) return pos;
  const int after = chunk.Get(&v, next);
  if (after < 0) return -1;
  *version = v;
  return after;
}

// ---- Audio ----------------------------------------------------------------------------------------

bool IPlugBase::IsInChannelConnected(int i) const {
  return i >= 0 && i < NInChannels() && inputs_[static_cast<std::size_t>(i)].connected;
}

bool IPlugBase::IsOutChannelConnected(int i) const {
  return i >= 0 && i < NOutChannels() && outputs_[static_cast<std::size_t>(i)].connected;
}

void IPlugBase::SetInputChannelConnections(int firstChannel, int count, bool connected) {
  for (int i = std::max(0, firstChannel); i < NInChannels() && i - firstChannel < count; ++i) {
    inputs_[static_cast<std::size_t>(i)].connected = connected;
  }
}

void IPlugBase::SetOutputChannelConnections(int firstChannel, int count, bool connected) {
  for (int i = std::max(0, firstChannel); i < NOutChannels() && i - firstChannel < count; ++i) {
    outputs_[static_cast<std::size_t>(i)].connected = connected;
  }
}

void IPlugBase::RenderPiece(int frames) {
  for (std::size_t i = 0; i < inputs_.size(); ++i) inputPointers_[i] = inputs_[i].pointer;
  for (std::size_t i = 0; i < outputs_.size(); ++i) outputPointers_[i] = outputs_[i].pointer;
  RenderBlock(inputPointers_.data(), outputPointers_.data(), frames);
}

void IPlugBase::ProcessBuffersFloat(float** inputs, float** outputs, int frames, bool accumulate) {
  PluginLock lock(mutex_);
  const DenormalGuard denormals;
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, blockSize_);
    int host = 0;
    for (ChannelRecord& c : inputs_) {
      double* scratch = c.scratch.data();
      c.pointer = scratch;
      const float* source = nullptr;
      if (c.connected) {
        source = inputs != nullptr ? inputs[host] : nullptr;
        ++host;
      }
      if (source != nullptr) {
        for (int j = 0; j < n; ++j) scratch[j] = source[done + j];
      } else {
        std::fill(scratch, scratch + n, 0.0);
      }
    }
    host = 0;
    for (ChannelRecord& c : outputs_) {
      c.pointer = c.scratch.data();
      c.hostFloat = nullptr;
      if (c.connected) {
        c.hostFloat = outputs != nullptr ? outputs[host] : nullptr;
        ++host;
      }
    }
    RenderPiece(n);
    // Host buffers of disconnected channels would otherwise keep whatever they held.
    for (int k = host; !accumulate && outputs != nullptr && k < NOutChannels(); ++k) {
      if (outputs[k] != nullptr) std::fill(outputs[k] + done, outputs[k] + done + n, 0.0f);
    }
    for (ChannelRecord& c : outputs_) {
      if (c.hostFloat == nullptr) continue;
      float* target = c.hostFloat + done;
      const double* source = c.scratch.data();
      if (accumulate) {
        for (int j = 0; j < n; ++j) target[j] += static_cast<float>(source[j]);
      } else {
        for (int j = 0; j < n; ++j) target[j] = static_cast<float>(source[j]);
      }
      c.hostFloat = nullptr;
    }
    done += n;
  }
}

void IPlugBase::ProcessBuffersDouble(double** inputs, double** outputs, int frames) {
  PluginLock lock(mutex_);
  const DenormalGuard denormals;
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, blockSize_);
    int host = 0;
    for (ChannelRecord& c : inputs_) {
      double* source = nullptr;
      if (c.connected) {
        source = inputs != nullptr ? inputs[host] : nullptr;
        ++host;
      }
      if (source != nullptr) {
        c.pointer = source + done;
      } else {
        c.pointer = c.scratch.data();
        std::fill(c.pointer, c.pointer + n, 0.0);
      }
    }
    host = 0;
    for (ChannelRecord& c : outputs_) {
      double* target = nullptr;
      if (c.connected) {
        target = outputs != nullptr ? outputs[host] : nullptr;
        ++host;
      }
      c.pointer = target != nullptr ? target + done : c.scratch.data();
    }
    for (int k = host; outputs != nullptr && k < NOutChannels(); ++k) {
      if (outputs[k] != nullptr) std::fill(outputs[k] + done, outputs[k] + done + n, 0.0);
    }
    RenderPiece(n);
    done += n;
  }
  for (ChannelRecord& c : inputs_) c.pointer = c.scratch.data();
  for (ChannelRecord& c : outputs_) c.pointer = c.scratch.data();
}
