#pragma once

#include <atomic>
#include <cstdint>

#include "engine/PitchFunction.h"

// The pitch at which a voice starts each MIDI note. Written entry by entry by the thread that
// selects or loads a tuning while the audio thread may read it at note starts: each entry is a
// relaxed atomic, so a note that starts during a rewrite takes the old or the new pitch of its own
// entry, never a torn value, and neither side waits.
class ActiveTuningTable {
 public:
  static constexpr int kNotes = 128;
  static_assert(std::atomic<std::int32_t>::is_always_lock_free);

  ActiveTuningTable() { FillEqual(); }
  ActiveTuningTable(const ActiveTuningTable&) = delete;
  ActiveTuningTable& operator=(const ActiveTuningTable&) = delete;

  // Pitch of note 0-127; 0 for any other note.
  std::int32_t Get(int note) const {
    if (note < 0 || note >= kNotes) return 0;
    return pitch_[note].load(std::memory_order_relaxed);
  }
  void Set(int note, std::int32_t pitch) {
    if (note >= 0 && note < kNotes) pitch_[note].store(pitch, std::memory_order_relaxed);
  }
  void Assign(const std::int32_t (&pitches)[kNotes]) {
    for (int n = 0; n < kNotes; ++n) pitch_[n].store(pitches[n], std::memory_order_relaxed);
  }
  void CopyTo(std::int32_t (&pitches)[kNotes]) const {
    for (int n = 0; n < kNotes; ++n) pitches[n] = pitch_[n].load(std::memory_order_relaxed);
  }
  // Equal temperament: note n at 128 * n.
  void FillEqual() {
    for (int n = 0; n < kNotes; ++n) pitch_[n].store(n * kPitchUnitsPerSemitone, std::memory_order_relaxed);
  }

 private:
  std::atomic<std::int32_t> pitch_[kNotes];
};
