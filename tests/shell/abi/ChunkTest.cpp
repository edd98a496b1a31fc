// Program and bank chunks as hosts save and restore them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ScriptedHost.h"

namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kTag = 14;
constexpr std::size_t kValues = 153 * 8;
constexpr std::size_t kTuning = 4 + 256 + 256;
// Tag, program index, name (count and bytes), values, tuning, three absent user slots, extension.
std::size_t StateSize(std::size_t nameLength) { return kTag + 4 + 4 + nameLength + kValues + kTuning + 4 + 8; }
// Where parameter i of a program chunk's state lies.
std::size_t ValueAt(std::size_t nameLength, int i) { return kHeader + kTag + 8 + nameLength + 8 * static_cast<std::size_t>(i); }

std::int32_t ReadInt(const std::vector<unsigned char>& bytes, std::size_t at) {
  std::int32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

double ReadDouble(const std::vector<unsigned char>& bytes, std::size_t at) {
  double v = 0;
  std::memcpy(&v, bytes.data() + at, 8);
  return v;
}

// Starts from the factory "Init" program, whose values are the parameter defaults.
class Chunks : public ::testing::Test {
 protected:
  void SetUp() override { plug.Dispatch(effSetProgram, 0, 63); }
  ScriptedHost host;
  PluginInstance plug{host};
};

}  // namespace

TEST_F(Chunks, ProgramChunkLayoutAndRoundTrip) {
  plug.Set(0, 0.2f);
  plug.Set(77, 1.0f);
  char name[] = "Warm Pad";
  plug.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<unsigned char> chunk = plug.GetChunk(false);
  ASSERT_EQ(chunk.size(), kHeader + StateSize(8) + 4 + 8);
  EXPECT_EQ(std::memcmp(chunk.data(), "tffp\x00\x00\x01\x00", 8), 0);
  EXPECT_EQ(std::memcmp(chunk.data() + kHeader, "Tarvolin_1.1.3", kTag), 0);
  EXPECT_EQ(ReadInt(chunk, kHeader + kTag), 63);  // the current program
  EXPECT_EQ(ReadInt(chunk, kHeader + kTag + 4), 8);
  EXPECT_EQ(std::string(chunk.begin() + kHeader + kTag + 8, chunk.begin() + kHeader + kTag + 16), "Warm Pad");
  EXPECT_NEAR(ReadDouble(chunk, ValueAt(8, 0)), 0.2, 1e-6);
  EXPECT_EQ(ReadDouble(chunk, ValueAt(8, 77)), 2.0);
  const std::size_t tail = kHeader + StateSize(8);
  EXPECT_EQ(chunk[tail - 12], 3);  // three user slots, none stored
  EXPECT_EQ(ReadInt(chunk, tail - 8), 4);
  EXPECT_EQ(ReadInt(chunk, tail - 4), 1105);
  EXPECT_EQ(ReadInt(chunk, tail), 8);
  EXPECT_EQ(std::string(chunk.end() - 8, chunk.end()), "Warm Pad");

  plug.Set(0, 0.9f);
  plug.Set(77, 0.0f);
  char other[] = "Other";
  plug.Dispatch(effSetProgramName, 0, 0, other);
  EXPECT_EQ(plug.SetChunk(chunk, false), 1);
  EXPECT_NEAR(plug.Get(0), 0.2f, 1e-6);
  EXPECT_EQ(plug.ParamDisplay(77), "Highpass 24");
  EXPECT_EQ(plug.Text(effGetProgramName), "Warm Pad");
  // The restored state is also the stored program.
  plug.Dispatch(effSetProgram, 0, 5);
  plug.Dispatch(effSetProgram, 0, 63);
  EXPECT_NEAR(plug.Get(0), 0.2f, 1e-6);
  // Written again, it is the same chunk.
  EXPECT_EQ(plug.GetChunk(false), chunk);
}

TEST_F(Chunks, BankChunkRoundTrip) {
  for (int p = 0; p < 64; p += 21) {
    plug.Dispatch(effSetProgram, 0, p);
    plug.Set(0, 0.01f * static_cast<float>(p));
    const std::string name = "Prog " + std::to_string(p);
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(name.c_str()));
  }
  plug.Dispatch(effSetProgram, 0, 21);
  const std::vector<unsigned char> bank = plug.GetChunk(true);
  ASSERT_GT(bank.size(), kHeader + 64 * (StateSize(0) + 5));
  EXPECT_EQ(ReadInt(bank, 0), 0x70666674);
  EXPECT_EQ(ReadInt(bank, 4), 0x10000);

  ScriptedHost otherHost;
  PluginInstance fresh(otherHost);
  EXPECT_EQ(fresh.SetChunk(bank, true), 1);
  EXPECT_EQ(fresh.Text(effGetProgramNameIndexed, 42), "Prog 42");
  EXPECT_EQ(fresh.Text(effGetProgramNameIndexed, 1), "LEAD: Flutish");
  // The bank carries no current program: the receiver recalls the one it had selected.
  EXPECT_EQ(fresh.Dispatch(effGetProgram), 0);
  EXPECT_EQ(fresh.Get(0), 0.0f);
  fresh.Dispatch(effSetProgram, 0, 63);
  EXPECT_NEAR(fresh.Get(0), 0.63f, 1e-6);
  // Reading a bank stores every program as the reader writes it (with the reader's current program
  // in each state); from then on a bank read and written again is the same bank.
  ScriptedHost thirdHost;
  PluginInstance reader(thirdHost);
  ASSERT_EQ(reader.SetChunk(bank, true), 1);
  const std::vector<unsigned char> rewritten = reader.GetChunk(true);
  ScriptedHost fourthHost;
  PluginInstance again(fourthHost);
  ASSERT_EQ(again.SetChunk(rewritten, true), 1);
  EXPECT_EQ(again.GetChunk(true), rewritten);
}

TEST_F(Chunks, BankRequestWithoutVersionHeaderIsReadAsAProgram) {
  std::vector<unsigned char> program = plug.GetChunk(false);
  std::vector<unsigned char> bare(program.begin() + kHeader, program.end());
  double value = 1.0;  // Volume
  std::memcpy(bare.data() + ValueAt(4, 0) - kHeader, &value, 8);
  EXPECT_EQ(plug.SetChunk(bare, true), 1);
  EXPECT_EQ(plug.Get(0), 1.0f);
}

TEST_F(Chunks, EmptyNullAndAbsurdChunksChangeNothing) {
  plug.Set(0, 0.3f);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 0, nullptr), 0);
  unsigned char byte = 0;
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 0, &byte), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, 0, &byte), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, -8, &byte), 0);
  // A size no real chunk has is refused before anything is read.
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, VstIntPtr{1} << 30, &byte), 0);
  EXPECT_NEAR(plug.Get(0), 0.3f, 1e-6);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 0, 0, nullptr), 0);
}

TEST_F(Chunks, TruncatedProgramChunkAppliesWhatItHasAndFails) {
  plug.Set(0, 0.2f);
  plug.Set(1, 0.8f);
  plug.Set(5, 0.9f);
  std::vector<unsigned char> chunk = plug.GetChunk(false);
  plug.Set(0, 0.7f);
  plug.Set(1, 0.1f);
  plug.Set(5, 0.1f);
  chunk.resize(ValueAt(4, 2) + 3);  // two values and a piece of the third
  EXPECT_EQ(plug.SetChunk(chunk, false), 0);
  EXPECT_NEAR(plug.Get(0), 0.2f, 1e-6);
  EXPECT_NEAR(plug.Get(1), 0.8f, 1e-6);
  EXPECT_EQ(plug.Get(2), 0.0f);  // the first missing value reads as 0
  EXPECT_NEAR(plug.Get(5), 0.1f, 1e-6);  // later values keep theirs
}

TEST_F(Chunks, NameLongerThanTheDataKeepsTheOldName) {
  std::vector<unsigned char> chunk = plug.GetChunk(false);
  const std::int32_t huge = 0x7FFFFF00;
  std::memcpy(chunk.data() + kHeader + StateSize(4), &huge, 4);
  const std::string before = plug.Text(effGetProgramName);
  plug.SetChunk(chunk, false);
  EXPECT_EQ(plug.Text(effGetProgramName), before);
}

TEST_F(Chunks, BankWithBrokenSlotStopsThereAndKeepsTheRest) {
  std::vector<unsigned char> bank = plug.GetChunk(true);
  // The first slot's name length now runs past the end.
  const std::int32_t huge = 0x7FFFFFF0;
  std::memcpy(bank.data() + kHeader, &huge, 4);
  EXPECT_EQ(plug.SetChunk(bank, true), 0);
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 1), "LEAD: Flutish");
}

TEST_F(Chunks, HandedOutBuffersStayValidUntilTheNextRequestOfTheSameKind) {
  void* program = nullptr;
  void* bank = nullptr;
  const VstIntPtr programSize = plug.Dispatch(effGetChunk, 1, 0, &program);
  const std::vector<unsigned char> copy(static_cast<unsigned char*>(program),
                                        static_cast<unsigned char*>(program) + programSize);
  ASSERT_GT(plug.Dispatch(effGetChunk, 0, 0, &bank), programSize);
  EXPECT_EQ(std::memcmp(program, copy.data(), copy.size()), 0);
}

TEST_F(Chunks, RandomBytesNeverBreakTheInstance) {
  std::mt19937 random(1234);
  const std::vector<unsigned char> good = plug.GetChunk(false);
  for (int round = 0; round < 300; ++round) {
    std::vector<unsigned char> bytes = good;
    bytes.resize(random() % (good.size() + 64));
    for (int flips = random() % 16; flips > 0 && !bytes.empty(); --flips) {
      bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
    }
    plug.SetChunk(bytes, round % 2 == 0);
    for (int i = 0; i < 153; ++i) {
      const float v = plug.Get(i);
      ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << "parameter " << i << " round " << round;
    }
  }
  EXPECT_EQ(plug.SetChunk(good, false), 1);
}

// Hosts whose vendor is one of these hand banks in and out where they mean programs.
class QuirkHosts : public ::testing::TestWithParam<const char*> {};

TEST_P(QuirkHosts, BankRequestsAreAnsweredWithProgramChunks) {
  ScriptedHost host;
  host.vendor = GetParam();
  PluginInstance plug(host);
  const std::vector<unsigned char> bank = plug.GetChunk(true);
  const std::vector<unsigned char> program = plug.GetChunk(false);
  EXPECT_EQ(bank.size(), program.size());
  const std::size_t name = std::string("PAD: Texture").size();
  EXPECT_EQ(bank.size(), kHeader + StateSize(name) + 4 + name);
  // The vendor was asked once and the answer kept.
  EXPECT_EQ(host.vendorQueries.load(), 1);
}

TEST_P(QuirkHosts, ARealBankHandedInAsAProgramIsStillReadAsABank) {
  ScriptedHost plainHost;
  PluginInstance source(plainHost);
  source.Dispatch(effSetProgram, 0, 9);
  char name[] = "From a bank";
  source.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<unsigned char> bank = source.GetChunk(true);

  ScriptedHost host;
  host.vendor = GetParam();
  PluginInstance plug(host);
  EXPECT_EQ(plug.SetChunk(bank, true), 1);
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 9), "From a bank");
}

TEST_P(QuirkHosts, UnreadableDataIsReportedAsAFailure) {
  ScriptedHost host;
  host.vendor = GetParam();
  PluginInstance plug(host);
  const std::vector<unsigned char> junk = {1, 2, 3, 4, 5};
  EXPECT_EQ(plug.SetChunk(junk, false), 0);
}

INSTANTIATE_TEST_SUITE_P(Vendors, QuirkHosts,
                         ::testing::Values("Native Instruments", "NATIVE INSTRUMENTS",
                                           "native instruments", "JUCE VST Host"));

TEST(ChunkHosts, OtherVendorsGetBanks) {
  for (const char* vendor : {"Native Instruments GmbH", "Cockos", "", "JUCE"}) {
    ScriptedHost host;
    host.vendor = vendor;
    PluginInstance plug(host);
    EXPECT_GT(plug.GetChunk(true).size(), 64 * StateSize(0)) << vendor;
  }
}
