// Cost of selecting each built-in tuning and of loading each tuning file of the shared test data,
// conversion into pitch units included. Target: at most 2 ms each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tuning/CSingleScale.h"
#include "tuning/PitchTable.h"
#include "tuning/Temperaments.h"
#include "tuning/TuningState.h"

namespace {

void SelectTuning(benchmark::State& state) {
  TuningState tuning;
  const int index = static_cast<int>(state.range(0));
  for (auto _ : state) {
    tuning.SelectTuning(index);
    benchmark::DoNotOptimize(tuning.NotePitch(60));
  }
  state.SetLabel(tuning.GetTuningName(index).empty() ? "user" : tuning.GetTuningName(index));
}
BENCHMARK(SelectTuning)->DenseRange(0, Temperaments::kCount - 1)->Unit(benchmark::kMicrosecond);

void LoadTuningFile(benchmark::State& state, const std::string& path) {
  TuningState tuning;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tuning.LoadTuningFile(path));
  }
}

// The slowest conversion: every note's frequency at the far end of the range from its own pitch.
void BuildPitchTableWorstCase(benchmark::State& state) {
  TUN::CSingleScale scale;
  for (int i = 0; i < 128; ++i) scale.SetFrequency(i, i < 64 ? 20000.0 : 1.0);
  std::int32_t table[128];
  for (auto _ : state) {
    BuildPitchTable(scale, table);
    benchmark::DoNotOptimize(table[0]);
  }
}
BENCHMARK(BuildPitchTableWorstCase)->Unit(benchmark::kMicrosecond);

// One benchmark per file, registered at start-up so every file of the test data is covered.
const bool kRegistered = [] {
  const std::filesystem::path root = std::filesystem::path(TARVOLIN_TESTDATA_DIR) / "tuning";
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec)) {
    if (e.is_regular_file()) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    const std::string name = "LoadTuningFile/" + f.parent_path().filename().string() + "/" + f.filename().string();
    benchmark::RegisterBenchmark(name.c_str(), LoadTuningFile, f.string())->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
