#include <gtest/gtest.h>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

namespace {

int g_automations = 0;

VstIntPtr CountAutomation(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate) ++g_automations;
  return 0;
}

class ControllerMap : public ::testing::Test {
 protected:
  void SetUp() override { g_automations = 0; }
  Tarvolin plug{&CountAutomation};

  static MidiMessage Controller(int k, int value) {
    return MidiMessage{0, 0xB3, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(value)};
  }
  int Mapped(int k) const { return plug.ControllerMap()[static_cast<std::size_t>(k)]; }
};

}  // namespace

TEST_F(ControllerMap, LearnBindsParameterAndControllerInEitherOrderAndUnbindsOthers) {
  plug.SetControllerMapping(10, param::kFilterCutoff);
  plug.ArmLearn(1, false);
  plug.OnParameterChanged(param::kFilterCutoff);
  EXPECT_TRUE(plug.LearnArmed());  // waits for the controller
  plug.CaptureLearnController(74);
  EXPECT_EQ(Mapped(74), param::kFilterCutoff);
  EXPECT_EQ(Mapped(10), -1);  // one controller per learned parameter
  EXPECT_FALSE(plug.LearnArmed());

  plug.ArmLearn(1, false);
  plug.CaptureLearnController(20);
  EXPECT_EQ(Mapped(20), -1);
  plug.OnParameterChanged(5);
  EXPECT_EQ(Mapped(20), 5);
  EXPECT_FALSE(plug.LearnArmed());
}

TEST_F(ControllerMap, UnlearnByParameterOrByController) {
  plug.SetControllerMapping(3, 5);
  plug.SetControllerMapping(4, 5);
  plug.SetControllerMapping(7, 9);
  plug.ArmLearn(1, true);
  plug.OnParameterChanged(5);
  EXPECT_EQ(Mapped(3), -1);
  EXPECT_EQ(Mapped(4), -1);
  EXPECT_EQ(Mapped(7), 9);
  EXPECT_FALSE(plug.LearnArmed());
  EXPECT_FALSE(plug.UnlearnMode());

  plug.ArmLearn(1, true);
  plug.CaptureLearnController(7);
  EXPECT_EQ(Mapped(7), -1);
  EXPECT_FALSE(plug.LearnArmed());
}

TEST_F(ControllerMap, SwitchingOffOrResetDisarms) {
  plug.ArmLearn(1, false);
  plug.ArmLearn(0, false);
  EXPECT_FALSE(plug.LearnArmed());
  plug.OnParameterChanged(5);
  plug.CaptureLearnController(20);
  EXPECT_EQ(Mapped(20), -1);

  plug.ArmLearn(1, false);
  plug.OnReset();
  EXPECT_FALSE(plug.LearnArmed());
}

TEST_F(ControllerMap, MappedControllerSetsParameterOnceAndReportsAutomation) {
  plug.SetControllerMapping(7, param::kVolume);
  plug.ApplyController(Controller(7, 127));
  EXPECT_DOUBLE_EQ(plug.GetParam(param::kVolume)->Value(), 1.0);
  EXPECT_EQ(g_automations, 1);
  plug.ApplyController(Controller(7, 127));  // already there: nothing happens
  EXPECT_EQ(g_automations, 1);
  plug.ApplyController(Controller(7, 0));
  EXPECT_DOUBLE_EQ(plug.GetParam(param::kVolume)->Value(), 0.0);
}

TEST_F(ControllerMap, EntriesNamingNoParameterActAsUnmapped) {
  plug.SetControllerMapping(7, 200);
  plug.SetControllerMapping(8, -1);
  const double before = plug.GetParam(param::kVolume)->Value();
  plug.ApplyController(Controller(7, 127));
  plug.ApplyController(Controller(8, 127));
  plug.ApplyController(Controller(127, 127));  // beyond the map
  EXPECT_EQ(g_automations, 0);
  EXPECT_DOUBLE_EQ(plug.GetParam(param::kVolume)->Value(), before);
}

TEST_F(ControllerMap, ParametersWhoseRangeIsNotZeroToOneFollowTheControllerToo) {
  // Master Tune at its centre (plain 0, normalised 0.5): controller value 0 must still move it.
  plug.GetParam(param::kMasterTune)->SetPlainClamped(0.0);
  plug.SetControllerMapping(21, param::kMasterTune);
  plug.ApplyController(Controller(21, 0));
  EXPECT_DOUBLE_EQ(plug.GetParam(param::kMasterTune)->Value(), -1.0);
  EXPECT_EQ(g_automations, 1);
  plug.ApplyController(Controller(21, 0));
  EXPECT_EQ(g_automations, 1);
}

namespace {

struct CountingSwitch : ILearnControl {
  void SwitchOff() override { ++offs; }
  int offs = 0;
};

}  // namespace

TEST_F(ControllerMap, TheLearnSwitchTurnsOffOnlyWhenLearningEnds) {
  CountingSwitch learnSwitch;
  plug.SetLearnControl(&learnSwitch);
  EXPECT_EQ(plug.LearnControl(), &learnSwitch);
  plug.ArmLearn(1, false);
  plug.CaptureLearnController(30);
  EXPECT_EQ(learnSwitch.offs, 0);  // still waiting for the parameter
  plug.OnParameterChanged(param::kFilterResonance);
  EXPECT_EQ(learnSwitch.offs, 1);
  EXPECT_EQ(Mapped(30), param::kFilterResonance);
  plug.ArmLearn(1, true);
  plug.CaptureLearnController(30);
  EXPECT_EQ(learnSwitch.offs, 2);
  EXPECT_EQ(Mapped(30), -1);
  plug.SetLearnControl(nullptr);
  plug.ArmLearn(1, false);
  plug.CaptureLearnController(31);
  plug.OnParameterChanged(3);  // no switch: nothing to turn off, the binding is still made
  EXPECT_EQ(Mapped(31), 3);
}

TEST_F(ControllerMap, LoadingAProgramWhileArmedCapturesItsLastParameter) {
  plug.ArmLearn(1, false);
  ASSERT_TRUE(plug.RecallProgram(5));
  plug.CaptureLearnController(40);
  EXPECT_EQ(Mapped(40), 152);
}
