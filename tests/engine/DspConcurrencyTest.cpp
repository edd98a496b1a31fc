// Two instances in one process may run on different threads at different sample rates: the shared
// rate tables and random sequences must stay well defined (run under ThreadSanitizer in CI).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/FilterTables.h"
#include "engine/ModulationGenerator.h"
#include "engine/NoiseSource.h"
#include "engine/Oscillator.h"
#include "engine/OscillatorTables.h"
#include "engine/TestWaveTable.h"
#include "engine/VoiceFilter.h"

TEST(DspConcurrency, InstancesAtDifferentRatesReadTheirOwnTables) {
  TestWaveTable table;
  table.Fill(4, 1, TestWaveTable::Sine);
  std::atomic<bool> failed{false};
  const auto instance = [&](double rate) {
    for (int round = 0; round < 40; ++round) {
      Oscillator osc;
      VoiceFilter filter;
      osc.SetTable(&table);
      osc.SetSampleRate(rate);
      filter.SetSampleRate(rate);
      filter.SetCutoff(9000.0, false);
      osc.ControlTick(69 * 128, 0.0);
      const auto expected = static_cast<std::int32_t>(440.0 * 134217728.0 / rate);
      if (osc.Increment() != expected) failed = true;
      for (int i = 0; i < 2000; ++i) {
        double l = osc.Render(0.0) + NoiseSource::Next() * 0.01, r = l;
        filter.Process(l, r, 0);
      }
      if (FilterTables::ForRate(rate)->Rate() != rate) failed = true;
    }
  };
  std::vector<std::thread> threads;
  for (double rate : {44100.0, 48000.0, 96000.0, 192000.0}) threads.emplace_back(instance, rate);
  for (auto& t : threads) t.join();
  EXPECT_FALSE(failed);
}

TEST(DspConcurrency, SharedRandomSequencesAreSafeToDrawFromTwoThreads) {
  std::atomic<int> outOfRange{0};
  const auto draw = [&] {
    for (int i = 0; i < 200000; ++i) {
      const double a = NoiseSource::Next();
      const double b = ModulationGenerator::SampleHoldSequence().Next();
      if (a < -1.0 || a > 1.0 || b < -1.0 || b > 1.0) ++outOfRange;
    }
  };
  std::thread t1(draw), t2(draw);
  t1.join();
  t2.join();
  EXPECT_EQ(outOfRange, 0);
}
