// Cost of the whole engine: 64 voices of a heavy patch with parts of it left out, a voice after linear
// FM, every factory program with 16 held notes, and the instrument with no voice sounding.
// "realtime" is audio seconds rendered per CPU second on one core; "ns/voice-sample" divides the CPU
// time by the voices sounding and the samples rendered.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "engine/VoiceLanes.h"

namespace {

// TARVOLIN_VOICE_PATH=scalar|sse2|avx2|avx512 renders every case on that path, so that two runs of the same
// binary compare paths under the same conditions.
const bool g_pathChosen = [] {
  const char* name = std::getenv("TARVOLIN_VOICE_PATH");
  if (name == nullptr) return false;
  for (VoiceLanes::Path p : VoiceLanes::kPaths) {
    if (std::strcmp(name, VoiceLanes::Name(p)) == 0) VoiceLanes::Force(p);
  }
  return true;
}();

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

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void RenderLoop(benchmark::State& state, Tarvolin& plug) {
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b) plug.ProcessBuffersDouble(nullptr, outs, kBlock);
    benchmark::DoNotOptimize(left.data());
  }
}

// What is left out of the heavy patch, so that the cost of each part shows by difference.
enum Leave : int {
  kFull = 0,
  kNoLinearFm = 1,
  kNoFilterModulation = 2,
  kNoOscillators = 4,
  kNoHardSync = 8,
  kAmByOsc2 = 16,  // adds oscillator 2's AM of oscillator 1
};

void HoldNotes(Tarvolin& plug, int count, int first, int spacing) {
  for (int k = 0; k < count; ++k) {
    MidiMessage m;
    m.status = 0x90;
    m.data1 = static_cast<std::uint8_t>(first + k * spacing);
    m.data2 = 100;
    plug.HandleMidiMessage(m);
  }
}

int SoundingVoices(const Tarvolin& plug) {
  int sounding = 0;
  for (int i = 0; i < 64; ++i) sounding += plug.GetVoice(i).Active() ? 1 : 0;
  return sounding;
}

void BM_HeavyPatch64Voices(benchmark::State& state, int leave) {
  auto plug = MakeInstrument();
  HeavyPatch(*plug);
  using namespace param;
  if (leave & kNoLinearFm) Set(*plug, kLinearFm2Depth, 0);
  if (leave & kNoFilterModulation) {
    Set(*plug, kFilterEgIntensity, 0);
    Set(*plug, kFilterCfmSource, 0);
  }
  if (leave & kNoOscillators) {
    Set(*plug, kOsc1On, 0);
    Set(*plug, kOsc2On, 0);
    Set(*plug, kOsc3On, 0);
  }
  if (leave & kNoHardSync) Set(*plug, kHardSync2, 0);
  if (leave & kAmByOsc2) Set(*plug, kAmByOsc2, 0.2);
  HoldNotes(*plug, 64, 30, 1);
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (int b = 0; b < 40; ++b) plug->ProcessBuffersDouble(nullptr, outs, kBlock);  // past the attacks
  if (SoundingVoices(*plug) != 64) state.SkipWithError("not all voices sound");
  RenderLoop(state, *plug);
  Counters(state, 64);
}
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, full, kFull)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, no_linear_fm, kNoLinearFm)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, no_filter_modulation, kNoFilterModulation)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, no_linear_fm_no_filter_modulation, kNoLinearFm | kNoFilterModulation)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, oscillators_off, kNoOscillators)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, oscillators_off_no_filter_modulation, kNoOscillators | kNoFilterModulation)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, no_hard_sync, kNoHardSync)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, am_by_osc2, kAmByOsc2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatch64Voices, bare, kNoLinearFm | kNoFilterModulation | kNoOscillators | kNoHardSync | kAmByOsc2)
    ->Unit(benchmark::kMillisecond);

// The full heavy patch on each rendering path the processor runs (the others use the best).
void BM_HeavyPatchOnPath(benchmark::State& state, VoiceLanes::Path path) {
  if (!VoiceLanes::CanRun(path)) {
    state.SkipWithError("this processor cannot run the path");
    return;
  }
  const VoiceLanes::Path best = VoiceLanes::Current();
  VoiceLanes::Force(path);
  BM_HeavyPatch64Voices(state, kFull);
  VoiceLanes::Force(best);
}
BENCHMARK_CAPTURE(BM_HeavyPatchOnPath, scalar, VoiceLanes::Path::kScalar)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatchOnPath, sse2, VoiceLanes::Path::kSse2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatchOnPath, avx2, VoiceLanes::Path::kAvx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeavyPatchOnPath, avx512, VoiceLanes::Path::kAvx512)->Unit(benchmark::kMillisecond);

// A voice whose oscillator was driven by linear FM and then no longer is costs what a fresh voice
// costs: the FM smoother comes to rest. Compare the two cases; they should be within 10 %.
void BM_VoiceAfterLinearFm(benchmark::State& state, bool fmUsedBefore) {
  auto plug = MakeInstrument();
  using namespace param;
  Set(*plug, kNumberOfVoices, 3);  // 8
  Set(*plug, kAmpEgSustain, 1.0);
  if (fmUsedBefore) Set(*plug, kLinearFm2Depth, 0.5);
  HoldNotes(*plug, 8, 48, 3);
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (int b = 0; b < 8; ++b) plug->ProcessBuffersDouble(nullptr, outs, kBlock);
  Set(*plug, kLinearFm2Depth, 0.0);
  // Long enough for the smoother's decay to end, whichever way it ends.
  for (int b = 0; b < 400; ++b) plug->ProcessBuffersDouble(nullptr, outs, kBlock);
  if (SoundingVoices(*plug) != 8) state.SkipWithError("not all voices sound");
  RenderLoop(state, *plug);
  Counters(state, 8);
}
BENCHMARK_CAPTURE(BM_VoiceAfterLinearFm, fresh, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_VoiceAfterLinearFm, after_fm, true)->Unit(benchmark::kMicrosecond);

// Each factory program with 16 held notes (at least 16 voices), and the median over all of them.
double g_programCost[64] = {};

void BM_FactoryProgram(benchmark::State& state) {
  const int program = static_cast<int>(state.range(0));
  auto plug = std::make_unique<Tarvolin>(nullptr);
  plug->ChangeSampleRate(kRate);
  plug->ChangeBlockSize(kBlock);
  plug->OnReset();
  plug->OnActivation(true);
  plug->PrepareProgramToPlay(program);
  if (!plug->RecallProgram(program)) {
    state.SkipWithError("program not recalled");
    return;
  }
  state.SetLabel(plug->ProgramName(program));
  // Voice counts 1, 2, 4, 8, 16, 32, 64 by index.
  if (plug->GetParam(param::kNumberOfVoices)->Value() < 4) Set(*plug, param::kNumberOfVoices, 4);
  HoldNotes(*plug, 16, 40, 2);
  std::vector<double> left(kBlock), right(kBlock);
  double* outs[2] = {left.data(), right.data()};
  for (int b = 0; b < 8; ++b) plug->ProcessBuffersDouble(nullptr, outs, kBlock);
  double voiceSamples = 0.0;
  const double began = ThreadCpuSeconds();
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b) {
      plug->ProcessBuffersDouble(nullptr, outs, kBlock);
      voiceSamples += static_cast<double>(SoundingVoices(*plug)) * kBlock;
    }
    benchmark::DoNotOptimize(left.data());
  }
  const double spent = ThreadCpuSeconds() - began;
  const double samples = static_cast<double>(state.iterations()) * kBlock * kBlocksPerIteration;
  state.counters["realtime"] = benchmark::Counter(samples / kRate, benchmark::Counter::kIsRate);
  state.counters["voices"] = voiceSamples / samples;
  if (voiceSamples > 0.0) {
    state.counters["ns/voice-sample"] =
        benchmark::Counter(voiceSamples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
  // The same figure, kept for the median.
  g_programCost[program] = voiceSamples > 0.0 ? spent * 1e9 / voiceSamples : -1.0;
}
BENCHMARK(BM_FactoryProgram)->DenseRange(0, 63)->Unit(benchmark::kMillisecond);

// Runs after the 64 programs (in the same process, in registration order) and reports their median.
void BM_FactoryProgramMedian(benchmark::State& state) {
  std::vector<double> costs;
  for (double c : g_programCost) {
    if (c > 0.0) costs.push_back(c);
  }
  for (auto _ : state) benchmark::DoNotOptimize(costs.data());
  if (costs.size() != 64) {
    state.SkipWithError("run together with every BM_FactoryProgram case");
    return;
  }
  std::sort(costs.begin(), costs.end());
  state.counters["median ns/voice-sample"] = (costs[31] + costs[32]) * 0.5;
  state.counters["slowest ns/voice-sample"] = costs.back();
}
BENCHMARK(BM_FactoryProgramMedian)->Iterations(1);

void BM_NoVoiceSounding(benchmark::State& state, bool chorus) {
  auto plug = MakeInstrument();
  Set(*plug, param::kNumberOfVoices, 6);
  Set(*plug, param::kChorusOn, chorus ? 1 : 0);
  RenderLoop(state, *plug);
  Counters(state, 0);
}
BENCHMARK_CAPTURE(BM_NoVoiceSounding, chorus_off, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_NoVoiceSounding, chorus_on, true)->Unit(benchmark::kMicrosecond);

}  // namespace
