#include "engine/Tarvolin.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/ParameterTable.h"

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
  EXPECT_EQ(plug.GetAEffect()->flags, 0x1130);
}

TEST(Tarvolin, ConstructionLoadsTheFactoryBankAndRecallsTheFirstProgram) {
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_EQ(plug.ProgramName(0), "PAD: Texture");
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(plug.GetProgram(i)->initialised) << i;
  // The live state is program 0's.
  EXPECT_TRUE(plug.CompareProgramState(plug.GetProgram(0)->state, 0));
}

TEST(Tarvolin, RendersSilenceIntoBothOutputs) {
  Tarvolin plug(nullptr);
  std::vector<double> left(300, 1.0), right(300, 1.0);
  double* outs[2] = {left.data(), right.data()};
  plug.RenderBlock(nullptr, outs, 300);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(left[i] + right[i], 0.0);
}
