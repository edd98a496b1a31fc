#include "synth/Synth.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/IPlugEditor.h"

namespace {

struct Calls {
  std::vector<int> automated;
  int updateDisplays = 0;
};
Calls* g_calls = nullptr;

VstIntPtr Recorder(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr, void*, float) {
  if (g_calls == nullptr) return 0;
  if (opcode == audioMasterAutomate) g_calls->automated.push_back(index);
  if (opcode == audioMasterUpdateDisplay) ++g_calls->updateDisplays;
  return 0;
}

// Counts parameter-change passes on top of the real instrument.
class CountingTarvolin : public Tarvolin {
 public:
  CountingTarvolin() : Tarvolin(&Recorder) {}
  void OnParameterChanged(int index) override {
    ++changes;
    Tarvolin::OnParameterChanged(index);
  }
  int changes = 0;
};

class SynthLayer : public ::testing::Test {
 protected:
  void SetUp() override { g_calls = &calls; }
  void TearDown() override { g_calls = nullptr; }
  Calls calls;
  CountingTarvolin plug;
};

}  // namespace

TEST_F(SynthLayer, ControlIntervalFollowsTheSampleRate) {
  EXPECT_EQ(plug.ControlInterval(), 44);
  plug.ChangeSampleRate(48000.0);
  plug.ControlCountdown() = 17;
  plug.OnReset();
  EXPECT_EQ(plug.ControlInterval(), 48);
  EXPECT_EQ(plug.ControlCountdown(), 0);
  plug.ChangeSampleRate(22050.9);
  plug.OnReset();
  EXPECT_EQ(plug.ControlInterval(), 22);
}

TEST_F(SynthLayer, InitialState) {
  EXPECT_FALSE(plug.MidiThru());
  EXPECT_FALSE(plug.IgnoreProgramChange());
  EXPECT_FALSE(plug.LearnArmed());
  for (int entry : plug.ControllerMap()) EXPECT_EQ(entry, -1);
#if TARVOLIN_WITH_EDITOR
  // The frame exists from construction on and is attached, at the window's size.
  ASSERT_NE(plug.GetEditor(), nullptr);
  EXPECT_EQ(plug.AttachedEditor(), plug.GetEditor());
  EXPECT_EQ(plug.GetEditor()->Width(), 1127);
  EXPECT_EQ(plug.GetEditor()->Height(), 776);
#else
  EXPECT_EQ(plug.GetEditor(), nullptr);
#endif
}

TEST_F(SynthLayer, ActivationDeliversEveryParameter) {
  plug.changes = 0;
  plug.OnActivation(false);
  EXPECT_EQ(plug.changes, 0);
  plug.OnActivation(true);
  EXPECT_EQ(plug.changes, param::kCount);
}

TEST_F(SynthLayer, CopyAndPasteProgram) {
  EXPECT_FALSE(plug.PasteProgram());  // empty clipboard: nothing happens
  plug.GetParam(param::kVolume)->SetPlainClamped(0.2);
  plug.ModifyCurrentPreset("Source");
  plug.CopyProgram();
  plug.SelectProgram(4);
  plug.GetParam(param::kVolume)->SetPlainClamped(0.9);
  calls.automated.clear();
  EXPECT_TRUE(plug.PasteProgram());
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 0.2);
  EXPECT_EQ(plug.ProgramName(4), "Source");
  EXPECT_EQ(static_cast<int>(calls.automated.size()), param::kCount);
}

TEST_F(SynthLayer, SelectProgramStoresTheOutgoingOneAndTellsTheHost) {
  plug.GetParam(param::kChorusDepth)->SetPlainClamped(0.77);
  plug.SelectProgram(2);
  EXPECT_EQ(plug.CurrentProgram(), 2);
  EXPECT_EQ(calls.updateDisplays, 1);
  EXPECT_EQ(static_cast<int>(calls.automated.size()), param::kCount);
  plug.SelectProgram(0);
  EXPECT_EQ(plug.GetParam(param::kChorusDepth)->Value(), 0.77);
}

TEST_F(SynthLayer, InitCurrentProgramRestoresDefaults) {
  plug.GetParam(param::kFilterCutoff)->SetPlainClamped(0.1);
  plug.GetParam(param::kMg1SyncRate)->SetPlainClamped(3);
  int differing = 0;
  for (int i = 0; i < param::kCount; ++i) {
    differing += plug.GetParam(i)->ChangedByNormalised(plug.GetParam(i)->NormalisedDefault()) ? 1 : 0;
  }
  ASSERT_GE(differing, 2);
  plug.InitCurrentProgram();
  EXPECT_DOUBLE_EQ(plug.GetParam(param::kFilterCutoff)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(param::kMg1SyncRate)->Value(), 9.0);
  EXPECT_NEAR(plug.GetParam(param::kChorusSpeed)->Value(), 0.3, 1e-12);
  EXPECT_EQ(plug.ProgramName(0), "Init");
  // Setting from the editor reports the parameters that change, the final report every one.
  EXPECT_EQ(static_cast<int>(calls.automated.size()), differing + param::kCount);
}
