#include "wavetable/WaveTableStore.h"

#include <algorithm>

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
  if (auto levels = BuiltInTableCache::Get(identifier)) {
    table.SetLevels(std::move(levels));
    userLevels_[o].reset();
  }
  table.SetValid(true);
  return true;
}

void WaveTableStore::LoadFromSlot(int oscillator, int slot) {
  const std::size_t o = Index(oscillator);
  WaveTable& table = tables_[o];
  const UserWaveSlot& source = Slot(slot);
  table.SetIdentifier(-1);
  table.SetValid(false);
  const std::uint32_t length = source.Length();
  const int count = length >= 133120u ? kMaxWaveCount : (length < 2048u ? 1 : static_cast<int>(length >> 11));
  table.SetWaveCount(count);
  // Rebuild into this oscillator's previous user-table block when nothing else holds it any more:
  // memory already touched spares the build most of its page faults.
  std::shared_ptr<WaveLevels> levels = std::move(userLevels_[o]);
  table.SetLevels(nullptr);
  if (!levels || levels.use_count() != 1 || levels->waveCount != count) {
    levels.reset();
    levels = BandLimiter::Allocate(count);
  }
  // Samples beyond the slot's length (a slot shorter than one wave) count as 0; at most the first
  // 64 waves are used.
  if (!levels || !BandLimiter::BuildFromSlotSamples(source.Samples(), length, *levels)) {
    table.SetWaveCount(count);
    return;  // out of memory: the table stays invalid and silent
  }
  userLevels_[o] = levels;
  table.SetLevels(std::move(levels));
  table.SetValid(true);
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
