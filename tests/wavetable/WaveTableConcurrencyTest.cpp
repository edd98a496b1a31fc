// Instances on different host threads select and build tables at the same time: the shared
// built-in tables and the transform plans must hold up.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "wavetable/BuiltInTableCache.h"
#include "wavetable/WaveTableStore.h"

namespace {

TEST(WaveTableConcurrency, StoresOnManyThreadsShareOneBuildOfEachTable) {
  constexpr int kThreads = 4;
  const int ids[] = {13, 4, 27, 17, 31};
  std::vector<std::vector<const std::int16_t*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids, &seen] {
      WaveTableStore store;
      store.SetConstructing(false);
      const float wave[4] = {0.1f, 0.5f, -0.5f, 0.2f};
      store.Slot(0).Set(wave, 4, "mine");
      for (int i = 0; i < 5; ++i) {
        const int id = ids[(i + t) % 5];
        store.Select(t % 3, id);
        store.FinishPending();
        seen[t].push_back(BuiltInTableCache::Get(id)->level[0].data());
        store.Select((t + 1) % 3, 65531);  // built when loaded
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 1; t < kThreads; ++t) {
    for (int i = 0; i < 5; ++i) {
      // Thread t saw table ids[(i + t) % 5] at step i; find thread 0's view of the same table.
      const int id = ids[(i + t) % 5];
      int j0 = 0;
      while (ids[j0] != id) ++j0;
      EXPECT_EQ(seen[t][i], seen[0][j0]) << "table " << id;
    }
  }
}

}  // namespace
