#include "engine/ProgramState.h"

#include <cstring>
#include <string>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/ChunkBuffer.h"

namespace {

constexpr int kWaveTableParameters[WaveTableStore::kOscillatorCount] = {
    param::kWaveTable1, param::kWaveTable2, param::kWaveTable3};

// Whether some oscillator's Wave Table parameter names user slot j.
bool SlotPlayed(const Tarvolin& plug, int j) {
  const double identifier = WaveTableStore::kFirstSlotIdentifier + j;
  for (int index : kWaveTableParameters) {
    if (plug.GetParam(index)->Value() == identifier) return true;
  }
  return false;
}

bool TagAt(const ChunkBuffer& chunk, int pos) {
  const int size = static_cast<int>(ProgramState::kTag.size());
  return pos >= 0 && pos <= chunk.Size() - size &&
         std::memcmp(chunk.Data() + pos, ProgramState::kTag.data(), ProgramState::kTag.size()) == 0;
}

}  // namespace

bool ProgramState::Write(Tarvolin& plug, ChunkBuffer& chunk) {
  PluginLock lock(plug.PluginMutex());
  chunk.PutBytes(kTag.data(), static_cast<int>(kTag.size()));
  chunk.Put<std::int32_t>(plug.CurrentProgram());
  chunk.PutStr(plug.ProgramName(plug.CurrentProgram()));
  for (int i = param::kFirstReserved; i < plug.NParams(); ++i) plug.GetParam(i)->SetPlainClamped(0.0);
  for (int i = 0; i < plug.NParams(); ++i) chunk.Put<double>(plug.GetParam(i)->Value());
  plug.Tuning().SerializeTuning(chunk);
  chunk.Put<std::uint8_t>(kUserSlotCount);
  WaveTableStore& tables = plug.WaveTables();
  for (int j = 0; j < kUserSlotCount; ++j) {
    const bool present = !tables.Slot(j).Empty() && SlotPlayed(plug, j);
    chunk.Put<std::uint8_t>(present ? 1 : 0);
    if (present) tables.Slot(j).Write(chunk);
  }
  chunk.Put<std::int32_t>(kExtensionSize);
  chunk.Put<std::int32_t>(kWriterBuild);
  return !chunk.Empty();
}

int ProgramState::Read(Tarvolin& plug, const ChunkBuffer& chunk, int pos) {
  PluginLock lock(plug.PluginMutex());
  if (TagAt(chunk, pos)) {
    pos = chunk.Skip(static_cast<int>(kTag.size()) + 4, pos);
    std::int32_t nameLength = 0;
    pos = chunk.Get(&nameLength, pos);
    if (nameLength > 0) pos = chunk.Skip(nameLength, pos);
  }

  for (int i = 0; i < plug.NParams() && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk.Get(&value, pos);
    plug.GetParam(i)->SetPlainClamped(pos < 0 ? 0.0 : value);
  }
  for (int i = 0; i < plug.NParams(); ++i) plug.OnParameterChanged(i);

  pos = plug.Tuning().UnserializeTuning(chunk, pos);

  std::uint8_t count = 0;
  if (chunk.Get(&count, pos) >= 0) pos += 1;
  WaveTableStore& tables = plug.WaveTables();
  bool slotRead = false;
  for (int j = 0; j < count; ++j) {
    // Slots beyond the instrument's three are read into a scratch slot and dropped, so that what
    // follows them is still found.
    UserWaveSlot scratch;
    UserWaveSlot& slot = j < kUserSlotCount ? tables.Slot(j) : scratch;
    slot.Clear();
    std::uint8_t present = 0;
    if (chunk.Get(&present, pos) >= 0) pos += 1;
    if (present != 0) {
      pos = slot.Read(chunk, pos);
      if (j < kUserSlotCount) slotRead = true;
    }
  }
  if (slotRead) {
    for (int index : kWaveTableParameters) plug.OnParameterChanged(index);
  }

  std::int32_t extension = 0;
  pos = chunk.Get(&extension, pos);
  if (pos < 0) return -1;
  if (extension > 0) pos = chunk.Skip(4, pos);
  return pos;
}
