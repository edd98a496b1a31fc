#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ChunkBuffer;

// One of the three user wave-table slots: raw 16-bit waves loaded from a file (2048 samples per
// wave) and a display name. A slot changes only by a file import (Set) or a state restore (Read);
// the wave table that selects it is rebuilt from these samples each time it is selected.
class UserWaveSlot {
 public:
  std::uint32_t Length() const { return static_cast<std::uint32_t>(samples_.size()); }
  bool Empty() const { return samples_.empty(); }
  const std::int16_t* Samples() const { return samples_.data(); }
  const std::string& Name() const { return name_; }

  // No samples, empty name.
  void Clear();

  // Replaces the samples by count values, each clamped to -1 ... 1 (NaN counts as 0), scaled by
  // 32767 and truncated toward zero, and sets the name. Answers false (slot unchanged) when memory
  // runs out.
  bool Set(const float* values, int count, const std::string& name);

  // Appends length (uint32), the samples (int16 each) and the name (int32 count + bytes).
  void Write(ChunkBuffer& chunk) const;

  // Reads what Write appends, starting at pos. Answers the position after the name, or -1 when the
  // chunk ends before the length, inside the samples or inside the name; the slot is then left
  // empty with an empty name. A name count below 1 gives an empty name.
  int Read(const ChunkBuffer& chunk, int pos);

 private:
  std::vector<std::int16_t> samples_;
  std::string name_;
};
