#include "synth/MidiEventQueue.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

int RoundUpToGranule(long long count) {
  const long long g = MidiEventQueue::kResizeGranule;
  long long rounded = (std::max(count, 1LL) + g - 1) / g * g;
  const long long largest = std::numeric_limits<int>::max() / static_cast<long long>(sizeof(MidiMessage));
  return static_cast<int>(std::min(rounded, largest / g * g));
}

}  // namespace

MidiEventQueue::MidiEventQueue(int capacity, int quantum)
    : quantum_(quantum > 0 ? quantum : kInitialCapacity) {
  Reallocate(capacity > 0 ? capacity : quantum_);
}

bool MidiEventQueue::Reallocate(int capacity) {
  MidiMessage* fresh = new (std::nothrow) MidiMessage[static_cast<std::size_t>(capacity)];
  if (fresh == nullptr) return false;
  const int pending = back_ - front_;
  if (messages_) std::copy(messages_.get() + front_, messages_.get() + back_, fresh);
  messages_.reset(fresh);
  capacity_ = capacity;
  front_ = 0;
  back_ = pending;
  return true;
}

void MidiEventQueue::Compact() {
  if (front_ == 0) return;
  std::copy(messages_.get() + front_, messages_.get() + back_, messages_.get());
  back_ -= front_;
  front_ = 0;
}

bool MidiEventQueue::Add(const MidiMessage& message) {
  if (back_ >= capacity_) {
    if (front_ > 0) {
      Compact();
    } else {
      const long long grown = (static_cast<long long>(capacity_) / quantum_ + 1) * quantum_;
      const long long largest = std::numeric_limits<int>::max() / static_cast<long long>(sizeof(MidiMessage));
      if (grown > largest || !Reallocate(static_cast<int>(grown))) return false;
    }
  }
  MidiMessage* base = messages_.get();
  if (back_ > front_ && message.offset < base[back_ - 1].offset) {
    // After the last pending message whose offset is not larger, so equal offsets keep their order.
    int at = back_ - 1;
    while (at > front_ && base[at - 1].offset > message.offset) --at;
    std::copy_backward(base + at, base + back_, base + back_ + 1);
    base[at] = message;
  } else {
    base[back_] = message;
  }
  ++back_;
  return true;
}

void MidiEventQueue::AdvanceTick(int interval) {
  Compact();
  MidiMessage* base = messages_.get();
  for (int i = 0; i < back_; ++i) {
    // Saturating, so that an absurd offset from the host cannot wrap around to the front.
    const long long o = static_cast<long long>(base[i].offset) - interval;
    base[i].offset = static_cast<std::int32_t>(std::max<long long>(o, std::numeric_limits<std::int32_t>::min()));
  }
}

void MidiEventQueue::Resize(int frames) {
  Compact();
  const int quantum = RoundUpToGranule(frames);
  const int capacity = std::max(quantum, RoundUpToGranule(back_));
  if (capacity != capacity_ && !Reallocate(capacity)) return;
  quantum_ = quantum;
}
