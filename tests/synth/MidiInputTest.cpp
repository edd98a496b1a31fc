#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <memory>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace {

std::vector<std::array<int, 4>>* g_sent = nullptr;

VstIntPtr Thru(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float) {
  if (opcode == audioMasterProcessEvents && g_sent != nullptr) {
    const auto* events = static_cast<const VstEvents*>(ptr);
    for (int i = 0; i < events->numEvents; ++i) {
      const auto* e = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
      g_sent->push_back({e->deltaFrames, static_cast<std::uint8_t>(e->midiData[0]),
                         static_cast<std::uint8_t>(e->midiData[1]), static_cast<std::uint8_t>(e->midiData[2])});
    }
    return 1;
  }
  return 0;
}

class MidiInput : public ::testing::Test {
 protected:
  void SetUp() override {
    g_sent = &sent;
    plug = std::make_unique<Tarvolin>(&Thru);
    plug->OnReset();
  }
  void TearDown() override { g_sent = nullptr; }

  void Send(int offset, int status, int data1, int data2) {
    MidiMessage m;
    m.offset = offset;
    m.status = static_cast<std::uint8_t>(status);
    m.data1 = static_cast<std::uint8_t>(data1);
    m.data2 = static_cast<std::uint8_t>(data2);
    plug->HandleMidiMessage(m);
  }
  std::vector<std::array<int, 4>> Queued() const {
    std::vector<std::array<int, 4>> out;
    const MidiEventQueue& q = plug->MidiQueue();
    for (int i = 0; i < q.Size(); ++i) out.push_back({q.At(i).offset, q.At(i).status, q.At(i).data1, q.At(i).data2});
    return out;
  }

  std::vector<std::array<int, 4>> sent;
  std::unique_ptr<Tarvolin> plug;
};

using Messages = std::vector<std::array<int, 4>>;

}  // namespace

TEST_F(MidiInput, NoteOnWithVelocityZeroBecomesANoteOff) {
  Send(3, 0x95, 60, 0);
  EXPECT_EQ(Queued(), (Messages{{3, 0x80, 60, 0}}));
}

TEST_F(MidiInput, TickRoundingMovesLateMessagesToTheNearestTick) {
  ASSERT_EQ(plug->ControlInterval(), 44);
  Send(80, 0xE0, 0, 64);   // pitch bend
  Send(44, 0xD0, 99, 0);   // channel pressure at exactly one interval stays
  Send(80, 0xB0, 64, 127);  // sustain keeps its sample
  Send(80, 0xB0, 7, 100);   // any other controller is rounded
  Send(90, 0xA0, 60, 10);   // poly pressure is rounded
  Send(80, 0x90, 60, 100);  // notes keep their sample
  EXPECT_EQ(Queued(), (Messages{{44, 0xD0, 99, 0}, {80, 0xB0, 64, 127}, {80, 0x90, 60, 100}, {102, 0xE0, 0, 64},
                                {102, 0xB0, 7, 100}, {112, 0xA0, 60, 10}}));
}

TEST_F(MidiInput, SystemMessagesAndStrayBytesAreNotPlayed) {
  Send(0, 0xF8, 0, 0);  // clock
  Send(0, 0xF0, 0x43, 0x10);
  Send(0, 0x40, 0x7F, 0);  // a running-status fragment: data bytes without a status
  Send(0, 0x00, 0, 0);
  // Data bytes with the top bit set are not MIDI.
  Send(0, 0x90, 200, 100);
  Send(0, 0x90, 60, 255);
  Send(0, 0xB0, 130, 1);
  Send(0, 0xE0, 0, 0x80);
  Send(0, 0xC0, 200, 0);
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(plug->CurrentProgram(), 0);
  // A one-data-byte message ignores its unused second byte.
  Send(0, 0xD0, 100, 0xFF);
  EXPECT_EQ(Queued(), (Messages{{0, 0xD0, 100, 0xFF}}));
}

TEST_F(MidiInput, ThruEchoesEverythingFirst) {
  plug->SetMidiThru(true);
  Send(5, 0xF8, 0, 0);
  Send(6, 0xC0, 3, 0);
  EXPECT_EQ(sent, (Messages{{5, 0xF8, 0, 0}, {6, 0xC0, 3, 0}}));
  EXPECT_TRUE(Queued().empty());       // the system message is then dropped
  EXPECT_EQ(plug->CurrentProgram(), 3);  // and the program change still recalls
  plug->SetMidiThru(false);
  Send(0, 0x90, 60, 1);
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(MidiInput, ProgramChangeUnlessIgnored) {
  Send(0, 0xC7, 5, 0);
  EXPECT_EQ(plug->CurrentProgram(), 5);
  Send(0, 0xC0, 64, 0);  // beyond the 64 programs: nothing
  EXPECT_EQ(plug->CurrentProgram(), 5);
  plug->SetIgnoreProgramChange(true);
  Send(0, 0xC0, 9, 0);
  EXPECT_EQ(plug->CurrentProgram(), 5);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(MidiInput, AllNotesOffSilencesAndIsNotQueuedEvenWhileLearning) {
  // Two held notes of a sound that would sustain for ever.
  plug->InitCurrentProgram();
  for (const auto& [index, value] : {std::pair{param::kAmpEgSustain, 1.0}, std::pair{param::kAmpEgRelease, 0.0}}) {
    plug->GetParam(index)->SetPlainClamped(value);
    plug->OnParameterChanged(index);
  }
  const auto peak = [&](int frames) {
    std::vector<double> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    double* outs[2] = {left.data(), right.data()};
    plug->ProcessBuffersDouble(nullptr, outs, frames);
    double p = 0.0;
    for (double v : left) p = std::max(p, std::fabs(v));
    return p;
  };
  Send(0, 0x90, 60, 100);
  Send(0, 0x91, 64, 100);
  ASSERT_GT(peak(4096), 0.01);
  ASSERT_GT(peak(512), 0.01);
  ASSERT_FALSE(plug->HeldNotes().Empty());

  plug->ArmLearn(1.0, false);
  Send(0, 0xB3, 123, 0);
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(plug->HeldNotes().Empty());
  peak(4096);  // the release
  EXPECT_EQ(peak(512), 0.0);
  for (int i = 0; i < Tarvolin::kVoices; ++i) EXPECT_FALSE(plug->GetVoice(i).Active()) << i;
  EXPECT_TRUE(plug->LearnArmed());  // only controllers up to 119 are captured
  Send(0, 0xB0, 74, 10);            // captured for learning, not played
  EXPECT_TRUE(Queued().empty());
  Send(0, 0xB0, 121, 0);  // reset all controllers and the other channel-mode messages: dropped
  Send(0, 0xB0, 127, 0);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(MidiInput, OutOfRangeOffsetsAreKeptInOrder) {
  Send(-20, 0x90, 60, 1);
  Send(1 << 30, 0x90, 61, 1);
  Send(2147483647, 0xE0, 0, 64);  // rounding saturates instead of wrapping
  Send(10, 0x90, 62, 1);
  const Messages q = Queued();
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(q[0][0], -20);
  EXPECT_EQ(q[1][0], 10);
  EXPECT_EQ(q[2][0], 1 << 30);
  EXPECT_EQ(q[3][0], 2147483647);
}

TEST_F(MidiInput, SysExThroughTheDispatcherIsHarmless) {
  std::vector<char> dump(100000, 0x7F);
  dump.front() = static_cast<char>(0xF0);
  dump.back() = static_cast<char>(0xF7);
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(sysex);
  sysex.dumpBytes = static_cast<std::int32_t>(dump.size());
  sysex.sysexDump = dump.data();
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof(note);
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  VstEvents list{};
  list.numEvents = 2;
  list.events[0] = reinterpret_cast<VstEvent*>(&sysex);
  list.events[1] = reinterpret_cast<VstEvent*>(&note);
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
  EXPECT_EQ(Queued(), (Messages{{0, 0x90, 60, 100}}));
}
