// Cost of bringing a plug-in instance to the point where a host can play it: through the library's
// entry point exactly as a host does (entry point, effOpen, sample rate, block size,
// effMainsChanged(1)), then destruction; and the binding's cost per audio block.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace {

VstIntPtr QuietHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float) {
  if (opcode == audioMasterGetProductString || opcode == audioMasterGetVendorString) {
    static_cast<char*>(ptr)[0] = '\0';
  }
  return opcode == audioMasterVersion ? 2400 : 0;
}

PluginEntryProc Entry() {
  static PluginEntryProc entry = [] {
    void* library = dlopen(TARVOLIN_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr ? reinterpret_cast<PluginEntryProc>(dlsym(library, "VSTPluginMain")) : nullptr;
  }();
  return entry;
}

AEffect* MakeReady() {
  AEffect* e = Entry()(&QuietHost);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  return e;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median over 100 instances, each timed on its own; reported as counters in microseconds.
void BM_InstanceCreateToReadyAndDestroy(benchmark::State& state) {
  if (Entry() == nullptr) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<double> create, destroy;
  for (auto _ : state) {
    create.clear();
    destroy.clear();
    for (int i = 0; i < 100; ++i) {
      const auto t0 = Clock::now();
      AEffect* e = MakeReady();
      const auto t1 = Clock::now();
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
      const auto t2 = Clock::now();
      create.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
      destroy.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
  }
  state.counters["create_median_us"] = Median(create);
  state.counters["destroy_median_us"] = Median(destroy);
  state.counters["create_max_us"] = *std::max_element(create.begin(), create.end());
}
BENCHMARK(BM_InstanceCreateToReadyAndDestroy)->Iterations(3)->Unit(benchmark::kMillisecond);

// The float entry's cost around the engine: lock, conversion through the scratch buffers.
void BM_ProcessReplacingBlock(benchmark::State& state) {
  if (Entry() == nullptr) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  const int frames = static_cast<int>(state.range(0));
  AEffect* e = MakeReady();
  e->dispatcher(e, effSetBlockSize, 0, frames, nullptr, 0.0f);
  std::vector<float> l(static_cast<std::size_t>(frames)), r(static_cast<std::size_t>(frames));
  float* outs[2] = {l.data(), r.data()};
  for (auto _ : state) {
    e->processReplacing(e, nullptr, outs, frames);
    benchmark::DoNotOptimize(l.data());
  }
  state.SetItemsProcessed(state.iterations() * frames);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_ProcessReplacingBlock)->Arg(64)->Arg(512);

// The instrument object alone, without the library boundary.
void BM_TarvolinConstruct(benchmark::State& state) {
  for (auto _ : state) {
    Tarvolin plug(nullptr);
    plug.FillEmptyPrograms("Empty", plug.NPrograms());
    benchmark::DoNotOptimize(&plug);
  }
}
BENCHMARK(BM_TarvolinConstruct)->Unit(benchmark::kMicrosecond);

}  // namespace
