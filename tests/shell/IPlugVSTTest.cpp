#include "shell/IPlugVST.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A host callback answering from whatever FakeHost is current.
struct FakeHost {
  std::string vendor = "Fake";
  std::string product = "Fake Host";
  VstIntPtr version = 10203;
  VstIntPtr processLevel = 0;
  VstTimeInfo time{};
  bool answerTime = true;
  std::int32_t lastTimeMask = -1;
  int productQueries = 0;
  int versionQueries = 0;
  VstIntPtr eventsAnswer = 1;
  std::vector<VstMidiEvent> midi;
  std::vector<VstMidiSysexEvent> sysex;
  std::vector<std::pair<int, float>> automated;
};

FakeHost* g_fake = nullptr;

VstIntPtr FakeCallback(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                       float opt) {
  FakeHost& h = *g_fake;
  switch (opcode) {
    case audioMasterGetVendorString:
      std::strcpy(static_cast<char*>(ptr), h.vendor.c_str());
      return 1;
    case audioMasterGetProductString:
      ++h.productQueries;
      std::strcpy(static_cast<char*>(ptr), h.product.c_str());
      return 1;
    case audioMasterGetVendorVersion:
      ++h.versionQueries;
      return h.version;
    case audioMasterGetCurrentProcessLevel:
      return h.processLevel;
    case audioMasterGetTime:
      h.lastTimeMask = static_cast<std::int32_t>(value);
      return h.answerTime ? reinterpret_cast<VstIntPtr>(&h.time) : 0;
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      const VstEvent* e = events->events[0];
      if (e->type == kVstMidiType) h.midi.push_back(*reinterpret_cast<const VstMidiEvent*>(e));
      if (e->type == kVstSysExType) h.sysex.push_back(*reinterpret_cast<const VstMidiSysexEvent*>(e));
      return h.eventsAnswer;
    }
    case audioMasterAutomate:
      h.automated.emplace_back(index, opt);
      return 0;
    default:
      return 0;
  }
}

PluginInfo Info() {
  PluginInfo info;
  info.effectName = "Test";
  info.channelIO = "0-2";
  info.parameterCount = 2;
  info.programCount = 2;
  info.receivesMidi = true;
  return info;
}

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { g_fake = &host; }
  FakeHost host;
  IPlugVST plug{Info(), &FakeCallback};
};

}  // namespace

TEST(HostKind, ProductNamesInTableOrder) {
  struct Case {
    const char* product;
    int kind;
  };
  const Case cases[] = {
      {"Cubase LE", 3},          {"ABLETON LIVE", 9},       {"Ableton Live", 9},
      {"reaper and cubase", 3},  {"REAPER", 1},             {"Nuendo", 4},
      {"Cakewalk by BandLab", 5},{"Samplitude Pro", 8},     {"Fruity Wrapper", 7},
      {"Melodyne", 12},          {"VstManLib", 13},         {"AULab", 14},
      {"GarageBand", 22},        {"Forte 4", 15},           {"Chainer", 16},
      {"Adobe Audition", 17},    {"Orion", 18},             {"SAWStudio", 20},
      {"Logic Pro", 21},         {"Digital Performer", 23}, {"AudioMulch", 25},
      {"PreSonus Studio One", 26}, {"VST3PluginTestHost", 27}, {"ProTools", 2},
      {"Ardour", 28},            {"OpenMPT", 30},           {"Renoise", 29},
      {"Standalone", 24},        {"Bitwig Studio", 0},      {"", 0},
      // "live" is tested before later names, so any product containing it is Live.
      {"Deliverance Orion", 9},
  };
  for (const Case& c : cases) EXPECT_EQ(IPlugVST::HostKindFromProduct(c.product), c.kind) << c.product;
}

TEST(HostKind, DecimalVersionIsPacked) {
  EXPECT_EQ(IPlugVST::PackDecimalVersion(10105), 0x10105);
  EXPECT_EQ(IPlugVST::PackDecimalVersion(70302), 0x70302);
  EXPECT_EQ(IPlugVST::PackDecimalVersion(0), 0);
  EXPECT_EQ(IPlugVST::PackDecimalVersion(123456), (12 << 16) | (34 << 8) | 56);
}

TEST_F(Binding, HostKindAndVersionAreAskedOnce) {
  host.product = "Cubase LE AI Elements";
  host.version = 120005;
  EXPECT_EQ(plug.GetHostKind(), kHostCubase);
  host.product = "REAPER";
  EXPECT_EQ(plug.GetHostKind(), kHostCubase);
  EXPECT_EQ(plug.GetHostVersion(), (12 << 16) | 5);
  EXPECT_EQ(host.productQueries, 1);
  EXPECT_EQ(host.versionQueries, 1);
}

TEST_F(Binding, EmptyProductMeansUnknownWithoutVersion) {
  host.product = "";
  EXPECT_EQ(plug.GetHostKind(), kHostUnknown);
  EXPECT_EQ(host.versionQueries, 0);
  EXPECT_EQ(plug.GetHostVersion(), 0);
}

TEST_F(Binding, VendorQuirkIsCached) {
  host.vendor = "Native Instruments";
  EXPECT_TRUE(plug.HostVendorQuirk());
  host.vendor = "Other";
  EXPECT_TRUE(plug.HostVendorQuirk());
}

TEST_F(Binding, TimeInfoCopiesOnlyWhatTheHostVouchesFor) {
  host.time.samplePos = 4410.0;
  host.time.ppqPos = 2.5;
  host.time.tempo = 133.0;
  host.time.barStartPos = 0.0;
  host.time.cycleStartPos = 4.0;
  host.time.cycleEndPos = 8.0;
  host.time.timeSigNumerator = 3;
  host.time.timeSigDenominator = 8;
  host.time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
  TimeInfo info;
  plug.GetHostTimeInfo(&info);
  EXPECT_EQ(host.lastTimeMask, 0x3E00);
  EXPECT_EQ(info.samplePosition, 4410.0);
  EXPECT_EQ(info.ppqPosition, 2.5);
  EXPECT_EQ(info.tempo, 133.0);
  EXPECT_EQ(info.lastBarStart, -1.0);  // not vouched for
  EXPECT_EQ(info.cycleStart, -1.0);
  EXPECT_EQ(info.numerator, 3);
  EXPECT_EQ(info.denominator, 8);
  EXPECT_TRUE(info.transportPlaying);
  EXPECT_FALSE(info.cycleActive);

  // Values out of their ranges keep the defaults.
  host.time.flags = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid | kVstCyclePosValid |
                    kVstTransportCycleActive;
  host.time.ppqPos = -1.0;
  host.time.tempo = 0.0;
  host.time.timeSigDenominator = 0;
  host.time.cycleStartPos = -2.0;
  TimeInfo defaults;
  plug.GetHostTimeInfo(&defaults);
  EXPECT_EQ(defaults.ppqPosition, -1.0);
  EXPECT_EQ(defaults.tempo, 120.0);
  EXPECT_EQ(defaults.numerator, 4);
  EXPECT_EQ(defaults.cycleStart, -1.0);
  EXPECT_TRUE(defaults.cycleActive);

  // A record vouching for none of the fields, or none at all, leaves everything as it was.
  host.time.flags = kVstTransportPlaying;
  TimeInfo untouched;
  plug.GetHostTimeInfo(&untouched);
  EXPECT_EQ(untouched.samplePosition, -1.0);
  EXPECT_FALSE(untouched.transportPlaying);
  host.answerTime = false;
  plug.GetHostTimeInfo(&untouched);
  EXPECT_EQ(untouched.tempo, 120.0);
  EXPECT_EQ(plug.GetHostTempo(), 0.0);
  EXPECT_EQ(plug.GetHostSamplePosition(), 0.0);
}

TEST_F(Binding, SingleTimeQueries) {
  host.time.flags = kVstTempoValid | kVstTimeSigValid;
  host.time.tempo = 98.5;
  host.time.samplePos = 100.5;
  host.time.timeSigNumerator = 7;
  host.time.timeSigDenominator = 8;
  EXPECT_EQ(plug.GetHostTempo(), 98.5);
  EXPECT_EQ(host.lastTimeMask, 0x400);
  EXPECT_EQ(plug.GetHostSamplePosition(), 101.0);
  EXPECT_EQ(host.lastTimeMask, 0);
  int num = 0, den = 0;
  plug.GetHostTimeSignature(&num, &den);
  EXPECT_EQ(host.lastTimeMask, 0x2000);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  host.time.flags = 0;
  plug.GetHostTimeSignature(&num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(plug.GetHostTempo(), 0.0);
  host.time.samplePos = -5.0;
  EXPECT_EQ(plug.GetHostSamplePosition(), 0.0);
}

TEST_F(Binding, OfflineRendering) {
  host.processLevel = kProcessLevelOffline;
  EXPECT_TRUE(plug.IsOfflineRendering());
  host.processLevel = kProcessLevelRealtime;
  EXPECT_FALSE(plug.IsOfflineRendering());
}

TEST_F(Binding, MidiAndSysExToTheHost) {
  MidiMessage m;
  m.offset = 17;
  m.status = 0x93;
  m.data1 = 64;
  m.data2 = 0x7F;
  EXPECT_TRUE(plug.SendMidiToHost(m));
  ASSERT_EQ(host.midi.size(), 1u);
  const VstMidiEvent& e = host.midi[0];
  EXPECT_EQ(e.byteSize, 32);
  EXPECT_EQ(e.deltaFrames, 17);
  EXPECT_EQ(static_cast<unsigned char>(e.midiData[0]), 0x93);
  EXPECT_EQ(e.midiData[1], 64);
  EXPECT_EQ(e.midiData[2], 0x7F);
  EXPECT_EQ(e.midiData[3], 0);
  EXPECT_EQ(e.flags | e.noteLength | e.noteOffset | e.detune | e.noteOffVelocity, 0);
  host.eventsAnswer = 0;
  EXPECT_FALSE(plug.SendMidiToHost(m));
  const std::uint8_t dump[] = {0xF0, 0x7E, 0xF7};
  SysExMessage s{5, 3, dump};
  host.eventsAnswer = 1;
  EXPECT_TRUE(plug.SendSysExToHost(s));
  ASSERT_EQ(host.sysex.size(), 1u);
  EXPECT_EQ(host.sysex[0].dumpBytes, 3);
  EXPECT_EQ(host.sysex[0].deltaFrames, 5);
}

TEST_F(Binding, EditorChangesAreReportedToTheHost) {
  plug.GetParam(1)->SetKindInt();
  plug.GetParam(1)->InitDouble("Amount", 0, 0, 10, 1, 1);
  plug.SetParameterFromEditor(1, 0.46);
  ASSERT_EQ(host.automated.size(), 1u);
  EXPECT_EQ(host.automated[0].first, 1);
  EXPECT_FLOAT_EQ(host.automated[0].second, 0.5f);  // the value after rounding to the step
  EXPECT_EQ(plug.GetParam(1)->Value(), 5.0);
}
