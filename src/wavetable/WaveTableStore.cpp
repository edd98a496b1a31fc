#include "wavetable/WaveTableStore.h"

#include <algorithm>
#include <new>
#include <vector>

#include "wavetable/BandLimiter.h"
#include "wavetable/BuiltInTableCache.h"
#include "wavetable/WaveTableImport.h"

WaveTableStore::WaveTableStore() : catalogue_(&slots_) {}

bool WaveTableStore::Select(int oscillator, std::int32_t identifier) {
  const std::size_t o = Index(oscillator);
  selected_[o] = identifier;
  if (constructing_) return false;
  if (identifier >= kFirstSlotIdentifier && identifier < kFirstSlotIdentifier + kSlotCount) {
    const int slot = identifier - kFirstSlotIdentifier;
    if (!Slot(slot).Empty()) LoadFromSlot(oscillator, slot);
    return true;
  }
  WaveTable& table = tables_[o];
  table.SetIdentifier(identifier);
  if (auto levels = BuiltInTableCache::Get(identifier)) table.SetLevels(std::move(levels));
  table.SetValid(true);
  return true;
}

void WaveTableStore::LoadFromSlot(int oscillator, int slot) {
  WaveTable& table = tables_[Index(oscillator)];
  const UserWaveSlot& source = Slot(slot);
  table.SetIdentifier(-1);
  table.SetValid(false);
  const std::uint32_t length = source.Length();
  const int count = length >= 133120u ? kMaxWaveCount : (length < 2048u ? 1 : static_cast<int>(length >> 11));
  table.SetWaveCount(count);
  std::vector<float> waves;
  try {
    waves.assign(static_cast<std::size_t>(count) * kWaveLength, 0.0f);
  } catch (const std::bad_alloc&) {
    table.SetLevels(nullptr);
    return;
  }
  // A slot shorter than one wave is padded with silence.
  const std::size_t n = std::min<std::size_t>(waves.size(), length);
  const std::int16_t* samples = source.Samples();
  for (std::size_t i = 0; i < n; ++i) waves[i] = static_cast<float>(samples[i]) / 32767.0f;
  auto levels = BandLimiter::BuildFromWaves(waves.data(), count);
  const bool built = levels != nullptr;
  table.SetLevels(std::move(levels));
  table.SetValid(built);
}

bool WaveTableStore::SlotSelected(int slot) const {
  const std::int32_t id = kFirstSlotIdentifier + static_cast<std::int32_t>(Index(slot));
  return std::any_of(selected_.begin(), selected_.end(), [id](std::int32_t v) { return v == id; });
}

void WaveTableStore::ClearSlots() {
  for (auto& s : slots_) s.Clear();
}

bool WaveTableStore::LoadUserWaveTable(int slot, const std::string& path) {
  if (slot < 0 || slot >= kSlotCount) return false;
  return ::LoadUserWaveTable(slots_[static_cast<std::size_t>(slot)], path);
}
