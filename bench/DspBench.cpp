// Per-sample cost of the engine's DSP units. Each benchmark processes blocks of 1024 samples; the
// "ns/sample" column is nanoseconds per sample (the library appends its unit "s" to inverted rates).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/Chorus.h"
#include "engine/ExpEG.h"
#include "engine/LinearEG.h"
#include "engine/NoiseSource.h"
#include "engine/Oscillator.h"
#include "engine/TempoClocks.h"
#include "engine/VoiceFilter.h"
#include "wavetable/WaveTable.h"

namespace {

constexpr int kBlock = 1024;

class BenchTable : public WaveTable {
 public:
  BenchTable(int identifier, int waves) {
    auto levels = std::make_shared<WaveLevels>();
    levels->Allocate(waves);
    for (std::size_t l = 0; l < levels->level.size(); ++l) {
      auto& level = levels->level[l];
      for (std::size_t i = 0; i < level.size(); ++i) {
        level[i] = static_cast<std::int16_t>(
            30000.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i % kWaveLength) / kWaveLength));
      }
      levelData_[l] = level.data();
    }
    levels_ = levels;
    identifier_ = identifier;
    waveCount_ = waves;
    totalSamples_ = static_cast<std::uint32_t>(waves) * kWaveLength;
    valid_ = true;
  }
};

void PerSample(benchmark::State& state) {
  state.counters["ns/sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlock * 1e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Oscillator modes: 0 Saw, 1 Pulse, 2 Full PWM, 3 interpolating 64-wave table, 4 raw 64-wave table.
void BM_Oscillator(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  BenchTable table(mode < 3 ? mode : 7, mode < 3 ? 1 : 64);
  Oscillator osc;
  osc.SetTable(&table);
  osc.SetInterpolate(mode != 4);
  osc.SetShape(0.37);
  osc.ControlTick(69 * 128, 0.0);
  double sum = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) sum += osc.Render(0.0);
    benchmark::DoNotOptimize(sum);
  }
  PerSample(state);
}
BENCHMARK(BM_Oscillator)->DenseRange(0, 4)->ArgName("mode");

// Oscillator 2 of a voice: synced to a master and phase-modulated by it.
void BM_OscillatorSyncAndFm(benchmark::State& state) {
  BenchTable table(7, 16);
  Oscillator master, slave;
  for (Oscillator* o : {&master, &slave}) {
    o->SetTable(&table);
    o->SetInterpolate(true);
    o->SetShape(0.5);
  }
  slave.SetSyncMaster(&master);
  master.ControlTick(57 * 128, 0.0);
  slave.ControlTick(64 * 128, 0.0);
  double last = 0.0, sum = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) {
      last = master.Render(0.0);
      sum += slave.Render(last * 0.3);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["ns/sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlock * 2e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);  // per oscillator-sample
}
BENCHMARK(BM_OscillatorSyncAndFm);

// The voice filter, stereo, at a fixed cutoff (arg 0) or with a cutoff offset that changes every
// sample (arg 1, as under Filter EG modulation: coefficients recomputed each sample).
void BM_VoiceFilter(benchmark::State& state) {
  const bool modulated = state.range(0) != 0;
  const int type = static_cast<int>(state.range(1));
  VoiceFilter filter;
  filter.SetSampleRate(44100.0);
  filter.SetType(type);
  filter.SetCutoff(10000.0, false);
  filter.SetResonance(0.7);
  double x = 0.0;
  int m = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) {
      double l = NoiseSource::Next(), r = l;
      if (modulated) m = (m + 7) & 1023;
      filter.Process(l, r, m);
      x += l + r;
    }
    benchmark::DoNotOptimize(x);
  }
  PerSample(state);
}
BENCHMARK(BM_VoiceFilter)->ArgsProduct({{0, 1}, {0, 1, 2}})->ArgNames({"modulated", "type"});

void BM_ExpEG(benchmark::State& state) {
  ExpEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetAttack(0.6);
  eg.SetSustain(0.5);
  double x = 0.0;
  for (auto _ : state) {
    eg.NoteOn();
    for (int i = 0; i < kBlock; ++i) {
      eg.Process();
      x += eg.Output();
    }
    benchmark::DoNotOptimize(x);
  }
  PerSample(state);
}
BENCHMARK(BM_ExpEG);

void BM_LinearEG(benchmark::State& state) {
  LinearEG eg;
  eg.SetSampleRate(44100.0);
  eg.SetAttack(0.5);
  eg.SetSustain(0.5);
  double x = 0.0;
  for (auto _ : state) {
    eg.NoteOn();
    for (int i = 0; i < kBlock; ++i) {
      eg.Process();
      x += eg.Output();
    }
    benchmark::DoNotOptimize(x);
  }
  PerSample(state);
}
BENCHMARK(BM_LinearEG);

// The chorus at its shortest delay (8 slots per sample, the worst case), its longest (1 slot) and
// sweeping (arg 2).
void BM_Chorus(benchmark::State& state) {
  Chorus chorus;
  chorus.SetSampleRate(44100.0);
  chorus.SetMix(0.5);
  chorus.SetFeedback(0.3);
  const int setting = static_cast<int>(state.range(0));
  chorus.SetDelay(setting == 0 ? 0.0 : (setting == 1 ? 1.0 : 0.5));
  chorus.SetDepth(setting == 2 ? 1.0 : 0.0);
  chorus.SetSpeed(2.0);
  double x = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) {
      if (i % 44 == 0) chorus.ControlTick();
      double l = NoiseSource::Next(), r = l;
      chorus.Process(l, r);
      x += l + r;
    }
    benchmark::DoNotOptimize(x);
  }
  PerSample(state);
}
BENCHMARK(BM_Chorus)->DenseRange(0, 2)->ArgName("shortest0_longest1_sweep2");

void BM_TempoClocksStep(benchmark::State& state) {
  TempoClocks clocks;
  TimeInfo info;
  info.transportPlaying = true;
  info.ppqPosition = 0.0;
  clocks.UpdateTempo(info, 44100.0);
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) clocks.Step();
    benchmark::DoNotOptimize(clocks.Countdown(9));
  }
  PerSample(state);
}
BENCHMARK(BM_TempoClocksStep);

// The DSP of one heavy voice without its routing: three oscillators (FM, AM and hard sync), noise,
// four envelopes and the modulated Lowpass 24.
struct BenchVoice {
  Oscillator o1, o2, o3;
  ExpEG fEg, aEg;
  LinearEG l1, l2;
  VoiceFilter filter;
  double last1 = 0.0;

  BenchVoice(const WaveTable& table, int detune) {
    for (Oscillator* o : {&o1, &o2, &o3}) {
      o->SetTable(&table);
      o->SetInterpolate(true);
      o->SetShape(0.4);
    }
    o2.SetSyncMaster(&o1);
    o1.ControlTick(57 * 128 + detune, 0.0);
    o2.ControlTick(64 * 128 + 50 + detune, 0.0);
    o3.ControlTick(57 * 128 + 7 + detune, 0.0);
    EG* egs[] = {&fEg, &aEg, &l1, &l2};
    for (EG* eg : egs) {
      eg->SetSampleRate(44100.0);
      eg->SetAttack(0.3);
      eg->SetDecay(0.5);
      eg->SetSustain(0.6);
      eg->NoteOn();
    }
    filter.SetSampleRate(44100.0);
    filter.SetCutoff(8000.0, false);
    filter.SetResonance(0.5);
  }

  void Render(double& left, double& right) {
    fEg.Process();
    aEg.Process();
    l1.Process();
    l2.Process();
    double a = o1.Render(0.0);
    const double b = o2.Render(last1 * 0.2);
    a *= (b - 1.0) * 0.3 + 1.0;
    const double c = o3.Render(last1 * 0.1);
    a *= (c - 1.0) * 0.2 + 1.0;
    last1 = a;
    const double z = NoiseSource::Next() * 0.1;
    double l = 0.5 * a + 0.5 * b + 0.5 * c + z;
    double r = l;
    filter.Process(l, r, static_cast<std::int32_t>(4000.0 * fEg.Output() + l1.Output() * 100.0));
    const double g = aEg.Output();
    left += g * l;
    right += g * r;
  }
};

// Cost per voice-sample with N voices rendered one after the other for each sample, as the render
// loop does. With several voices the independent filter and smoother recurrences overlap.
void BM_VoiceDspChain(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  BenchTable table(7, 16);
  std::vector<std::unique_ptr<BenchVoice>> pool;
  for (int v = 0; v < voices; ++v) pool.push_back(std::make_unique<BenchVoice>(table, v * 3));
  double outL = 0.0, outR = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) {
      double l = 0.0, r = 0.0;
      for (auto& voice : pool) voice->Render(l, r);
      outL += l;
      outR += r;
    }
    benchmark::DoNotOptimize(outL);
    benchmark::DoNotOptimize(outR);
  }
  state.counters["ns/sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlock * voices * 1e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);  // per voice-sample
}
BENCHMARK(BM_VoiceDspChain)->Arg(1)->Arg(8)->Arg(64)->ArgName("voices");

}  // namespace
