#pragma once

#include <array>
#include <cstdint>

// The notes whose keys are held, with their velocities: what the render loop returns to when a key
// is released in mono or unison playing. A fixed table over the 128 MIDI notes, so that recording
// and releasing notes never allocates on the audio thread.
class HeldNoteMap {
 public:
  static constexpr int kNotes = 128;

  // velocity > 0 records the note (replacing its velocity); velocity <= 0 removes it. Notes outside
  // 0 ... 127 are ignored.
  void Record(int note, int velocity) {
    if (note < 0 || note >= kNotes) return;
    auto& slot = velocity_[static_cast<std::size_t>(note)];
    if (velocity > 0) {
      if (slot == 0) ++count_;
      slot = static_cast<std::int16_t>(velocity > 32767 ? 32767 : velocity);
    } else {
      Remove(note);
    }
  }
  void Remove(int note) {
    if (note < 0 || note >= kNotes) return;
    auto& slot = velocity_[static_cast<std::size_t>(note)];
    if (slot != 0) --count_;
    slot = 0;
  }
  void Clear() {
    velocity_.fill(0);
    count_ = 0;
  }

  bool Empty() const { return count_ == 0; }
  int Count() const { return count_; }
  bool Held(int note) const { return Velocity(note) > 0; }
  // Velocity of a held note, 0 when it is not held.
  int Velocity(int note) const {
    return note >= 0 && note < kNotes ? velocity_[static_cast<std::size_t>(note)] : 0;
  }
  // The highest held note, -1 when none is held.
  int Highest() const {
    if (count_ == 0) return -1;
    for (int n = kNotes - 1; n >= 0; --n) {
      if (velocity_[static_cast<std::size_t>(n)] > 0) return n;
    }
    return -1;
  }

 private:
  std::array<std::int16_t, kNotes> velocity_{};
  int count_ = 0;
};
