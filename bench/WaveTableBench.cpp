// Wave-table building and selection: what a parameter change costs, and what 16 instances' tables
// hold in memory.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "wavetable/BuiltInTableCache.h"
#include "wavetable/BuiltInWaveTables.h"
#include "wavetable/WaveTableStore.h"

namespace {

double ResidentMiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::vector<float> SlotWaves(int waves, int variant) {
  std::vector<float> x(static_cast<std::size_t>(waves) * kWaveLength);
  for (int w = 0; w < waves; ++w) {
    for (int i = 0; i < kWaveLength; ++i) {
      const double t = 2.0 * std::numbers::pi * i / kWaveLength;
      x[w * kWaveLength + i] = static_cast<float>(0.6 * std::sin(t) + 0.3 * std::sin((w + variant + 2) * t));
    }
  }
  return x;
}

// Sixteen instances, each with three different 64-wave built-in tables selected (Saw-Tri,
// Square-Tri, Dirac Meltdown). Runs first, before anything else has built tables.
void BM_Memory16InstancesBuiltIn(benchmark::State& state) {
  for (auto _ : state) {
    const double before = ResidentMiB();
    std::vector<std::unique_ptr<WaveTableStore>> stores;
    for (int i = 0; i < 16; ++i) {
      stores.push_back(std::make_unique<WaveTableStore>());
      stores.back()->SetConstructing(false);
      stores.back()->Select(0, 8);
      stores.back()->Select(1, 9);
      stores.back()->Select(2, 12);
      stores.back()->FinishPending();
    }
    const double after = ResidentMiB();
    state.counters["rss_MiB"] = after;
    state.counters["added_MiB"] = after - before;
    std::printf("16 instances x 3 different 64-wave built-in tables: resident %.1f MiB (+%.1f MiB)\n", after,
                after - before);
  }
}
BENCHMARK(BM_Memory16InstancesBuiltIn)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same with three different 64-wave user tables per instance (equal ones would be shared).
void BM_Memory16InstancesUserTables(benchmark::State& state) {
  for (auto _ : state) {
    const double before = ResidentMiB();
    std::vector<std::unique_ptr<WaveTableStore>> stores;
    for (int i = 0; i < 16; ++i) {
      stores.push_back(std::make_unique<WaveTableStore>());
      WaveTableStore& s = *stores.back();
      s.SetConstructing(false);
      for (int j = 0; j < 3; ++j) {
        const auto waves = SlotWaves(64, i * 3 + j);
        s.Slot(j).Set(waves.data(), static_cast<int>(waves.size()), "user");
        s.Select(j, 65531 + j);
      }
    }
    const double after = ResidentMiB();
    state.counters["rss_MiB"] = after;
    state.counters["added_MiB"] = after - before;
    std::printf("16 instances x 3 different 64-wave user tables: resident %.1f MiB (+%.1f MiB)\n", after,
                after - before);
  }
}
BENCHMARK(BM_Memory16InstancesUserTables)->Iterations(1)->Unit(benchmark::kMillisecond);

// Building a 64-wave built-in table from scratch: Saw-Tri (time domain, 704 transforms), Dirac
// Meltdown (spectra, 640 transforms) and Phased Saw (spectra).
void BM_BuildBuiltIn(benchmark::State& state) {
  const auto id = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(BuiltInWaveTables::Build(id));
}
BENCHMARK(BM_BuildBuiltIn)->Arg(8)->Arg(12)->Arg(19)->Repetitions(7)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// Loading a 64-wave user table into a slot, which builds its table (on the loading thread). Each
// load brings other samples: equal ones would share the table built before.
void BM_LoadUserSlot64(benchmark::State& state) {
  UserWaveSlot slot;
  int variant = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto waves = SlotWaves(64, ++variant);
    state.ResumeTiming();
    slot.Set(waves.data(), static_cast<int>(waves.size()), "user");
  }
}
BENCHMARK(BM_LoadUserSlot64)->Repetitions(7)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// Selecting a loaded 64-wave user slot, alternating with a built-in table: nothing is built again.
void BM_SelectUserSlot64AfterBuiltIn(benchmark::State& state) {
  WaveTableStore store;
  store.SetConstructing(false);
  const auto waves = SlotWaves(64, 1);
  store.Slot(0).Set(waves.data(), static_cast<int>(waves.size()), "user");
  BuiltInTableCache::Get(4);
  for (auto _ : state) {
    store.Select(0, 4);
    store.Select(0, 65531);
  }
}
BENCHMARK(BM_SelectUserSlot64AfterBuiltIn)->Repetitions(7)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// All 38 built-in tables built one after the other, as building them ahead would: the time it
// takes and the memory they hold (against building each when first chosen).
void BM_BuildEveryBuiltIn(benchmark::State& state) {
  double mib = 0.0;
  double worst = 0.0;
  for (auto _ : state) {
    mib = 0.0;
    for (int id = 0; id < BuiltInWaveTables::kCount; ++id) {
      const auto t0 = std::chrono::steady_clock::now();
      const auto table = BuiltInWaveTables::Build(id);
      worst = std::max(worst, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      if (table) mib += static_cast<double>(table->storage.size() * sizeof(std::int16_t)) / (1024.0 * 1024.0);
    }
  }
  state.counters["tables_MiB"] = mib;
  state.counters["slowest_table_ms"] = worst;
}
BENCHMARK(BM_BuildEveryBuiltIn)->Iterations(3)->Unit(benchmark::kMillisecond);

// How long after a choice a table not built yet takes over: chosen (the worker is asked for it),
// then installed at the first control tick (one per millisecond) after the worker has built it.
// Every built-in table not built so far in this process, one after the other.
void BM_TimeUntilAChosenTablePlays(benchmark::State& state) {
  std::vector<double> latencies;
  for (auto _ : state) {
    WaveTableStore store;
    store.SetConstructing(false);
    for (int id = 0; id < BuiltInWaveTables::kCount; ++id) {
      if (BuiltInTableCache::Find(id, nullptr) != BuiltInTableCache::Status::kNotBuilt) continue;
      const auto chosen = std::chrono::steady_clock::now();
      store.Select(0, id);
      while (store.Pending()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        store.InstallReady();
      }
      latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - chosen).count());
    }
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["tables"] = static_cast<double>(latencies.size());
  if (!latencies.empty()) {
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["worst_ms"] = latencies.back();
  }
}
BENCHMARK(BM_TimeUntilAChosenTablePlays)->Iterations(1)->Unit(benchmark::kMillisecond);

// Selecting a built-in table some oscillator of some instance has built before.
void BM_SelectBuiltInAlreadyBuilt(benchmark::State& state) {
  const auto id = static_cast<std::int32_t>(state.range(0));
  BuiltInTableCache::Get(id);
  WaveTableStore store;
  store.SetConstructing(false);
  for (auto _ : state) store.Select(1, id);
}
BENCHMARK(BM_SelectBuiltInAlreadyBuilt)->Arg(8)->Arg(22)->Repetitions(7)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
