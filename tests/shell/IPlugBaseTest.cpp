#include "shell/IPlugBase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small plug-in: four parameters, eight programs, stereo in and out, recording what it is asked.
class TestPlug : public IPlugBase {
 public:
  static PluginInfo MakeInfo(const char* io = "2-2") {
    PluginInfo info;
    info.effectName = "Test";
    info.channelIO = io;
    info.parameterCount = 4;
    info.programCount = 8;
    return info;
  }
  explicit TestPlug(const char* io = "2-2") : IPlugBase(MakeInfo(io)) {
    for (int i = 0; i < NParams(); ++i) GetParam(i)->InitDouble("P", 0.5, 0, 1, 0.01, 1);
  }
  void OnParameterChanged(int index) override { changed.push_back(index); }
  void RenderBlock(double** inputs, double** outputs, int frames) override {
    pieces.push_back(frames);
    for (int c = 0; c < NOutChannels(); ++c) {
      for (int j = 0; j < frames; ++j) outputs[c][j] = (inputs[c] != nullptr ? inputs[c][j] : 0.0) + c + 1;
    }
  }
  std::vector<int> changed;
  std::vector<int> pieces;
};

ChunkBuffer Bytes(const std::vector<double>& values) {
  ChunkBuffer c;
  for (double v : values) c.Put(v);
  return c;
}

}  // namespace

TEST(IPlugBase, ChannelDescriptionAndLegalIO) {
  PluginInfo info = TestPlug::MakeInfo("1-1 2-2 0-6");
  IPlugBase plug(info);
  EXPECT_EQ(plug.NInChannels(), 2);
  EXPECT_EQ(plug.NOutChannels(), 6);
  EXPECT_TRUE(plug.LegalIO(1, -1));
  EXPECT_TRUE(plug.LegalIO(-1, 6));
  EXPECT_FALSE(plug.LegalIO(3, -1));
  IPlugBase synth(TestPlug::MakeInfo("0-2"));
  EXPECT_FALSE(synth.LegalIO(1, -1));
  EXPECT_EQ(synth.NInChannels(), 0);
  EXPECT_EQ(synth.NOutChannels(), 2);
  IPlugBase odd(TestPlug::MakeInfo("junk 3- -4 x-y"));
  EXPECT_EQ(odd.NOutChannels(), 0);
}

TEST(IPlugBase, FloatEntriesRenderInPiecesOfAtMostOneBlock) {
  TestPlug plug;
  plug.ChangeBlockSize(100);
  std::vector<float> inL(250, 0.5f), inR(250, 0.25f), outL(250, 9.0f), outR(250, 9.0f);
  float* ins[2] = {inL.data(), inR.data()};
  float* outs[2] = {outL.data(), outR.data()};
  plug.ProcessBuffersFloat(ins, outs, 250, false);
  EXPECT_EQ(plug.pieces, (std::vector<int>{100, 100, 50}));
  for (int j = 0; j < 250; ++j) {
    ASSERT_EQ(outL[j], 1.5f);
    ASSERT_EQ(outR[j], 2.25f);
  }
  plug.ProcessBuffersFloat(ins, outs, 10, true);  // the accumulating entry adds
  EXPECT_EQ(outL[0], 3.0f);
  EXPECT_EQ(outL[10], 1.5f);
}

TEST(IPlugBase, DoubleEntryRendersStraightIntoTheHostBuffers) {
  TestPlug plug;
  plug.ChangeBlockSize(64);
  std::vector<double> inL(130, 1.0), inR(130, 2.0), outL(130), outR(130);
  double* ins[2] = {inL.data(), inR.data()};
  double* outs[2] = {outL.data(), outR.data()};
  plug.ProcessBuffersDouble(ins, outs, 130);
  EXPECT_EQ(plug.pieces, (std::vector<int>{64, 64, 2}));
  EXPECT_EQ(outL[129], 2.0);
  EXPECT_EQ(outR[129], 4.0);
}

TEST(IPlugBase, DisconnectedChannelsTakeNoHostBuffer) {
  TestPlug plug;
  plug.SetInputChannelConnections(0, 1, false);
  plug.SetOutputChannelConnections(0, 1, false);
  std::vector<float> in(16, 0.5f), out0(16, 9.0f), out1(16, 9.0f);
  float* ins[2] = {in.data(), nullptr};
  float* outs[2] = {out0.data(), out1.data()};
  plug.ProcessBuffersFloat(ins, outs, 16, false);
  // Input channel 1 takes the first host input; output channel 1 writes the first host output.
  EXPECT_EQ(out0[0], 2.5f);
  // The host buffer no channel uses is cleared rather than left as it was.
  EXPECT_EQ(out1[0], 0.0f);
}

TEST(IPlugBase, BlockSizeAndSampleRateRefuseBadValues) {
  TestPlug plug;
  EXPECT_EQ(plug.BlockSize(), 1024);
  EXPECT_EQ(plug.SampleRate(), 44100.0);
  for (int bad : {0, -1, IPlugBase::kMaxBlockSize + 1}) plug.ChangeBlockSize(bad);
  EXPECT_EQ(plug.BlockSize(), 1024);
  for (double bad : {0.0, -48000.0, double(NAN), 1e9, 999.0}) plug.ChangeSampleRate(bad);
  EXPECT_EQ(plug.SampleRate(), 44100.0);
  plug.ChangeSampleRate(96000.0);
  EXPECT_EQ(plug.SampleRate(), 96000.0);
}

TEST(IPlugBase, VersionHeader) {
  ChunkBuffer c;
  IPlugBase::WriteVersionHeader(c);
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(std::memcmp(c.Data(), "tffp\0\0\1\0", 8), 0);
  std::int32_t version = -1;
  EXPECT_EQ(IPlugBase::ReadVersionHeader(c, 0, &version), 8);
  EXPECT_EQ(version, 0x10000);

  ChunkBuffer magicOnly;
  magicOnly.Put<std::int32_t>(IPlugBase::kVersionMagic);
  EXPECT_EQ(IPlugBase::ReadVersionHeader(magicOnly, 0, &version), -1);
  EXPECT_EQ(version, 0);

  ChunkBuffer other = Bytes({1.0});
  EXPECT_EQ(IPlugBase::ReadVersionHeader(other, 0, &version), 0);
  EXPECT_EQ(version, 0);
  EXPECT_EQ(IPlugBase::ReadVersionHeader(other, 5, &version), 5);
}

TEST(IPlugBase, ParamsStateRoundTripAndShortStates) {
  TestPlug plug;
  ChunkBuffer state;
  plug.GetParam(1)->SetPlainClamped(0.25);
  ASSERT_TRUE(plug.SerializeParams(state));
  EXPECT_EQ(state.Size(), 4 * 8);
  plug.GetParam(1)->SetPlainClamped(0.75);
  plug.changed.clear();
  EXPECT_EQ(plug.UnserializeParams(state, 0), 32);
  EXPECT_EQ(plug.GetParam(1)->Value(), 0.25);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1, 2, 3}));

  // Values are clamped; the first missing one reads as 0 and reading stops there.
  ChunkBuffer shortState = Bytes({7.0, -3.0});
  plug.GetParam(3)->SetPlainClamped(0.9);
  EXPECT_EQ(plug.UnserializeParams(shortState, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(3)->Value(), 0.9);
  // Reading at a failed position changes no value.
  plug.GetParam(0)->SetPlainClamped(0.3);
  EXPECT_EQ(plug.UnserializeParams(state, -1), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.3);
}

TEST(IPlugBase, RecallOfAnEmptySlotNamesItAfterTheUserPresets) {
  TestPlug plug;
  plug.GetProgram(1)->name = "user preset 1";
  plug.GetProgram(2)->name = "my user preset";
  plug.GetParam(0)->SetPlainClamped(0.125);
  ASSERT_TRUE(plug.RecallProgram(5));
  EXPECT_EQ(plug.ProgramName(5), "user preset 3");
  EXPECT_TRUE(plug.GetProgram(5)->initialised);
  EXPECT_EQ(plug.CurrentProgram(), 5);
  plug.GetParam(0)->SetPlainClamped(0.5);
  ASSERT_TRUE(plug.RecallProgram(5));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.125);  // the slot took the sound that was playing
  EXPECT_FALSE(plug.RecallProgram(8));
  EXPECT_FALSE(plug.RecallProgram(-1));
  EXPECT_EQ(plug.CurrentProgram(), 5);
  EXPECT_EQ(plug.ProgramName(8), "");
}

TEST(IPlugBase, FailedRecallKeepsTheCurrentProgram) {
  TestPlug plug;
  ProgramSlot* slot = plug.GetProgram(3);
  slot->initialised = true;
  slot->state = Bytes({0.1});  // too short: fails after applying what it has
  EXPECT_FALSE(plug.RecallProgram(3));
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.1);
}

TEST(IPlugBase, ModifyAndFillPrograms) {
  TestPlug plug;
  EXPECT_EQ(plug.ProgramName(0), "empty");
  plug.GetParam(2)->SetPlainClamped(0.2);
  plug.ModifyCurrentPreset(nullptr);
  EXPECT_FALSE(plug.GetProgram(0)->initialised);  // storing does not mark the slot
  EXPECT_EQ(plug.GetProgram(0)->state.Size(), 32);
  EXPECT_EQ(plug.ProgramName(0), "empty");
  plug.ModifyCurrentPreset("");
  EXPECT_EQ(plug.ProgramName(0), "empty");
  plug.ModifyCurrentPreset(std::string(400, 'q').c_str());
  EXPECT_EQ(plug.ProgramName(0), std::string(255, 'q'));

  plug.GetProgram(4)->initialised = true;
  plug.FillEmptyPrograms("Empty", 3);
  EXPECT_EQ(plug.ProgramName(0), "Empty");
  EXPECT_EQ(plug.ProgramName(1), "Empty");
  EXPECT_EQ(plug.ProgramName(2), "Empty");
  EXPECT_EQ(plug.ProgramName(3), std::string("empty"));
  plug.FillEmptyPrograms("Empty", 64);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(plug.GetProgram(i)->initialised);
}

TEST(IPlugBase, PresetsRoundTrip) {
  TestPlug plug;
  for (int p = 0; p < 8; ++p) {
    plug.GetParam(0)->SetPlainClamped(p / 10.0);
    plug.RecallProgram(p);
    plug.GetParam(0)->SetPlainClamped(p / 10.0);
    plug.ModifyCurrentPreset(("Program " + std::to_string(p)).c_str());
  }
  plug.RecallProgram(2);
  ChunkBuffer bank;
  ASSERT_TRUE(plug.SerializePresets(bank));
  EXPECT_EQ(bank.Size(), 8 * (4 + 9 + 1 + 32));

  TestPlug other;
  EXPECT_EQ(other.UnserializePresets(bank, 0), bank.Size());
  EXPECT_EQ(other.ProgramName(7), "Program 7");
  EXPECT_EQ(other.CurrentProgram(), 0);
  EXPECT_EQ(other.GetParam(0)->Value(), 0.0);  // its current program was recalled
  other.RecallProgram(6);
  EXPECT_DOUBLE_EQ(other.GetParam(0)->Value(), 0.6);
}

TEST(IPlugBase, PresetsStopAtTheFirstBrokenSlot) {
  TestPlug plug;
  ChunkBuffer bank;
  bank.PutStr("First");
  bank.Put<std::uint8_t>(1);
  for (int i = 0; i < 4; ++i) bank.Put(0.25);
  bank.PutStr("Second");  // no flag follows
  EXPECT_EQ(plug.UnserializePresets(bank, 0), -1);
  EXPECT_EQ(plug.ProgramName(0), "First");
  EXPECT_TRUE(plug.GetProgram(0)->initialised);
  EXPECT_EQ(plug.ProgramName(1), "Second");
  EXPECT_FALSE(plug.GetProgram(1)->initialised);
  EXPECT_EQ(plug.ProgramName(2), "empty");
}

TEST(IPlugBase, CompareProgramState) {
  TestPlug plug;
  ChunkBuffer state;
  plug.SerializeProgramState(state);
  EXPECT_TRUE(plug.CompareProgramState(state, 0));
  plug.GetParam(3)->SetPlainClamped(0.0);
  EXPECT_FALSE(plug.CompareProgramState(state, 0));
  EXPECT_FALSE(plug.CompareProgramState(state, 8));
}

TEST(IPlugBase, HostParameterEntries) {
  TestPlug plug;
  plug.SetParameterFromHost(1, 0.3);
  EXPECT_DOUBLE_EQ(plug.GetParameterNormalised(1), 0.3);
  EXPECT_EQ(plug.changed.back(), 1);
  plug.changed.clear();
  plug.SetParameterFromHost(4, 0.3);
  plug.SetParameterFromHost(-1, 0.3);
  plug.SetParameterFromHost(2, NAN);
  EXPECT_TRUE(plug.changed.empty());
  EXPECT_EQ(plug.GetParameterNormalised(4), 0.0);
  EXPECT_TRUE(plug.SetParameterFromText(2, "0.37"));
  EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 0.37);
  EXPECT_FALSE(plug.SetParameterFromText(9, "1"));
  EXPECT_TRUE(plug.SetParameterFromText(2, nullptr));
}
