#pragma once

#include <cstdint>
#include <string_view>

class ChunkBuffer;
class Tarvolin;

// One program of the instrument as bytes: what a program slot, a host's program chunk, an FXP file
// and every program of a bank hold. Little-endian, in this order:
//
//   tag "Tarvolin_1.1.3" (14 bytes, no terminator)    marks this layout; older states start at
//                                                     the parameter values
//   program index (int32), program name (string)      written for reference, skipped when read
//   153 parameter values (float64, plain)             the reserved ones always 0
//   tuning block (516 bytes)                          selection, user tuning name and table
//   user wave-table count (uint8, 3), then per slot   present (uint8) and, when present, the slot
//   extension size (int32, 4), writer build (int32)
//
// A user wave-table slot is stored only when it holds samples and some oscillator plays it.
class ProgramState {
 public:
  static constexpr std::string_view kTag = "Tarvolin_1.1.3";
  static constexpr std::int32_t kExtensionSize = 4;
  // Build number of the writer: this one, and the one that wrote the factory bank.
  static constexpr std::int32_t kWriterBuild = 1105;
  static constexpr std::int32_t kFactoryWriterBuild = 1103;
  static constexpr std::uint8_t kUserSlotCount = 3;

  // Appends the live state of plug; answers whether the chunk is non-empty. Sets the reserved
  // parameters to 0 on the way (silently: they mean nothing).
  static bool Write(Tarvolin& plug, ChunkBuffer& chunk);

  // Reads a state at pos and applies it to plug: the parameters (each clamped to its range, the
  // first missing one taken as 0 and the rest left as they are), the tuning, the user wave-table
  // slots. Answers the position after the state, or -1 when it ends early (what could be read stays
  // applied). A state claiming more user slots than the instrument has fills the three it has and
  // steps over the others.
  static int Read(Tarvolin& plug, const ChunkBuffer& chunk, int pos);
};
