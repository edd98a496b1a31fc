#include "wavetable/BuiltInTableCache.h"

#include <array>
#include <atomic>

#include "wavetable/BuiltInWaveTables.h"

namespace {

// One table: its state and, once the state is kReady, the levels. The levels are written only by
// the thread that moved the state to kBuilding, before it publishes kReady, and never change
// afterwards, so readers that saw kReady read them without a lock.
struct Entry {
  std::atomic<int> state{static_cast<int>(BuiltInTableCache::Status::kNotBuilt)};
  std::shared_ptr<const WaveLevels> levels;
};

std::array<Entry, BuiltInWaveTables::kCount>& Entries() {
  static std::array<Entry, BuiltInWaveTables::kCount> entries;
  return entries;
}

constexpr int kNotBuilt = static_cast<int>(BuiltInTableCache::Status::kNotBuilt);
constexpr int kBuilding = static_cast<int>(BuiltInTableCache::Status::kBuilding);
constexpr int kReady = static_cast<int>(BuiltInTableCache::Status::kReady);
constexpr int kUnavailable = static_cast<int>(BuiltInTableCache::Status::kUnavailable);

}  // namespace

std::shared_ptr<const WaveLevels> BuiltInTableCache::Get(std::int32_t identifier) {
  if (identifier < 0 || identifier >= BuiltInWaveTables::kCount) return nullptr;
  Entry& entry = Entries()[static_cast<std::size_t>(identifier)];
  for (;;) {
    int state = entry.state.load(std::memory_order_acquire);
    if (state == kReady) return entry.levels;
    if (state == kBuilding) {
      entry.state.wait(kBuilding, std::memory_order_acquire);
      continue;
    }
    // Not built, or unavailable (a missing resource stays missing, but memory may have come back).
    if (entry.state.compare_exchange_weak(state, kBuilding, std::memory_order_acq_rel)) break;
  }
  auto built = BuiltInWaveTables::Build(identifier);
  if (built) entry.levels = std::move(built);
  entry.state.store(entry.levels ? kReady : kUnavailable, std::memory_order_release);
  entry.state.notify_all();
  return entry.levels;
}

BuiltInTableCache::Status BuiltInTableCache::Find(std::int32_t identifier, std::shared_ptr<const WaveLevels>* table) {
  if (identifier < 0 || identifier >= BuiltInWaveTables::kCount) return Status::kUnavailable;
  Entry& entry = Entries()[static_cast<std::size_t>(identifier)];
  const int state = entry.state.load(std::memory_order_acquire);
  if (state == kReady && table != nullptr) *table = entry.levels;
  return static_cast<Status>(state);
}

int BuiltInTableCache::Size() {
  int n = 0;
  for (const Entry& e : Entries()) n += e.state.load(std::memory_order_acquire) == kReady ? 1 : 0;
  return n;
}
