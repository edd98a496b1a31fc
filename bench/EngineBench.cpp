// Cost of the whole engine: 64 voices of a heavy patch, and the instrument with no voice sounding.
// "realtime" is audio seconds rendered per CPU second on one core; "ns/voice-sample" divides the CPU
// time by the voices sounding and the samples rendered.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kBlocksPerIteration = 16;

std::unique_ptr<Tarvolin> MakeInstrument() {
  auto plug = std::make_unique<Tarvolin>(nullptr);
  plug->InitCurrentProgram();  // the heavy patch is set up from the default sound
  plug->ChangeSampleRate(kRate);
  plug->ChangeBlockSize(kBlock);
  plug->OnReset();
  plug->OnActivation(true);
  return plug;
}

void Set(Tarvolin& plug, int index, double plain) {
  plug.GetParam(index)->SetPlainClamped(plain);
  plug.OnParameterChanged(index);
}

// Everything on at once: three oscillators (hard sync, linear FM, pitch FM, shape modulation,
// per-sample amplitude modulation), noise, a resonant Lowpass 24 swept by its envelope, all four
// envelopes and the three generators routed, the chorus on.
void HeavyPatch(Tarvolin& p) {
  using namespace param;
  Set(p, kNumberOfVoices, 6);  // 64
  Set(p, kWaveTable1, 7);
  Set(p, kWaveTable2, 0);
  Set(p, kWaveTable3, 12);
  Set(p, kWaveShapeMod1Amount, 0.4);
  Set(p, kWaveShapeMod1Source, 5);  // MG1
  Set(p, kHardSync2, 1);            // oscillator 2 synced to oscillator 1
  Set(p, kPitch2, 7);
  Set(p, kLinearFm2Depth, 0.3);     // from oscillator 1
  Set(p, kWaveShapeMod2Amount, 0.5);
  Set(p, kWaveShapeMod2Source, 19);  // EG 1
  Set(p, kFrequencyMod3Amount, 0.1);
  Set(p, kFrequencyMod3Source, 6);   // MG2
  Set(p, kAmplitudeMod3Amount, 0.5);
  Set(p, kAmplitudeMod3Source, 20);  // EG 2, every sample
  Set(p, kLevelNoise, 0.3);
  Set(p, kFilterType, 0);
  Set(p, kFilterCutoff, 0.5);
  Set(p, kFilterResonance, 0.6);
  Set(p, kFilterEgIntensity, 0.6);
  Set(p, kFilterEgAttack, 0.3);
  Set(p, kFilterEgDecay, 0.6);
  Set(p, kFilterEgSustain, 0.3);
  Set(p, kFilterCfmAmount, 0.1);
  Set(p, kFilterCfmSource, 7);  // Vib
  Set(p, kAmpEgAttack, 0.1);
  Set(p, kAmpEgSustain, 0.8);
  Set(p, kLinEg1Attack, 0.3);
  Set(p, kLinEg1Decay, 0.5);
  Set(p, kLinEg1Sustain, 0.5);
  Set(p, kLinEg2Attack, 0.2);
  Set(p, kLinEg2Sustain, 0.7);
  Set(p, kMg1Frequency, 3.0);
  Set(p, kMg2Frequency, 0.7);
  Set(p, kMg2Waveform, 1);
  Set(p, kVibratoModSource, 1);  // ON
  Set(p, kChorusOn, 1);
}

void Counters(benchmark::State& state, double voices) {
  const double samples = static_cast<double>(state.iterations()) * kBlock * kBlocksPerIteration;
  state.counters["realtime"] = benchmark::Counter(samples / kRate, benchmark::Counter::kIsRate);
  if (voices > 0) {
    state.counters["ns/voice-sample"] =
        benchmark::Counter(samples * voices * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
}

void RenderLoop(benchmark::State& state, Tarvolin& plug) {
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b) plug.ProcessBuffersDouble(nullptr, outs, kBlock);
    benchmark::DoNotOptimize(left.data());
  }
}

void BM_HeavyPatch64Voices(benchmark::State& state) {
  auto plug = MakeInstrument();
  HeavyPatch(*plug);
  const int x = static_cast<int>(state.range(0));
  using namespace param;
  if (x & 1) Set(*plug, kLinearFm2Depth, 0);
  if (x & 2) { Set(*plug, kFilterEgIntensity, 0); Set(*plug, kFilterCfmSource, 0); }
  if (x & 4) { Set(*plug, kOsc2On, 0); Set(*plug, kOsc3On, 0); Set(*plug, kOsc1On, 0);}
  if (x & 8) { Set(*plug, kHardSync2, 0); }
  if (x & 16) { Set(*plug, kAmByOsc2, 0.2); }
  for (int k = 0; k < 64; ++k) {
    MidiMessage m;
    m.status = 0x90;
    m.data1 = static_cast<std::uint8_t>(30 + k);
    m.data2 = 100;
    plug->HandleMidiMessage(m);
  }
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (int b = 0; b < 40; ++b) plug->ProcessBuffersDouble(nullptr, outs, kBlock);  // past the attacks
  int sounding = 0;
  for (int i = 0; i < 64; ++i) sounding += plug->GetVoice(i).Active() ? 1 : 0;
  if (sounding != 64) state.SkipWithError("not all voices sound");
  RenderLoop(state, *plug);
  Counters(state, 64);
}
BENCHMARK(BM_HeavyPatch64Voices)->Unit(benchmark::kMillisecond)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(6)->Arg(8)->Arg(16)->Arg(31);

void BM_NoVoiceSounding(benchmark::State& state) {
  auto plug = MakeInstrument();
  Set(*plug, param::kNumberOfVoices, 6);
  Set(*plug, param::kChorusOn, 0);
  RenderLoop(state, *plug);
  Counters(state, 0);
}
BENCHMARK(BM_NoVoiceSounding)->Unit(benchmark::kMicrosecond);

}  // namespace
