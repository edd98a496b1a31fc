// Host chunks of a whole bank through the library's entry point, as a host saves and restores a
// project: effGetChunk (bank) and effSetChunk (bank) with the 64 factory programs.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "shell/VstTypes.h"

namespace {

VstIntPtr QuietHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float) {
  if (opcode == audioMasterGetProductString || opcode == audioMasterGetVendorString) {
    static_cast<char*>(ptr)[0] = '\0';
  }
  return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* MakeReady() {
  static PluginEntryProc entry = [] {
    void* library = dlopen(TARVOLIN_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr ? reinterpret_cast<PluginEntryProc>(dlsym(library, "VSTPluginMain")) : nullptr;
  }();
  if (entry == nullptr) return nullptr;
  AEffect* e = entry(&QuietHost);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  return e;
}

std::vector<unsigned char> BankChunk(AEffect* e) {
  void* data = nullptr;
  const VstIntPtr size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

void BM_GetBankChunk(benchmark::State& state) {
  AEffect* e = MakeReady();
  if (e == nullptr) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  VstIntPtr size = 0;
  for (auto _ : state) {
    void* data = nullptr;
    size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
    benchmark::DoNotOptimize(data);
  }
  state.counters["bytes"] = static_cast<double>(size);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_GetBankChunk)->Unit(benchmark::kMillisecond);

// Restoring a bank applies each of its 64 programs to the live instance in turn, then recalls the
// current one. Timed per call; the median is reported.
void BM_SetBankChunk(benchmark::State& state) {
  AEffect* e = MakeReady();
  if (e == nullptr) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  std::vector<unsigned char> bank = BankChunk(e);
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const VstIntPtr ok = e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data(), 0.0f);
    const auto t1 = std::chrono::steady_clock::now();
    if (ok != 1) state.SkipWithError("the bank was refused");
    times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times[times.size() / 2];
  state.counters["bytes"] = static_cast<double>(bank.size());
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_SetBankChunk)->Unit(benchmark::kMillisecond);

}  // namespace
