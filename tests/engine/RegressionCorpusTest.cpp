// Short reference renders of every part of the engine, kept in tests/engine/corpus as 16-bit stereo
// WAV files (listen to them with any player). Every later change of the engine must reproduce them
// within a tolerance far below audibility; the same files hold in every build (release, sanitizers,
// 32-bit).
//
// To accept a deliberate change of the sound, regenerate them and listen before committing:
//   TARVOLIN_UPDATE_CORPUS=1 build/tarvolin_tests --gtest_filter='RegressionCorpus.*'

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "support/TestPaths.h"
#include "engine/ModulationGenerator.h"
#include "engine/NoiseSource.h"

using namespace engine_test;
using namespace param;

namespace {

constexpr int kFrames = 11025;  // 250 ms at 44.1 kHz
// The stored 16-bit samples are within half a step (1.5e-5) of the render; the builds (release,
// sanitizers, 32-bit) render the same samples, and a C library whose functions round differently in
// the last place moves them by far less than a step. A change of the sound shows as far more (at
// most 3 steps of the 16-bit file, -80 dB).
constexpr double kMaxDifference = 1e-4;
constexpr double kMaxRmsDifference = 2e-5;

struct Case {
  const char* name;
  std::function<void(Harness&)> patch;
  // Notes: {sample, status, data1, data2}.
  std::vector<std::array<int, 4>> midi;
  bool transport = false;
};

std::vector<Case> Cases() {
  const auto notes = [](std::initializer_list<int> keys, int at = 0, int off = 8000) {
    std::vector<std::array<int, 4>> m;
    for (int k : keys) m.push_back({at, 0x90, k, 100});
    for (int k : keys) m.push_back({off, 0x80, k, 0});
    return m;
  };
  const auto voices = [](Harness& h, int index) { h.Set(kNumberOfVoices, index); };
  return {
      {"osc_saw", [&](Harness& h) { voices(h, 3); h.Set(kWaveShape1, 0.3); h.Set(kOsc2On, 0); h.Set(kOsc3On, 0); },
       notes({48, 55})},
      {"osc_pulse", [&](Harness& h) { voices(h, 3); h.Set(kWaveTable1, 1); h.Set(kWaveShape1, 0.2); h.Set(kOsc2On, 0);
                                      h.Set(kOsc3On, 0); }, notes({45, 57})},
      {"osc_full_pwm", [&](Harness& h) { voices(h, 3); h.Set(kWaveTable1, 2); h.Set(kWaveShape1, 0.25);
                                         h.Set(kWaveShapeMod1Amount, 0.5); h.Set(kWaveShapeMod1Source, 5);
                                         h.Set(kMg1Frequency, 8.0); h.Set(kOsc2On, 0); h.Set(kOsc3On, 0); },
       notes({50})},
      {"osc_interpolate", [&](Harness& h) { voices(h, 3); h.Set(kWaveTable1, 7); h.Set(kWaveShapeMod1Amount, 1.0);
                                            h.Set(kWaveShapeMod1Source, 19); h.Set(kLinEg1Attack, 0.15);
                                            h.Set(kOsc2On, 0); h.Set(kOsc3On, 0); }, notes({52, 64})},
      {"osc_raw_tuning", [&](Harness& h) { voices(h, 3); h.Set(kWaveTable1, 12); h.Set(kWaveMode1, 1);
                                           h.Set(kWaveShape1, 0.6); h.Set(kWaveTable2, 20); h.Set(kOctave2, 2);
                                           h.Set(kPitch2, 7); h.Set(kTune2, 0.3); h.Set(kOsc3On, 0);
                                           h.Set(kPanOsc1, 0.2); h.Set(kPanOsc2, 0.9); }, notes({40})},
      {"osc_sync_fm_am", [&](Harness& h) { voices(h, 3); h.Set(kHardSync2, 1); h.Set(kPitch2, 9);
                                           h.Set(kLinearFm3Depth, 0.4); h.Set(kLinearFm3Modulator, 1);
                                           h.Set(kFrequencyMod2Amount, 0.3); h.Set(kFrequencyMod2Source, 19);
                                           h.Set(kLinEg1Decay, 0.3); h.Set(kAmByOsc3, 0.5);
                                           h.Set(kStartPhase2, 45); h.Set(kRestartMode2, 1); }, notes({43})},
      {"filter_lp24", [&](Harness& h) { voices(h, 3); h.Set(kVolume, 0.35); h.Set(kFilterCutoff, 0.4); h.Set(kFilterResonance, 0.8);
                                        h.Set(kFilterEgIntensity, 0.5); h.Set(kFilterEgDecay, 0.3);
                                        h.Set(kFilterKeyTrack, 0.5); }, notes({36, 48})},
      {"filter_lp12", [&](Harness& h) { voices(h, 3); h.Set(kFilterType, 1); h.Set(kFilterCutoff, 0.5);
                                        h.Set(kFilterResonance, 1.0); h.Set(kFilterCfmAmount, 0.3);
                                        h.Set(kFilterCfmSource, 5); h.Set(kMg1Frequency, 12.0); }, notes({45})},
      {"filter_hp24", [&](Harness& h) { voices(h, 3); h.Set(kVolume, 0.2); h.Set(kFilterType, 2); h.Set(kFilterCutoff, 0.55);
                                        h.Set(kFilterResonance, 0.5); h.Set(kFilterEgIntensity, -0.4);
                                        h.Set(kFilterEgAttack, 0.2); }, notes({40, 52})},
      {"envelopes", [&](Harness& h) { voices(h, 3); h.Set(kVolume, 0.35); h.Set(kAmpEgAttack, 0.15); h.Set(kAmpEgDecay, 0.2);
                                      h.Set(kAmpEgSustain, 0.4); h.Set(kAmpEgRelease, 0.15);
                                      h.Set(kAmplitudeMod1Amount, -0.8); h.Set(kAmplitudeMod1Source, 20);
                                      h.Set(kLinEg2Attack, 0.1); h.Set(kLinEg2Decay, 0.15); h.Set(kLinEg2Sustain, 0.3);
                                      h.Set(kLinEg2Release, 0.05); h.Set(kFilterEgTrigger, 1); },
       notes({55, 59}, 0, 6000)},
      {"mg_sine_triangle", [&](Harness& h) { voices(h, 3); h.Set(kMg1Frequency, 9.0); h.Set(kFrequencyMod1Amount, 0.1);
                                             h.Set(kFrequencyMod1Source, 5); h.Set(kMg2Waveform, 1);
                                             h.Set(kMg2Frequency, 17.0); h.Set(kAmpAmAmount, 0.7);
                                             h.Set(kAmpAmSource, 15); h.Set(kVibratoModSource, 1);
                                             h.Set(kVibratoModAmount, 0.3); }, notes({57})},
      {"mg_saws", [&](Harness& h) { voices(h, 3); h.Set(kMg1Waveform, 2); h.Set(kMg1Frequency, 11.0);
                                    h.Set(kWaveShapeMod1Amount, 0.8); h.Set(kWaveShapeMod1Source, 14);
                                    h.Set(kWaveTable1, 9); h.Set(kMg2Waveform, 3); h.Set(kMg2Frequency, 6.0);
                                    h.Set(kFilterCutoff, 0.5); h.Set(kFilterCfmAmount, 0.4);
                                    h.Set(kFilterCfmSource, 6); }, notes({48})},
      {"mg_rectangle_sample_hold", [&](Harness& h) { voices(h, 3); h.Set(kMg1Waveform, 4); h.Set(kMg1Frequency, 13.0);
                                                     h.Set(kPanOsc1, 0.0); h.Set(kAmplitudeMod2Amount, 1.0);
                                                     h.Set(kAmplitudeMod2Source, 14); h.Set(kMg2Waveform, 5);
                                                     h.Set(kMg2Frequency, 30.0); h.Set(kFrequencyMod3Amount, 0.1);
                                                     h.Set(kFrequencyMod3Source, 6); h.Set(kMg2ModAmount, -0.5); },
       notes({50})},
      {"unison", [&](Harness& h) { voices(h, 3); h.Set(kVolume, 0.35); h.Set(kUnisonMode, 1); h.Set(kUnisonDetune, 0.3);
                                   h.Set(kUnisonSpread, 0.8); h.Set(kOsc3On, 0); h.Set(kMasterTune, -0.2); },
       notes({52})},
      {"xmode", [&](Harness& h) { voices(h, 3); h.Set(kXMode, 1); h.Set(kWaveTable2, 4); h.Set(kWaveTable3, 1);
                                  h.Set(kOsc2On, 0); },
       {{0, 0x90, 48, 90}, {2000, 0x90, 55, 90}, {4000, 0x90, 60, 90}, {6000, 0x90, 64, 90}}},
      {"glide_legato", [&](Harness& h) { voices(h, 0); h.Set(kPortamento, 0.1); h.Set(kPortamentoLegato, 1);
                                         h.Set(kAmpEgSustain, 0.8); },
       {{0, 0x90, 48, 100}, {3000, 0x90, 60, 100}, {6000, 0x80, 60, 0}, {9000, 0x80, 48, 0}}},
      {"chorus", [&](Harness& h) { voices(h, 3); h.Set(kVolume, 0.15); h.Set(kChorusOn, 1); h.Set(kChorusFeedback, -0.5);
                                   h.Set(kChorusDepth, 0.6); h.Set(kChorusSpeed, 3.0); h.Set(kChorusMix, 0.6); },
       notes({45, 52, 57})},
      {"tempo_sync", [&](Harness& h) { voices(h, 3); h.Set(kMg1SyncToHost, 1); h.Set(kMg1SyncRate, 15);
                                       h.Set(kMg1Waveform, 4); h.Set(kAmpAmAmount, 1.0); h.Set(kAmpAmSource, 14);
                                       h.Set(kVibratoSyncToHost, 1); h.Set(kVibratoSyncRate, 12);
                                       h.Set(kVibratoModSource, 1); h.Set(kVibratoModAmount, 0.4); },
       notes({53}), true},
      {"noise_velocity_sustain", [&](Harness& h) { voices(h, 3); h.Set(kLevelNoise, 0.8); h.Set(kPanNoise, 0.7);
                                                   h.Set(kAmpVelocity, 0.8); h.Set(kFilterCutoff, 0.6); },
       {{0, 0xB0, 64, 127}, {10, 0x90, 60, 40}, {500, 0x80, 60, 0}, {3000, 0x90, 67, 120}, {3500, 0x80, 67, 0},
        {7000, 0xB0, 64, 0}, {7100, 0xE0, 0, 100}}},
  };
}

Stereo RenderCase(const Case& c) {
  NoiseSource::Sequence().SetState(1);
  ModulationGenerator::SampleHoldSequence().SetState(1);
  Harness h(44100.0, 4096);
  if (c.transport) {
    h.transport.answer = true;
    h.transport.info.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
    h.transport.info.tempo = 133.0;
  }
  c.patch(h);
  Stereo out;
  // Blocks of varied size, so that control ticks span block boundaries.
  static const int kBlocks[] = {256, 100, 441, 37, 512};
  int position = 0;
  for (int b = 0; position < kFrames; ++b) {
    const int n = std::min(kBlocks[b % 5], kFrames - position);
    for (const auto& m : c.midi) {
      if (m[0] >= position && m[0] < position + n) h.Midi(m[0] - position, m[1], m[2], m[3]);
    }
    h.transport.info.ppqPos = 0.5 + position / 44100.0 * 133.0 / 60.0;
    h.transport.info.samplePos = position;
    out.Append(h.Block(n));
    position += n;
  }
  return out;
}

std::string CorpusPath(const char* name) { return SourcePath(std::string("tests/engine/corpus/") + name + ".wav"); }

void Put16(std::vector<char>& b, std::uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
void Put32(std::vector<char>& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}

std::int16_t Quantise(double x) {
  const double s = std::round(x * 32767.0);
  return static_cast<std::int16_t>(s > 32767.0 ? 32767.0 : (s < -32767.0 ? -32767.0 : s));
}

void WriteWav(const std::string& path, const Stereo& s) {
  std::vector<char> b;
  const auto frames = static_cast<std::uint32_t>(s.size());
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  Put32(b, 36 + frames * 4);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, 2);
  Put32(b, 44100);
  Put32(b, 44100 * 4);
  Put16(b, 4);
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, frames * 4);
  for (std::size_t i = 0; i < s.size(); ++i) {
    Put16(b, static_cast<std::uint16_t>(Quantise(s.left[i])));
    Put16(b, static_cast<std::uint16_t>(Quantise(s.right[i])));
  }
  std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

// The samples of a file WriteWav wrote; empty when it cannot be read.
Stereo ReadWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Stereo s;
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 36, "data", 4) != 0) return s;
  const std::size_t frames = (b.size() - 44) / 4;
  for (std::size_t i = 0; i < frames; ++i) {
    const auto sample = [&](std::size_t at) {
      const auto lo = static_cast<std::uint8_t>(b[at]);
      const auto hi = static_cast<std::uint8_t>(b[at + 1]);
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8))) / 32767.0;
    };
    s.left.push_back(sample(44 + i * 4));
    s.right.push_back(sample(46 + i * 4));
  }
  return s;
}

}  // namespace

TEST(RegressionCorpus, FreshRendersMatchTheReferences) {
  const bool update = std::getenv("TARVOLIN_UPDATE_CORPUS") != nullptr;
  for (const Case& c : Cases()) {
    const Stereo fresh = RenderCase(c);
    const double peak = std::max(Peak(fresh.left), Peak(fresh.right));
    EXPECT_LT(peak, 1.0) << c.name << " would clip in the file";
    EXPECT_GT(peak, 0.01) << c.name << " is silent";
    if (update) {
      WriteWav(CorpusPath(c.name), fresh);
      continue;
    }
    const Stereo stored = ReadWav(CorpusPath(c.name));
    ASSERT_EQ(stored.size(), fresh.size()) << c.name << ": missing or cut reference " << CorpusPath(c.name);
    double worst = 0.0;
    double sum = 0.0;
    std::size_t where = 0;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      for (double d : {fresh.left[i] - stored.left[i], fresh.right[i] - stored.right[i]}) {
        if (std::fabs(d) > worst) {
          worst = std::fabs(d);
          where = i;
        }
        sum += d * d;
      }
    }
    const double rms = std::sqrt(sum / (2.0 * static_cast<double>(fresh.size())));
    EXPECT_LE(worst, kMaxDifference) << c.name << ": largest difference at sample " << where;
    EXPECT_LE(rms, kMaxRmsDifference) << c.name;
    std::printf("%-26s peak %.3f  largest difference %.2e  rms %.2e\n", c.name, peak, worst, rms);
  }
}
