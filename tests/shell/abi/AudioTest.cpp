// The three audio entries as hosts call them, including the calls hosts should not make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ScriptedHost.h"

namespace {

class Audio : public ::testing::Test {
 protected:
  ScriptedHost host;
  PluginInstance plug{host, true, 48000.0, 256};

  // Two host buffers pre-filled with a marker value.
  struct Buffers {
    std::vector<float> left, right;
    float* pointers[2];
    Buffers(int frames, float fill) : left(frames, fill), right(frames, fill), pointers{left.data(), right.data()} {}
  };
};

}  // namespace

TEST_F(Audio, ReplacingWritesSilenceAndAsksForMidi) {
  Buffers out(256, 0.5f);
  const int before = host.wantMidi.load();
  plug.effect()->processReplacing(plug.effect(), nullptr, out.pointers, 256);
  EXPECT_EQ(host.wantMidi.load(), before + 1);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(out.left[i], 0.0f);
    ASSERT_EQ(out.right[i], 0.0f);
  }
}

TEST_F(Audio, AccumulatingEntryAddsToTheHostBuffers) {
  // Two instances play the same note from the same program: one replaces its buffers, the other
  // adds to buffers that already hold something, and the difference is exactly what they held.
  PluginInstance other{host, true, 48000.0, 256};
  OneMidiEvent on(0x90, 69, 100);
  for (PluginInstance* p : {&plug, &other}) {
    p->Dispatch(effSetProgram, 0, 63);  // "Init": no noise, so both render the same samples
    p->Dispatch(effProcessEvents, 0, 0, on.List());
  }
  float loudest = 0.0f;
  for (int block = 0; block < 8; ++block) {
    Buffers replaced(256, 0.5f);
    Buffers added(256, 0.25f);
    plug.effect()->processReplacing(plug.effect(), nullptr, replaced.pointers, 256);
    other.effect()->process(other.effect(), nullptr, added.pointers, 256);
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(added.left[i], 0.25f + replaced.left[i]) << block << " " << i;
      ASSERT_EQ(added.right[i], 0.25f + replaced.right[i]) << block << " " << i;
      loudest = std::max(loudest, std::fabs(replaced.left[i]));
    }
  }
  EXPECT_GT(loudest, 0.01f);
}

TEST_F(Audio, DoubleEntryWritesTheHostBuffers) {
  std::vector<double> left(256, 0.5), right(256, 0.5);
  double* outs[2] = {left.data(), right.data()};
  plug.effect()->processDoubleReplacing(plug.effect(), nullptr, outs, 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(left[i] + right[i], 0.0);
}

TEST_F(Audio, MoreFramesThanAnnouncedAreRenderedInPieces) {
  // Hosts do this; the scratch buffers hold only one announced block.
  for (int frames : {257, 1000, 4096, 65537}) {
    Buffers out(frames, 1.0f);
    plug.effect()->processReplacing(plug.effect(), nullptr, out.pointers, frames);
    for (int i = 0; i < frames; ++i) ASSERT_EQ(out.right[i], 0.0f) << frames << " at " << i;
    std::vector<double> left(frames, 1.0), right(frames, 1.0);
    double* outs[2] = {left.data(), right.data()};
    plug.effect()->processDoubleReplacing(plug.effect(), nullptr, outs, frames);
    for (int i = 0; i < frames; ++i) ASSERT_EQ(left[i], 0.0);
  }
}

TEST_F(Audio, NullAndEmptyCallsAreHarmless) {
  Buffers out(256, 1.0f);
  AEffect* e = plug.effect();
  e->processReplacing(e, nullptr, nullptr, 256);
  e->process(e, nullptr, nullptr, 256);
  e->processDoubleReplacing(e, nullptr, nullptr, 256);
  float* oneMissing[2] = {nullptr, out.right.data()};
  e->processReplacing(e, nullptr, oneMissing, 256);
  EXPECT_EQ(out.right[255], 0.0f);
  double* noDoubles[2] = {nullptr, nullptr};
  e->processDoubleReplacing(e, nullptr, noDoubles, 256);
  for (int frames : {0, -1, -100000}) {
    Buffers untouched(8, 3.0f);
    e->processReplacing(e, nullptr, untouched.pointers, frames);
    EXPECT_EQ(untouched.left[0], 3.0f);
  }
}

TEST_F(Audio, BadSampleRatesAndBlockSizesKeepThePreviousOnes) {
  for (float rate : {0.0f, -44100.0f, NAN, INFINITY, 1e12f, 1.0f}) {
    EXPECT_EQ(plug.Dispatch(effSetSampleRate, 0, 0, nullptr, rate), 0);
  }
  for (VstIntPtr block : {VstIntPtr{0}, VstIntPtr{-512}, VstIntPtr{1} << 30}) {
    EXPECT_EQ(plug.Dispatch(effSetBlockSize, 0, block), 0);
  }
  // Still renders a block of the size announced last.
  Buffers out(256, 1.0f);
  plug.effect()->processReplacing(plug.effect(), nullptr, out.pointers, 256);
  EXPECT_EQ(out.left[255], 0.0f);
  // And accepts good values afterwards.
  EXPECT_EQ(plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
  EXPECT_EQ(plug.Dispatch(effSetBlockSize, 0, 32), 0);
  Buffers small(100, 1.0f);
  plug.effect()->processReplacing(plug.effect(), nullptr, small.pointers, 100);
  EXPECT_EQ(small.left[99], 0.0f);
}

TEST_F(Audio, ActivationCycles) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(plug.Dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(plug.Dispatch(effSetBlockSize, 0, 64 << i), 0);
    EXPECT_EQ(plug.Dispatch(effMainsChanged, 0, 1), 0);
    Buffers out(64 << i, 1.0f);
    plug.effect()->processReplacing(plug.effect(), nullptr, out.pointers, 64 << i);
    EXPECT_EQ(out.left[0], 0.0f);
  }
}

TEST_F(Audio, EventsAreTakenWithoutEcho) {
  VstMidiEvent on{};
  on.type = kVstMidiType;
  on.byteSize = sizeof(VstMidiEvent);
  on.deltaFrames = 10;
  on.midiData[0] = static_cast<char>(0x90);
  on.midiData[1] = 60;
  on.midiData[2] = 100;
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(VstMidiSysexEvent);
  sysex.dumpBytes = 0;
  VstEvent other{};
  other.type = 99;
  struct {
    std::int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[4];
  } list{4, 0, {reinterpret_cast<VstEvent*>(&on), nullptr, reinterpret_cast<VstEvent*>(&sysex), &other}};
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  list.numEvents = -3;
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
  EXPECT_TRUE(host.midiOut.empty());
}

TEST_F(Audio, RecordWithoutInstanceAnswersNothing) {
  // A record whose instance pointer is missing (or a null record) must not reach an instance.
  const float volume = plug.Get(0);
  AEffect record = *plug.effect();
  record.object = nullptr;
  EXPECT_EQ(record.dispatcher(&record, effGetVendorVersion, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(record.dispatcher(&record, effClose, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(record.getParameter(&record, 0), 0.0f);
  record.setParameter(&record, 0, 1.0f);
  record.processReplacing(&record, nullptr, nullptr, 16);
  record.processDoubleReplacing(&record, nullptr, nullptr, 16);
  record.process(&record, nullptr, nullptr, 16);
  EXPECT_EQ(record.dispatcher(nullptr, effGetVendorVersion, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(record.getParameter(nullptr, 0), 0.0f);
  // The real instance is untouched.
  EXPECT_EQ(plug.Get(0), volume);
}
