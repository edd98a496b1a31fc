#pragma once

#include <cstdint>
#include <memory>

#include "synth/MidiMessage.h"

// Messages waiting between the host's event call and the render loop, ordered by sample offset;
// messages with equal offsets keep their arrival order.
//
// The array is sized on reset for the block size and grows only when it is full, so adding a message
// does not allocate in the common case. A message that needs memory that cannot be had is dropped.
class MidiEventQueue {
 public:
  static constexpr int kInitialCapacity = 1024;
  // Resizing rounds the capacity up to whole pages of messages.
  static constexpr int kResizeGranule = 512;

  explicit MidiEventQueue(int capacity = kInitialCapacity, int quantum = kInitialCapacity);
  MidiEventQueue(const MidiEventQueue&) = delete;
  MidiEventQueue& operator=(const MidiEventQueue&) = delete;

  // Inserts in offset order; answers false when the message was dropped for lack of memory.
  bool Add(const MidiMessage& message);

  bool Empty() const { return front_ == back_; }
  int Size() const { return back_ - front_; }
  // The earliest pending message; only valid while the queue is not empty.
  const MidiMessage& Front() const { return messages_[front_]; }
  void PopFront() {
    if (front_ < back_) ++front_;
  }
  // Pending message i (0 = front), for inspection.
  const MidiMessage& At(int i) const { return messages_[front_ + i]; }
  void Clear() { front_ = back_ = 0; }

  // After a control tick: moves the pending messages to the start of the array and makes their
  // offsets relative to the next tick.
  void AdvanceTick(int interval);

  // On reset: the growth quantum becomes frames rounded up to whole pages, and so does the capacity
  // (never below what is pending). Pending messages are kept; if the memory cannot be had the old
  // array stays.
  void Resize(int frames);

  int Capacity() const { return capacity_; }
  int Quantum() const { return quantum_; }

 private:
  void Compact();
  bool Reallocate(int capacity);

  std::unique_ptr<MidiMessage[]> messages_;
  int capacity_ = 0;
  int quantum_ = kInitialCapacity;
  int front_ = 0;
  int back_ = 0;
};
