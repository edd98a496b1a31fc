#include "NoteList.h"

#include <gtest/gtest.h>

TEST(NoteList, NoteNames) {
  EXPECT_EQ(NoteNumber("C4"), 60);
  EXPECT_EQ(NoteNumber("A4"), 69);
  EXPECT_EQ(NoteNumber("c#4"), 61);
  EXPECT_EQ(NoteNumber("Db4"), 61);
  EXPECT_EQ(NoteNumber("C-1"), 0);
  EXPECT_EQ(NoteNumber("G9"), 127);
  EXPECT_EQ(NoteNumber("G#9"), -1);
  EXPECT_EQ(NoteNumber("Cb-1"), -1);
  EXPECT_EQ(NoteNumber("H4"), -1);
  EXPECT_EQ(NoteNumber("64"), 64);
  EXPECT_EQ(NoteNumber("128"), -1);
  EXPECT_EQ(NoteNumber("C"), -1);
}

TEST(NoteList, NotesChordsRestsLengthsAndVelocities) {
  MidiSequence s;
  std::string error;
  ASSERT_TRUE(ParseNoteList("C4 E4@90:2, r:0.5 C4+E4+G4:4", 100, 120, 2, &s, &error)) << error;
  EXPECT_EQ(s.ticksPerQuarter, 480);
  ASSERT_EQ(s.tempos.size(), 1u);
  EXPECT_EQ(s.tempos[0].microsPerQuarter, 500000);
  ASSERT_EQ(s.events.size(), 10u);
  EXPECT_EQ(s.events[0].status, 0x92);
  EXPECT_EQ(s.events[0].data2, 100);
  // At tick 480 the first note ends before the second starts.
  EXPECT_EQ(s.events[1].tick, 480);
  EXPECT_EQ(s.events[1].status, 0x82);
  EXPECT_EQ(s.events[2].status, 0x92);
  EXPECT_EQ(s.events[2].data2, 90);
  // The chord starts after the rest: 1 + 2 + 0.5 beats.
  EXPECT_EQ(s.events[4].tick, 1680);
  EXPECT_EQ(s.LastTick(), 1680 + 4 * 480);
}

TEST(NoteList, Mistakes) {
  MidiSequence s;
  std::string error;
  EXPECT_FALSE(ParseNoteList("", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("r:2", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("X4", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("C4:0", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("C4:-1", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("C4@0", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("C4@200", 100, 120, 0, &s, &error));
  EXPECT_FALSE(ParseNoteList("C4++E4:1x", 100, 120, 0, &s, &error));
}
