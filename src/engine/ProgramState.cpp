#include "engine/ProgramState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/PitchFunction.h"
#include "engine/Tarvolin.h"
#include "shell/ChunkBuffer.h"
#include "wavetable/UserWaveSlot.h"
#include "wavetable/WaveTableStore.h"

namespace {

bool TagAt(const ChunkBuffer& chunk, int pos) {
  const int size = static_cast<int>(ProgramState::kTag.size());
  return pos >= 0 && pos <= chunk.Size() - size &&
         std::memcmp(chunk.Data() + pos, ProgramState::kTag.data(), ProgramState::kTag.size()) == 0;
}

// The value a parameter takes when set from value, as Parameter::SetPlainClamped sets it.
double Clamped(const IPlugBase& ranges, int index, double value) {
  const Parameter* p = ranges.GetParam(index);
  return std::clamp(std::isnan(value) ? 0.0 : value, p->Min(), p->Max());
}

// Whether some oscillator's Wave Table value names user slot j.
bool SlotPlayed(const ProgramState::Image& image, int j) {
  const double identifier = WaveTableStore::kFirstSlotIdentifier + j;
  for (int index : ProgramState::kWaveTableParameters) {
    if (image.values[static_cast<std::size_t>(index)] == identifier) return true;
  }
  return false;
}

}  // namespace

// ---- Reading ------------------------------------------------------------------------------------

std::shared_ptr<ProgramState::Prepared> ProgramState::Prepare(const ChunkBuffer& chunk, int pos) {
  auto state = std::make_shared<Prepared>();
  if (TagAt(chunk, pos)) {
    pos = chunk.Skip(static_cast<int>(kTag.size()) + 4, pos);
    std::int32_t nameLength = 0;
    pos = chunk.Get(&nameLength, pos);
    if (nameLength > 0) pos = chunk.Skip(nameLength, pos);
  }

  for (int i = 0; i < param::kCount && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk.Get(&value, pos);
    state->values[static_cast<std::size_t>(i)] = pos < 0 ? 0.0 : value;
    state->valueCount = i + 1;
  }

  pos = TuningState::ReadBlock(chunk, pos, &state->tuning);

  std::uint8_t count = 0;
  if (chunk.Get(&count, pos) >= 0) pos += 1;
  for (int j = 0; j < count; ++j) {
    // Slots beyond the instrument's three are read and dropped, so that what follows them is still
    // found.
    if (j < kUserSlotCount) state->slotCount = j + 1;
    std::uint8_t present = 0;
    if (chunk.Get(&present, pos) >= 0) pos += 1;
    if (present != 0) {
      std::shared_ptr<const UserWaveContent> content;
      pos = UserWaveSlot::Read(chunk, pos, &content);
      if (j < kUserSlotCount) {
        state->slots[static_cast<std::size_t>(j)] = std::move(content);
        state->slotRead = true;
      }
    }
  }

  std::int32_t extension = 0;
  pos = chunk.Get(&extension, pos);
  if (pos >= 0 && extension > 0) pos = chunk.Skip(4, pos);
  state->end = pos;
  return state;
}

int ProgramState::Apply(Tarvolin& plug, const Prepared& state) {
  PluginLock lock(plug.PluginMutex());
  for (int i = 0; i < state.valueCount; ++i) plug.GetParam(i)->SetPlainClamped(state.values[static_cast<std::size_t>(i)]);
  for (int i = 0; i < plug.NParams(); ++i) plug.OnParameterChanged(i);
  plug.Tuning().ApplyBlock(state.tuning);
  WaveTableStore& tables = plug.WaveTables();
  for (int j = 0; j < state.slotCount; ++j) tables.SetSlotContent(j, state.slots[static_cast<std::size_t>(j)]);
  // The oscillators select again, now finding the slots' new content.
  if (state.slotRead) {
    for (int index : kWaveTableParameters) plug.OnParameterChanged(index);
  }
  return state.end;
}

int ProgramState::Read(Tarvolin& plug, const ChunkBuffer& chunk, int pos) {
  const auto state = Prepare(chunk, pos);
  return Apply(plug, *state);
}

void ProgramState::ApplyTo(Image& image, const Prepared& state, const IPlugBase& ranges) {
  for (int i = 0; i < state.valueCount; ++i) {
    image.values[static_cast<std::size_t>(i)] = Clamped(ranges, i, state.values[static_cast<std::size_t>(i)]);
  }
  const TuningState::Block& tuning = state.tuning;
  if (tuning.hasName) {
    std::memcpy(image.tuningName, tuning.name, TuningState::kNameSize);
    image.tuningName[TuningState::kNameSize - 1] = '\0';
  }
  for (int n = 0; n < tuning.tableCount; ++n) {
    image.userTable[n] = tuning.table[n] > kPitchLimit ? kPitchLimit : tuning.table[n];
  }
  const std::int32_t selection = tuning.hasSelection ? tuning.selection : image.selection;
  image.selection = static_cast<std::uint32_t>(selection) > 14u ? 0 : selection;
  for (int j = 0; j < state.slotCount; ++j) image.slots[static_cast<std::size_t>(j)] = state.slots[static_cast<std::size_t>(j)];
}

// ---- Writing ------------------------------------------------------------------------------------

void ProgramState::WriteImage(Image& image, const IPlugBase& ranges, std::int32_t programIndex,
                              std::string_view programName, ChunkBuffer& chunk) {
  chunk.PutBytes(kTag.data(), static_cast<int>(kTag.size()));
  chunk.Put<std::int32_t>(programIndex);
  chunk.PutStr(programName);
  for (int i = param::kFirstReserved; i < param::kCount; ++i) image.values[static_cast<std::size_t>(i)] = Clamped(ranges, i, 0.0);
  for (const double v : image.values) chunk.Put<double>(v);
  chunk.Put<std::int32_t>(image.selection);
  chunk.PutBytes(image.tuningName, TuningState::kNameSize);
  for (const std::int32_t pitch : image.userTable) chunk.PutBE<std::uint16_t>(static_cast<std::uint16_t>(pitch));
  chunk.Put<std::uint8_t>(kUserSlotCount);
  for (int j = 0; j < kUserSlotCount; ++j) {
    const UserWaveContent* content = image.slots[static_cast<std::size_t>(j)].get();
    const bool present = content != nullptr && SlotPlayed(image, j);
    chunk.Put<std::uint8_t>(present ? 1 : 0);
    if (present) UserWaveSlot::Write(content, chunk);
  }
  chunk.Put<std::int32_t>(kExtensionSize);
  chunk.Put<std::int32_t>(kWriterBuild);
}

ProgramState::Image ProgramState::Capture(Tarvolin& plug) {
  PluginLock lock(plug.PluginMutex());
  for (int i = param::kFirstReserved; i < plug.NParams(); ++i) plug.GetParam(i)->SetPlainClamped(0.0);
  return Look(plug);
}

ProgramState::Image ProgramState::Look(const Tarvolin& plug) {
  PluginLock lock(plug.PluginMutex());
  Image image;
  for (int i = 0; i < param::kCount; ++i) image.values[static_cast<std::size_t>(i)] = plug.GetParam(i)->Value();
  const TuningState& tuning = plug.Tuning();
  image.selection = tuning.Selection();
  std::memcpy(image.tuningName, tuning.UserTuningName(), TuningState::kNameSize);
  for (int n = 0; n < TuningState::kNotes; ++n) image.userTable[n] = tuning.UserPitch(n);
  for (int j = 0; j < kUserSlotCount; ++j) image.slots[static_cast<std::size_t>(j)] = plug.WaveTables().Slot(j).Content();
  return image;
}

bool ProgramState::Write(Tarvolin& plug, ChunkBuffer& chunk) {
  PluginLock lock(plug.PluginMutex());
  Image image = Capture(plug);
  WriteImage(image, plug, plug.CurrentProgram(), plug.ProgramName(plug.CurrentProgram()), chunk);
  return !chunk.Empty();
}

std::shared_ptr<ProgramState::Prepared> ProgramState::WholeImage(const Image& image, bool slotRead) {
  auto state = std::make_shared<Prepared>();
  state->end = 1;
  state->valueCount = param::kCount;
  state->values = image.values;
  TuningState::Block& tuning = state->tuning;
  tuning.hasSelection = true;
  tuning.selection = image.selection;
  tuning.hasName = true;
  std::memcpy(tuning.name, image.tuningName, TuningState::kNameSize);
  tuning.tableCount = TuningState::kNotes;
  for (int n = 0; n < TuningState::kNotes; ++n) tuning.table[n] = static_cast<std::uint16_t>(image.userTable[n]);
  state->slotCount = kUserSlotCount;
  state->slots = image.slots;
  state->slotRead = slotRead;
  return state;
}

std::shared_ptr<ProgramState::Prepared> ProgramState::FromImage(const Image& image, int size) {
  auto state = WholeImage(image, false);
  state->end = size;
  for (int j = 0; j < kUserSlotCount; ++j) {
    auto& slot = state->slots[static_cast<std::size_t>(j)];
    // A slot no oscillator plays is not written, so reading the state back empties it.
    if (slot && !SlotPlayed(image, j)) slot.reset();
    if (slot) state->slotRead = true;
  }
  return state;
}

// ---- Tables -------------------------------------------------------------------------------------

void ProgramState::PrepareTables(const Prepared& state, const IPlugBase& ranges) {
  for (int index : kWaveTableParameters) {
    if (index >= state.valueCount) continue;
    const auto identifier = static_cast<std::int32_t>(Clamped(ranges, index, state.values[static_cast<std::size_t>(index)]));
    const int slot = WaveTableStore::SlotOfIdentifier(identifier);
    if (slot < 0) {
      WaveTableStore::Prepare(identifier);
    } else if (slot < state.slotCount && state.slots[static_cast<std::size_t>(slot)]) {
      WaveTableStore::Prepare(-1, state.slots[static_cast<std::size_t>(slot)]);
    }
  }
}
