#include "wavetable/WaveTableStore.h"

#include <algorithm>

#include "wavetable/BuiltInTableCache.h"
#include "wavetable/BuiltInWaveTables.h"
#include "wavetable/WaveTableImport.h"
#include "wavetable/WaveTableWorker.h"

WaveTableStore::WaveTableStore() : catalogue_(&slots_) { WaveTableWorker::Start(); }

WaveTableStore::~WaveTableStore() = default;

bool WaveTableStore::Select(int oscillator, std::int32_t identifier) {
  const std::size_t o = Index(oscillator);
  selected_[o] = identifier;
  if (constructing_) return false;
  Target& target = targets_[o];
  const int slot = SlotOfIdentifier(identifier);
  if (slot >= 0) {
    const std::shared_ptr<const UserWaveContent>& content = slots_[static_cast<std::size_t>(slot)].Content();
    if (!content) return true;  // an empty slot leaves the table as it is
    target.source = Target::kUser;
    target.identifier = -1;
    SetTargetContent(target, content);
  } else if (identifier >= 0 && identifier < BuiltInWaveTables::kCount) {
    target.source = Target::kBuiltIn;
    target.identifier = identifier;
    target.builtIn = identifier;
    SetTargetContent(target, nullptr);
  } else {
    target.identifier = identifier;  // the levels stay what they are or are about to become
  }
  const unsigned bit = 1u << o;
  pending_ |= bit;
  if (TryInstall(o)) pending_ &= ~bit;
  return true;
}

void WaveTableStore::SetTargetContent(Target& target, std::shared_ptr<const UserWaveContent> content) {
  std::shared_ptr<const UserWaveContent> old = std::move(target.content);
  target.content = std::move(content);
  WaveTableWorker::Release(std::move(old));
}

bool WaveTableStore::TryInstall(std::size_t o) {
  Target& target = targets_[o];
  WaveTable& table = tables_[o];
  std::shared_ptr<const WaveLevels> levels;
  bool keepLevels = false;
  bool valid = true;
  switch (target.source) {
    case Target::kKeep:
      keepLevels = true;
      break;
    case Target::kBuiltIn:
      switch (BuiltInTableCache::Find(target.builtIn, &levels)) {
        case BuiltInTableCache::Status::kReady:
          break;
        case BuiltInTableCache::Status::kUnavailable:
          keepLevels = true;  // nothing to build: the previous levels stay
          break;
        case BuiltInTableCache::Status::kNotBuilt:
          WaveTableWorker::RequestBuiltIn(target.builtIn);
          return false;
        case BuiltInTableCache::Status::kBuilding:
          return false;
      }
      break;
    case Target::kUser:
      if (!target.content->Built()) {
        UserWaveContent::RequestBuild(target.content);
        return false;
      }
      levels = target.content->Levels();
      // A table that could not be built (memory) stays invalid and silent.
      valid = levels != nullptr;
      break;
  }
  table.SetIdentifier(target.identifier);
  if (!keepLevels) {
    const bool fromUser = target.source == Target::kUser;
    std::shared_ptr<const WaveLevels> old = table.Levels();
    table.SetLevels(std::move(levels));
    if (!valid) table.SetWaveCount(target.content->WaveCount());
    // Built-in tables stay in the process-wide cache, so dropping one frees nothing; a user table
    // may have had its last owner here.
    if (userLevels_[o]) WaveTableWorker::Release(std::move(old));
    userLevels_[o] = fromUser;
  }
  table.SetValid(valid);
  return true;
}

unsigned WaveTableStore::InstallReady() {
  unsigned changed = 0;
  for (std::size_t o = 0; o < kOscillatorCount; ++o) {
    const unsigned bit = 1u << o;
    if ((pending_ & bit) != 0 && TryInstall(o)) {
      pending_ &= ~bit;
      changed |= bit;
    }
  }
  return changed;
}

unsigned WaveTableStore::FinishPending() {
  for (std::size_t o = 0; o < kOscillatorCount; ++o) {
    if ((pending_ & (1u << o)) == 0) continue;
    const Target& target = targets_[o];
    if (target.source == Target::kBuiltIn) Prepare(target.builtIn);
    if (target.source == Target::kUser) Prepare(-1, target.content);
  }
  return InstallReady();
}

void WaveTableStore::Prepare(std::int32_t identifier, const std::shared_ptr<const UserWaveContent>& content) {
  if (identifier >= 0 && identifier < BuiltInWaveTables::kCount) BuiltInTableCache::Get(identifier);
  if (content) content->Build();
}

void WaveTableStore::SetSlotContent(int slot, std::shared_ptr<const UserWaveContent> content) {
  WaveTableWorker::Release(slots_[Index(slot)].Assign(std::move(content)));
}

bool WaveTableStore::SlotSelected(int slot) const {
  const std::int32_t id = kFirstSlotIdentifier + static_cast<std::int32_t>(Index(slot));
  return std::any_of(selected_.begin(), selected_.end(), [id](std::int32_t v) { return v == id; });
}

void WaveTableStore::ClearSlots() {
  for (int j = 0; j < kSlotCount; ++j) SetSlotContent(j, nullptr);
}

bool WaveTableStore::LoadUserWaveTable(int slot, const std::string& path) {
  if (slot < 0 || slot >= kSlotCount) return false;
  return ::LoadUserWaveTable(slots_[static_cast<std::size_t>(slot)], path);
}
