#include "wavetable/BuiltInTableCache.h"

#include <array>
#include <mutex>

#include "wavetable/BuiltInWaveTables.h"

namespace {

struct Cache {
  std::mutex mutex;
  std::array<std::shared_ptr<const WaveLevels>, BuiltInWaveTables::kCount> tables;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const WaveLevels> BuiltInTableCache::Get(std::int32_t identifier) {
  if (identifier < 0 || identifier >= BuiltInWaveTables::kCount) return nullptr;
  Cache& cache = TheCache();
  auto& slot = cache.tables[static_cast<std::size_t>(identifier)];
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (slot) return slot;
  }
  // Built outside the lock, so that instances building different tables on different threads do
  // not wait for each other. Two threads racing for the same table both build it; the first one
  // stored is kept, and both answers hold the same content.
  auto built = BuiltInWaveTables::Build(identifier);
  if (!built) return nullptr;
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (!slot) slot = std::move(built);
  return slot;
}

int BuiltInTableCache::Size() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  int n = 0;
  for (const auto& t : cache.tables) n += t ? 1 : 0;
  return n;
}
