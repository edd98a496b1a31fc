#include "MidiSequence.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <cmath>
#include <random>
#include <set>

#include "support/TestPaths.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header(int format, int tracks, int division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format), 0,
          static_cast<std::uint8_t>(tracks), static_cast<std::uint8_t>(division >> 8),
          static_cast<std::uint8_t>(division & 0xFF)};
}

void AddTrack(Bytes* file, const Bytes& body) {
  const std::size_t n = body.size();
  const Bytes head = {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                      static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
  file->insert(file->end(), head.begin(), head.end());
  file->insert(file->end(), body.begin(), body.end());
}

Bytes Demo() {
  std::ifstream in(SourcePath("tools/demo/demo.mid"), std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(MidiSequence, RunningStatusTempoAndTracksMerged) {
  Bytes file = Header(1, 2, 96);
  AddTrack(&file, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,   // 120 bpm
                   0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,   // 60 bpm at tick 96
                   0x00, 0xFF, 0x58, 0x04, 0x03, 0x03, 0x18, 0x08,  // 3/8
                   0x00, 0xFF, 0x2F, 0x00});
  AddTrack(&file, {0x00, 0x90, 60, 100,  // note on
                   0x60, 62, 90,         // running status
                   0x00, 60, 0,          // note-on velocity 0
                   0x81, 0x00, 0xC0, 5,  // delta 128, program change: one data byte
                   0x00, 0xFF, 0x2F, 0x00});
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(file, &s, &error)) << error;
  EXPECT_TRUE(s.warnings.empty());
  EXPECT_EQ(s.ticksPerQuarter, 96);
  ASSERT_EQ(s.events.size(), 4u);
  EXPECT_EQ(s.events[1].tick, 96);
  EXPECT_EQ(s.events[1].status, 0x90);
  EXPECT_EQ(s.events[1].data1, 62);
  EXPECT_EQ(s.events[3].tick, 224);
  EXPECT_EQ(s.events[3].status, 0xC0);
  EXPECT_EQ(s.events[3].data1, 5);
  ASSERT_EQ(s.tempos.size(), 2u);
  ASSERT_EQ(s.signatures.size(), 1u);
  EXPECT_EQ(s.signatures[0].denominator, 8);

  TempoMap map(s, 48000.0);
  EXPECT_DOUBLE_EQ(map.TickToFrame(96), 24000.0);   // one quarter at 120 bpm
  EXPECT_DOUBLE_EQ(map.TickToFrame(192), 72000.0);  // then one at 60 bpm
  EXPECT_DOUBLE_EQ(map.FrameToPpq(48000.0), 1.5);
  EXPECT_DOUBLE_EQ(map.TempoAt(100.0), 120.0);
  EXPECT_DOUBLE_EQ(map.TempoAt(30000.0), 60.0);
  int num = 0, den = 0;
  EXPECT_DOUBLE_EQ(map.BarStart(2.7, &num, &den), 2.5);  // bars of 1.5 quarters from tick 96
  EXPECT_EQ(num, 3);
  EXPECT_EQ(den, 8);
}

TEST(MidiSequence, Format2TracksPlayInTurn) {
  Bytes file = Header(2, 2, 480);
  AddTrack(&file, {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  AddTrack(&file, {0x00, 0x90, 64, 100, 0x00, 0xFF, 0x2F, 0x00});
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(file, &s, &error));
  ASSERT_EQ(s.events.size(), 3u);
  EXPECT_EQ(s.events[2].tick, 480);
}

TEST(MidiSequence, DamageEndsOnlyTheDamagedTrack) {
  Bytes file = Header(1, 3, 480);
  AddTrack(&file, {0x00, 0x40, 0x40});                     // data byte without status
  AddTrack(&file, {0x00, 0x90, 60, 100, 0x00, 0xF3, 0x01});  // a system message
  AddTrack(&file, {0x00, 0x90, 64});                       // cut inside a message
  file.push_back('M');                                      // junk after the last chunk
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(file, &s, &error));
  EXPECT_EQ(s.events.size(), 1u);
  EXPECT_EQ(s.warnings.size(), 3u);
}

TEST(MidiSequence, RefusesWhatIsNotAMidiFile) {
  MidiSequence s;
  std::string error;
  EXPECT_FALSE(ReadMidiFile(Bytes{}, &s, &error));
  EXPECT_FALSE(ReadMidiFile(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, &s, &error));
  EXPECT_FALSE(ReadMidiFile(Header(3, 1, 96), &s, &error));
  EXPECT_FALSE(ReadMidiFile(Header(0, 0, 96), &s, &error));
  EXPECT_FALSE(ReadMidiFile(std::string("/no/such/file.mid"), &s, &error));
}

TEST(MidiSequence, SmpteDivisionAndOddValues) {
  Bytes file = Header(0, 1, 0xE728);  // 25 fps, 40 ticks per frame: 1000 ticks per second
  AddTrack(&file, {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00,  // tempo 0: ignored
                   0x87, 0x68, 0x90, 60, 100});               // one second later
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(file, &s, &error));
  TempoMap map(s, 44100.0);
  ASSERT_EQ(s.events.size(), 1u);
  EXPECT_NEAR(map.TickToFrame(s.events[0].tick), 44100.0, 1e-6);
}

TEST(MidiSequence, TheDemoPieceAndEveryDamagedCopyOfIt) {
  const Bytes demo = Demo();
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(demo, &s, &error)) << error;
  EXPECT_TRUE(s.warnings.empty());
  EXPECT_EQ(s.tempos.size(), 3u);
  std::set<int> channels;
  for (const SequenceEvent& e : s.events) channels.insert(e.status & 0x0F);
  EXPECT_EQ(channels.size(), 3u);  // chords, bass and lead
  EXPECT_GT(s.events.size(), 100u);
  // Cut at every length and with random damage: the reader answers without reading outside
  // the bytes (the sanitizer builds watch this).
  for (std::size_t n = 0; n < demo.size(); ++n) {
    ReadMidiFile(Bytes(demo.begin(), demo.begin() + static_cast<long>(n)), &s, &error);
  }
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes = demo;
    for (int k = 1 + static_cast<int>(random() % 8); k > 0; --k) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    if (ReadMidiFile(bytes, &s, &error)) {
      for (std::size_t i = 1; i < s.events.size(); ++i) ASSERT_LE(s.events[i - 1].tick, s.events[i].tick);
      TempoMap map(s, 44100.0);
      ASSERT_TRUE(std::isfinite(map.TickToFrame(s.LastTick())));
    }
  }
}
