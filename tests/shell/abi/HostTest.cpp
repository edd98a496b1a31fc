// What the plug-in asks of its host, and how often.
#include <gtest/gtest.h>

#include <vector>

#include "ScriptedHost.h"

TEST(HostQueries, ProductAndVersionAreAskedOnceAtOpen) {
  ScriptedHost host;
  host.product = "REAPER";
  PluginInstance plug(host);
  EXPECT_EQ(host.productQueries.load(), 1);
  EXPECT_EQ(host.versionQueries.load(), 1);
  plug.Dispatch(effOpen);
  plug.Dispatch(effMainsChanged, 0, 0);
  plug.Dispatch(effMainsChanged, 0, 1);
  EXPECT_EQ(host.productQueries.load(), 1);
  EXPECT_EQ(host.versionQueries.load(), 1);
}

TEST(HostQueries, NoVersionQueryWithoutAProductName) {
  ScriptedHost host;
  host.product = "";
  PluginInstance plug(host);
  EXPECT_EQ(host.productQueries.load(), 1);
  EXPECT_EQ(host.versionQueries.load(), 0);
}

TEST(HostQueries, VendorIsAskedOnlyWhenChunksAreExchangedAndThenKept) {
  ScriptedHost host;
  PluginInstance plug(host);
  EXPECT_EQ(host.vendorQueries.load(), 0);
  plug.GetChunk(true);
  plug.GetChunk(false);
  plug.SetChunk(plug.GetChunk(false), false);
  EXPECT_EQ(host.vendorQueries.load(), 1);
}

TEST(HostQueries, EveryAudioCallAsksForMidiFirst) {
  ScriptedHost host;
  PluginInstance plug(host);
  std::vector<float> l(64), r(64);
  float* outs[2] = {l.data(), r.data()};
  std::vector<double> dl(64), dr(64);
  double* douts[2] = {dl.data(), dr.data()};
  const int before = host.wantMidi.load();
  plug.effect()->processReplacing(plug.effect(), nullptr, outs, 64);
  plug.effect()->process(plug.effect(), nullptr, outs, 64);
  plug.effect()->processDoubleReplacing(plug.effect(), nullptr, douts, 64);
  EXPECT_EQ(host.wantMidi.load(), before + 3);
}

TEST(HostQueries, HostsThatAnswerNothingAreFine) {
  // A host that answers 0 to everything, including the time and vendor queries.
  ScriptedHost host;
  host.vendor = "";
  host.product = "";
  host.answerTime = false;
  PluginInstance plug(host);
  EXPECT_GT(plug.GetChunk(true).size(), 0u);
  std::vector<float> l(64), r(64);
  float* outs[2] = {l.data(), r.data()};
  plug.effect()->processReplacing(plug.effect(), nullptr, outs, 64);
  EXPECT_EQ(l[0], 0.0f);
}
