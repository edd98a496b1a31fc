#include "engine/ModulationGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/TempoClocks.h"

namespace {

std::vector<double> Ticks(ModulationGenerator& mg, int n) {
  std::vector<double> out;
  for (int i = 0; i < n; ++i) {
    mg.Tick(nullptr, 44);
    out.push_back(mg.Output());
  }
  return out;
}

ModulationGenerator Make(int waveform, std::int64_t period) {
  ModulationGenerator mg;
  mg.SetWaveform(waveform);
  mg.SetPeriod(period);
  return mg;
}

}  // namespace

TEST(ModulationGenerator, PeriodIsAThousandOverTheFrequency) {
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(0.3), 3333);
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(100.0), 10);
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(0.01), 100000);
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(5.8), 172);
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(0.0), 0);
  EXPECT_EQ(ModulationGenerator::PeriodForFrequency(-1.0), 0);
}

TEST(ModulationGenerator, WaveformsOverOneCycle) {
  // Period 8: the ramp runs -1, -5/7, ..., +1 as the counter runs down from 7 to 0.
  std::vector<double> ramp;
  for (int c = 7; c >= 0; --c) ramp.push_back(1.0 - 2.0 * c / 7.0);
  ModulationGenerator sawUp = Make(ModulationGenerator::kSawUp, 8);
  ModulationGenerator sawDown = Make(ModulationGenerator::kSawDown, 8);
  ModulationGenerator sine = Make(ModulationGenerator::kSine, 8);
  ModulationGenerator triangle = Make(ModulationGenerator::kTriangle, 8);
  ModulationGenerator rectangle = Make(ModulationGenerator::kRectangle, 8);
  // A fresh generator starts at counter 0, the end of a cycle.
  for (ModulationGenerator* mg : {&sawUp, &sawDown, &sine, &triangle, &rectangle}) mg->Tick(nullptr, 44);
  EXPECT_DOUBLE_EQ(sawUp.Output(), 1.0);
  for (int cycle = 0; cycle < 3; ++cycle) {
    for (int i = 0; i < 8; ++i) {
      const double r = ramp[static_cast<std::size_t>(i)];
      for (ModulationGenerator* mg : {&sawUp, &sawDown, &sine, &triangle, &rectangle}) mg->Tick(nullptr, 44);
      EXPECT_NEAR(sawUp.Output(), r, 1e-12);
      EXPECT_NEAR(sawDown.Output(), -r, 1e-12);
      EXPECT_NEAR(sine.Output(), std::sin((r + 1.0) * std::numbers::pi), 1e-12);
      EXPECT_NEAR(triangle.Output(), r < 0.0 ? 2.0 * r + 1.0 : 1.0 - 2.0 * r, 1e-12);
      EXPECT_EQ(rectangle.Output(), i < 4 ? 1.0 : -1.0);  // +1 for the first half of the cycle
    }
  }
  // A period below two ticks holds the ramp at 0.
  ModulationGenerator flat = Make(ModulationGenerator::kSawUp, 1);
  for (double v : Ticks(flat, 5)) EXPECT_EQ(v, 0.0);
  // An unknown waveform leaves the output alone.
  ModulationGenerator odd = Make(ModulationGenerator::kSawUp, 8);
  Ticks(odd, 3);
  const double held = odd.Output();
  odd.SetWaveform(9.0);
  for (double v : Ticks(odd, 5)) EXPECT_EQ(v, held);
}

TEST(ModulationGenerator, FrequencyChangeKeepsThePhase) {
  ModulationGenerator mg = Make(ModulationGenerator::kSawUp, 3333);
  Ticks(mg, 1001);
  const double before = mg.Output();
  const std::int64_t counter = mg.Counter();
  mg.SetPeriod(3333 / 2);
  EXPECT_EQ(mg.Counter(), static_cast<std::int64_t>(1666.0 / 3333.0 * static_cast<double>(counter)));
  mg.Tick(nullptr, 44);
  EXPECT_NEAR(mg.Output(), before + 2.0 / 3332.0, 2e-3);
  EXPECT_EQ(mg.FreePeriod(), 1666);
  // The output repeats every period ticks.
  const std::vector<double> a = Ticks(mg, 1666);
  const std::vector<double> b = Ticks(mg, 1666);
  EXPECT_EQ(a, b);
}

TEST(ModulationGenerator, SampleHoldPicksOneValuePerCycleAtTheRestart) {
  ModulationGenerator mg = Make(ModulationGenerator::kSampleHold, 10);
  RandomSequence& sequence = ModulationGenerator::SampleHoldSequence();
  Ticks(mg, 10);
  std::vector<int> changes;
  for (int i = 0; i < 50; ++i) {
    const std::int32_t state = sequence.State();
    const double before = mg.Output();
    mg.Tick(nullptr, 44);
    if (sequence.State() != state) {
      changes.push_back(i);
      const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(state) * 16807u);
      EXPECT_EQ(mg.Output(), next * 4.6566129e-10);
      EXPECT_NE(mg.Output(), before);
    } else {
      EXPECT_EQ(mg.Output(), before);
    }
  }
  ASSERT_EQ(changes.size(), 5u);
  for (std::size_t i = 1; i < changes.size(); ++i) EXPECT_EQ(changes[i] - changes[i - 1], 10);
}

TEST(ModulationGenerator, SyncRateStaysWithinTheNoteValues) {
  ModulationGenerator mg;
  mg.SetSyncRate(19.9);
  EXPECT_EQ(mg.SyncRate(), 19);
  mg.SetSyncRate(250.0);
  EXPECT_EQ(mg.SyncRate(), 19);
  mg.SetSyncRate(-4.0);
  EXPECT_EQ(mg.SyncRate(), 0);
}

namespace {

// A stand-in for the render loop: blocks of 512 samples, a control tick every 44 samples (44.1 kHz),
// the tempo clocks stepped every sample, the host position advancing with the transport.
struct HostLoop {
  TempoClocks clocks;
  double rate = 44100.0;
  double tempo = 120.0;
  double ppq = 0.0;
  bool playing = true;
  int countdown = 0;
  long sample = 0;

  template <typename OnTick>
  void Run(long samples, OnTick onTick) {
    const int interval = static_cast<int>(rate) / 1000;
    while (samples > 0) {
      const int block = static_cast<int>(std::min<long>(512, samples));
      TimeInfo info;
      info.tempo = tempo;
      info.transportPlaying = playing;
      info.ppqPosition = ppq;
      info.samplePosition = ppq * 60.0 / tempo * rate;
      clocks.UpdateTempo(info, rate);
      for (int j = 0; j < block; ++j) {
        if (countdown == 0) {
          onTick(sample);
          countdown = interval;
        }
        clocks.Step();
        --countdown;
        ++sample;
      }
      if (playing) ppq += block * tempo / 60.0 / rate;
      samples -= block;
    }
  }
};

}  // namespace

TEST(TempoClocks, NoteLengthsFollowTheTempo) {
  TempoClocks clocks;
  TimeInfo info;
  info.tempo = 120.0004;  // rounded to three decimals
  clocks.UpdateTempo(info, 44100.0);
  EXPECT_DOUBLE_EQ(clocks.Tempo(), 120.0);
  EXPECT_EQ(clocks.RoundedLength(9), 22050);   // "1/4"
  EXPECT_EQ(clocks.RoundedLength(0), 352800);  // "4/1"
  EXPECT_EQ(clocks.RoundedLength(8), 29400);   // "1/2T"
  EXPECT_EQ(clocks.RoundedLength(19), 1378);   // "1/64": 1378.125
  info.tempo = 0.0;  // a host that gives no tempo
  clocks.UpdateTempo(info, 48000.0);
  EXPECT_EQ(clocks.RoundedLength(9), 24000);
  info.tempo = std::nan("");
  clocks.UpdateTempo(info, 48000.0);
  EXPECT_EQ(clocks.Tempo(), 120.0);
}

TEST(TempoClocks, SyncedGeneratorFollowsTheHostBeat) {
  for (double startPpq : {0.0, 0.5, 3.25}) {
    HostLoop host;
    host.ppq = startPpq;
    ModulationGenerator mg;
    mg.SetWaveform(ModulationGenerator::kSawUp);
    mg.SetSyncRate(9);  // "1/4"
    mg.SetSynced(true);
    double previous = -2.0;
    std::vector<long> restarts;
    host.Run(44100 * 4, [&](long sample) {
      mg.Tick(&host.clocks, 44);
      if (mg.Output() < previous - 0.5) restarts.push_back(sample);
      previous = mg.Output();
    });
    EXPECT_EQ(mg.Period(), 22050 * 88);
    ASSERT_GE(restarts.size(), 7u) << startPpq;
    // The transport start restarts the clocks; from then on each cycle starts within one control
    // tick after a beat of the host's timeline.
    EXPECT_EQ(restarts[0], 44);
    for (std::size_t i = 1; i < restarts.size(); ++i) {
      const double beats = startPpq + restarts[i] / 22050.0;
      const double sinceBeat = (beats - std::floor(beats)) * 22050.0;
      EXPECT_LT(sinceBeat, 45.0) << startPpq << " restart " << i << " at " << restarts[i];
    }
  }
}

TEST(TempoClocks, HostJumpBackRestartsTheClocksAndStopFreeRuns) {
  HostLoop host;
  host.ppq = 7.3;
  host.Run(10000, [](long) {});
  host.ppq = 1.0;  // a loop back
  TimeInfo info;
  info.tempo = 120.0;
  info.transportPlaying = true;
  info.ppqPosition = 1.0;
  info.samplePosition = 22050.0;
  host.clocks.UpdateTempo(info, 44100.0);
  EXPECT_EQ(host.clocks.SongPosition(), 0.0);
  for (int j = 0; j < TempoClocks::kNoteValueCount; ++j) {
    EXPECT_EQ(host.clocks.Countdown(j), host.clocks.RoundedLength(j));
  }
  // Stopped, the song position keeps counting from where it was.
  host.playing = false;
  host.ppq = 1.0;
  const double before = host.clocks.SongPosition();
  host.Run(1000, [](long) {});
  EXPECT_EQ(host.clocks.SongPosition(), before + 1000.0);
}

TEST(TempoClocks, HostWithoutBeatPositionCountsFromItsSamplePosition) {
  TempoClocks clocks;
  TimeInfo info;
  info.transportPlaying = true;
  info.samplePosition = 5000.0;  // no PPQ position
  clocks.UpdateTempo(info, 44100.0);
  EXPECT_EQ(clocks.SongPosition(), 0.0);  // the transport just started
  for (int i = 0; i < 512; ++i) clocks.Step();
  info.samplePosition = 5512.0;
  clocks.UpdateTempo(info, 44100.0);
  EXPECT_EQ(clocks.SongPosition(), 5512.0);
  // With neither position the timeline runs on by itself.
  info.samplePosition = -1.0;
  for (int i = 0; i < 100; ++i) clocks.Step();
  clocks.UpdateTempo(info, 44100.0);
  EXPECT_EQ(clocks.SongPosition(), 5612.0);
}

TEST(ModulationGenerator, LeavingSyncRestoresTheFreePeriodAtTheSamePhase) {
  HostLoop host;
  ModulationGenerator mg;
  mg.SetWaveform(ModulationGenerator::kSawUp);
  mg.SetPeriod(500);
  mg.SetSynced(true);
  mg.SetPeriod(400);  // stored for later while synced
  EXPECT_EQ(mg.FreePeriod(), 400);
  host.Run(30000, [&](long) { mg.Tick(&host.clocks, 44); });
  const double output = mg.Output();
  mg.SetSynced(false);
  EXPECT_EQ(mg.Period(), 400);
  mg.Tick(nullptr, 44);
  EXPECT_NEAR(mg.Output(), output, 0.02);
}
