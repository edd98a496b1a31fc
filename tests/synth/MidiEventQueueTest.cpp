#include "synth/MidiEventQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

MidiMessage At(int offset, int data1 = 0) {
  MidiMessage m;
  m.offset = offset;
  m.status = 0x90;
  m.data1 = static_cast<std::uint8_t>(data1);
  return m;
}

std::vector<std::pair<int, int>> Drain(MidiEventQueue& q) {
  std::vector<std::pair<int, int>> out;
  while (!q.Empty()) {
    out.emplace_back(q.Front().offset, q.Front().data1);
    q.PopFront();
  }
  return out;
}

}  // namespace

TEST(MidiEventQueue, KeepsOffsetOrderAndArrivalOrderForEqualOffsets) {
  MidiEventQueue q;
  q.Add(At(10, 1));
  q.Add(At(5, 2));
  q.Add(At(5, 3));
  q.Add(At(0, 4));
  q.Add(At(10, 5));
  q.Add(At(7, 6));
  EXPECT_EQ(Drain(q), (std::vector<std::pair<int, int>>{{0, 4}, {5, 2}, {5, 3}, {7, 6}, {10, 1}, {10, 5}}));
}

TEST(MidiEventQueue, AdvancingATickCompactsAndShiftsTheRest) {
  MidiEventQueue q(8, 8);
  for (int i = 0; i < 6; ++i) q.Add(At(i * 20, i));
  q.PopFront();
  q.PopFront();  // offsets 0 and 20 were played at this tick
  q.AdvanceTick(44);
  ASSERT_EQ(q.Size(), 4);
  EXPECT_EQ(q.At(0).offset, 40 - 44);
  EXPECT_EQ(q.At(3).offset, 100 - 44);
  // Compacted: four more fit without growing.
  for (int i = 0; i < 4; ++i) q.Add(At(100, 10 + i));
  EXPECT_EQ(q.Capacity(), 8);
}

TEST(MidiEventQueue, FullArrayCompactsBeforeItGrows) {
  MidiEventQueue q(4, 4);
  for (int i = 0; i < 4; ++i) q.Add(At(i, i));
  q.PopFront();
  q.Add(At(9, 9));  // room at the front: compacted, not grown
  EXPECT_EQ(q.Capacity(), 4);
  q.Add(At(1, 10));  // full with nothing taken: grows by one quantum
  EXPECT_EQ(q.Capacity(), 8);
  EXPECT_EQ(Drain(q), (std::vector<std::pair<int, int>>{{1, 1}, {1, 10}, {2, 2}, {3, 3}, {9, 9}}));
}

TEST(MidiEventQueue, ThousandsOfMessagesInOneBlockAreAllKept) {
  MidiEventQueue q;
  for (int i = 0; i < 5000; ++i) q.Add(At((i * 7919) % 512, i % 128));
  EXPECT_EQ(q.Size(), 5000);
  EXPECT_EQ(q.Capacity(), 5120);
  int previous = -1;
  while (!q.Empty()) {
    ASSERT_GE(q.Front().offset, previous);
    previous = q.Front().offset;
    q.PopFront();
  }
}

TEST(MidiEventQueue, ResizeFollowsTheBlockButKeepsPendingMessages) {
  MidiEventQueue q;
  q.Resize(64);
  EXPECT_EQ(q.Capacity(), 512);
  EXPECT_EQ(q.Quantum(), 512);
  q.Resize(4096);
  EXPECT_EQ(q.Capacity(), 4096);
  for (int i = 0; i < 700; ++i) q.Add(At(i));
  q.Resize(100);  // never below what is pending
  EXPECT_EQ(q.Quantum(), 512);
  EXPECT_EQ(q.Capacity(), 1024);
  EXPECT_EQ(q.Size(), 700);
  EXPECT_EQ(q.Front().offset, 0);
  q.Resize(0);
  EXPECT_EQ(q.Capacity(), 1024);
}
