// The render host's program, bank, wave-table and tuning handling, run on the built plug-in.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FxFiles.h"
#include "HostedPlugin.h"
#include "Previews.h"
#include "ProgramStateBuilder.h"
#include "support/TestPaths.h"

namespace {

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PresetTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(plug.Load(PluginPath(), &error)) << error;
    plug.Open(44100.0, 256);
  }
  std::string Path(const std::string& name) const { return TestHomeFolder() + "/" + name; }
  HostedPlugin plug;
};

}  // namespace

TEST_F(PresetTool, ProgramAndBankFilesRoundTripThroughThePlugin) {
  plug.SetProgram(6);
  std::string error;
  ASSERT_TRUE(FxFiles::SaveProgram(plug, Path("x-mode.fxp"), &error)) << error;
  ASSERT_TRUE(FxFiles::SaveBank(plug, Path("bank.fxb"), &error)) << error;
  const std::vector<unsigned char> fxp = FileBytes(Path("x-mode.fxp"));
  ASSERT_GT(fxp.size(), 60u);
  EXPECT_EQ(std::string(fxp.begin(), fxp.begin() + 4), "CcnK");
  EXPECT_EQ(std::string(fxp.begin() + 8, fxp.begin() + 12), "FPCh");
  EXPECT_EQ(std::string(fxp.begin() + 28, fxp.begin() + 39), "ARP: X-Mode");

  HostedPlugin other;
  ASSERT_TRUE(other.Load(PluginPath(), &error)) << error;
  other.Open(44100.0, 256);
  other.SetProgram(2);
  ASSERT_TRUE(FxFiles::LoadProgram(other, Path("x-mode.fxp"), &error)) << error;
  EXPECT_EQ(other.ProgramName(2), "ARP: X-Mode");
  EXPECT_EQ(other.ParamDisplay(6), "On");
  ASSERT_TRUE(FxFiles::SaveProgram(other, Path("again.fxp"), &error)) << error;
  // The state names the writer's current program (6 and 2): four bytes differ, nothing else.
  const std::vector<unsigned char> again = FileBytes(Path("again.fxp"));
  ASSERT_EQ(again.size(), fxp.size());
  int differing = 0;
  for (std::size_t i = 0; i < fxp.size(); ++i) differing += fxp[i] != again[i];
  EXPECT_LE(differing, 1);

  ASSERT_TRUE(FxFiles::LoadBank(other, Path("bank.fxb"), &error)) << error;
  EXPECT_EQ(other.ProgramName(2), "KEY: Pianet");
  EXPECT_FALSE(FxFiles::LoadBank(other, Path("x-mode.fxp"), &error));
  EXPECT_FALSE(FxFiles::LoadProgram(other, Path("bank.fxb"), &error));
  EXPECT_FALSE(FxFiles::LoadProgram(other, Path("missing.fxp"), &error));
}

TEST_F(PresetTool, WaveTablesAndTuningsAreBuiltIntoTheProgram) {
  std::vector<unsigned char> chunk = plug.GetChunk(false);
  ProgramChanges changes;
  changes.waveTables.emplace_back(3, TestDataPath("waves/syx/WATER.SYX"));
  changes.tuningFile = TestDataPath("tuning/scl/pyth_12.scl");
  std::string error;
  std::vector<std::string> report;
  ASSERT_TRUE(ApplyProgramChanges(&chunk, changes, &error, &report)) << error;
  ASSERT_EQ(report.size(), 2u);
  ASSERT_TRUE(plug.SetChunk(chunk, false));
  EXPECT_EQ(plug.ParamDisplay(50), "65533");
  // The plug-in now hands out the same program it was given.
  EXPECT_EQ(plug.GetChunk(false), chunk);

  ProgramChanges bad;
  bad.temperament = "no such";
  EXPECT_FALSE(ApplyProgramChanges(&chunk, bad, &error, &report));
  bad.temperament = "14";
  EXPECT_FALSE(ApplyProgramChanges(&chunk, bad, &error, &report));
  ProgramChanges missing;
  missing.waveTables.emplace_back(1, Path("none.wav"));
  EXPECT_FALSE(ApplyProgramChanges(&chunk, missing, &error, &report));
  std::vector<unsigned char> junk = {1, 2, 3};
  ProgramChanges just;
  just.temperament = "just";
  EXPECT_FALSE(ApplyProgramChanges(&junk, just, &error, &report));
  EXPECT_EQ(TemperamentNames().size(), 14u);
}

TEST(Previews, PhrasesFollowTheCategory) {
  EXPECT_NE(Previews::PhraseFor("PAD: Texture").find('+'), std::string::npos);   // chords
  EXPECT_EQ(Previews::PhraseFor("BASS: Saw 1").find('+'), std::string::npos);    // single notes
  EXPECT_EQ(Previews::PhraseFor("LEAD: Wah-Wah").find('+'), std::string::npos);
  EXPECT_NE(Previews::PhraseFor("KEY: Ting").find("@50"), std::string::npos);    // velocities
  EXPECT_EQ(Previews::PhraseFor("DRUM: Kick4 (C2)").rfind("C2", 0), 0u);
  EXPECT_EQ(Previews::FileNameFor(35, "SFX: Blubber (use MW!)"), "35 SFX Blubber (use MW!).wav");
  EXPECT_EQ(Previews::FileNameFor(3, "a/b"), "03 a_b.wav");
  MidiSequence plain;
  MidiSequence wheel;
  std::string error;
  ASSERT_TRUE(Previews::SequenceFor("SFX: Glitter", 120, &plain, &error));
  ASSERT_TRUE(Previews::SequenceFor("SFX: Blubber (use MW!)", 120, &wheel, &error));
  int controllers = 0;
  for (const SequenceEvent& e : wheel.events) controllers += (e.status & 0xF0) == 0xB0 && e.data1 == 1;
  EXPECT_GT(controllers, 10);
  EXPECT_EQ(wheel.events.size(), plain.events.size() + static_cast<std::size_t>(controllers));
  for (std::size_t i = 1; i < wheel.events.size(); ++i) ASSERT_LE(wheel.events[i - 1].tick, wheel.events[i].tick);
}
