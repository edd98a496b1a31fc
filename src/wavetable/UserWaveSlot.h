#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wavetable/UserWaveContent.h"

class ChunkBuffer;

// One of the three user wave-table slots: raw 16-bit waves loaded from a file (2048 samples per
// wave) and a display name, held as a shared, immutable UserWaveContent (nothing while the slot is
// empty). A slot changes only by a file import (Set) or a state restore (Read, Assign); the wave
// table that selects it is built from the content once and reused on every later selection.
class UserWaveSlot {
 public:
  std::uint32_t Length() const { return content_ ? content_->Length() : 0u; }
  bool Empty() const { return !content_; }
  const std::int16_t* Samples() const { return content_ ? content_->Samples() : nullptr; }
  const std::string& Name() const;
  const std::shared_ptr<const UserWaveContent>& Content() const { return content_; }

  // No samples, empty name.
  void Clear() { content_.reset(); }
  // Takes another content (nullptr: empty); answers the one held before, for the caller to release
  // where releasing is allowed.
  std::shared_ptr<const UserWaveContent> Assign(std::shared_ptr<const UserWaveContent> content) {
    content_.swap(content);
    return content;
  }

  // Replaces the samples by count values, each clamped to -1 ... 1 (NaN counts as 0), scaled by
  // 32767 and truncated toward zero, and sets the name; the table is built at once, on the calling
  // thread, so that selecting the slot afterwards finds it. Answers false (slot unchanged) when
  // memory runs out. Not for the audio thread.
  bool Set(const float* values, int count, const std::string& name);
  // The content Set would store, without storing it.
  static std::shared_ptr<const UserWaveContent> MakeContent(const float* values, int count, const std::string& name);

  // Appends length (uint32), the samples (int16 each) and the name (int32 count + bytes).
  void Write(ChunkBuffer& chunk) const;
  static void Write(const UserWaveContent* content, ChunkBuffer& chunk);

  // Reads what Write appends, starting at pos. Answers the position after the name, or -1 when the
  // chunk ends before the length, inside the samples or inside the name; the slot is then left
  // empty with an empty name. A name count below 1 gives an empty name. The table is not built.
  int Read(const ChunkBuffer& chunk, int pos);
  // The same, into *content (nullptr for an empty slot, for a failure and when memory runs out).
  static int Read(const ChunkBuffer& chunk, int pos, std::shared_ptr<const UserWaveContent>* content);

 private:
  std::shared_ptr<const UserWaveContent> content_;
};
