#include "engine/Tarvolin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EngineHarness.h"
#include "engine/ParameterTable.h"
#include "support/TestPaths.h"
#include "wavetable/BandLimiter.h"
#include "wavetable/WaveTableWorker.h"

TEST(Tarvolin, IdentityOfTheInstrument) {
  const PluginInfo& info = Tarvolin::Identity();
  EXPECT_STREQ(info.effectName, "Tarvolin");
  EXPECT_STREQ(info.vendorName, "Stonemoor Music");
  EXPECT_STREQ(info.productName, "");
  EXPECT_EQ(info.uniqueId, 0x74766C6E);
  EXPECT_EQ(info.manufacturerId, 0x53744D6F);
  EXPECT_EQ(info.version, 0x10105);
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.DecimalVersion(), 10105);
  EXPECT_EQ(plug.NParams(), 153);
  EXPECT_EQ(plug.NPrograms(), 64);
  EXPECT_EQ(plug.NInChannels(), 0);
  EXPECT_EQ(plug.NOutChannels(), 2);
  EXPECT_FALSE(plug.Constructing());
#if TARVOLIN_WITH_EDITOR
  EXPECT_EQ(plug.GetAEffect()->flags, 0x1131);  // with the editor
#else
  EXPECT_EQ(plug.GetAEffect()->flags, 0x1130);
#endif
}

TEST(Tarvolin, ConstructionLoadsTheFactoryBankAndRecallsTheFirstProgram) {
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_EQ(plug.ProgramName(0), "PAD: Texture");
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(plug.GetProgram(i)->initialised) << i;
  // The live state is program 0's, and so are the tables playing from the first block on.
  EXPECT_TRUE(plug.CompareProgramState(plug.GetProgram(0)->state, 0));
  EXPECT_FALSE(plug.WaveTables().Pending());
  for (int o = 0; o < 3; ++o) {
    const int index = o == 0 ? param::kWaveTable1 : (o == 1 ? param::kWaveTable2 : param::kWaveTable3);
    EXPECT_EQ(plug.WaveTables().Table(o).Identifier(), static_cast<int>(plug.GetParam(index)->Value())) << o;
    EXPECT_NE(plug.WaveTables().Table(o).Level(0), nullptr) << o;
  }
}

// A live host hears a table chosen before it was built once the worker has built it: until then the
// oscillator plays the table it had, and the audio thread builds nothing. An offline host hears it
// at once.
TEST(Tarvolin, AChosenTableIsHeardOnceItIsBuilt) {
  using engine_test::Harness;
  // A program playing a 64-wave user table on oscillator 1 alone.
  ChunkBuffer state;
  {
    Harness source(48000.0, 64);
    ASSERT_TRUE(source.plug->LoadUserWaveTable(0, TestDataPath("waves/syx/JUNO.SYX")));
    source.plug->SelectWaveTable(0, 65531);
    source.Set(param::kOsc2On, 0);
    source.Set(param::kOsc3On, 0);
    source.Set(param::kWaveShape1, 0.7);
    source.plug->SerializeProgramState(state);
  }
  Harness offline(48000.0, 64);
  Harness live(48000.0, 64);
  live.transport.offline = false;
  const auto use = [](Harness& h) -> Harness& {
    engine_test::CurrentTransport() = &h.transport;
    return h;
  };
  use(live).plug->SelectWaveTable(0, 4);  // a sine, built at once

  WaveTableWorker::Pause(true);
  for (Harness* h : {&offline, &live}) {
    ASSERT_EQ(use(*h).plug->UnserializeProgramState(state, 0), state.Size());
    h->NoteOn(0, 57);
  }
  const std::int64_t builds = BandLimiter::BuildsOnThisThread();
  const engine_test::Stereo before = use(live).Render(256);
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), builds);
  EXPECT_TRUE(live.plug->WaveTables().Pending());
  EXPECT_EQ(live.plug->WaveTables().Table(0).Identifier(), 4);
  const engine_test::Stereo meant = use(offline).Render(256);
  EXPECT_FALSE(offline.plug->WaveTables().Pending());
  // The sine played on meanwhile, not the table meant.
  std::vector<double> difference(before.size());
  for (std::size_t i = 0; i < before.size(); ++i) difference[i] = before.left[i] - meant.left[i];
  EXPECT_GT(engine_test::Peak(before.left), 0.01);
  EXPECT_GT(engine_test::Rms(difference), 0.3 * engine_test::Rms(meant.left));

  WaveTableWorker::Pause(false);
  WaveTableWorker::WaitUntilIdle();
  const std::int64_t buildsAfter = BandLimiter::BuildsOnThisThread();
  const engine_test::Stereo after = use(live).Render(2048);
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), buildsAfter);
  EXPECT_FALSE(live.plug->WaveTables().Pending());
  EXPECT_EQ(live.plug->WaveTables().Table(0).Identifier(), -1);
  // Both instances read the state into contents of their own; equal samples share one table.
  EXPECT_EQ(live.plug->WaveTables().Table(0).Levels(), offline.plug->WaveTables().Table(0).Levels());
  const engine_test::Stereo reference = use(offline).Render(2048);
  // From the first tick after the build the same table sounds (the voice filter's memory of the
  // sine fades within a few samples).
  double worst = 0.0;
  for (std::size_t i = 512; i < after.size(); ++i) worst = std::max(worst, std::fabs(after.left[i] - reference.left[i]));
  EXPECT_LT(worst, 1e-6);
}

TEST(Tarvolin, RendersSilenceIntoBothOutputs) {
  Tarvolin plug(nullptr);
  std::vector<double> left(300, 1.0), right(300, 1.0);
  double* outs[2] = {left.data(), right.data()};
  plug.RenderBlock(nullptr, outs, 300);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(left[i] + right[i], 0.0);
}
