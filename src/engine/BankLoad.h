#pragma once

#include <array>
#include <memory>
#include <string>

#include "engine/ProgramState.h"
#include "shell/ChunkBuffer.h"
#include "shell/PreparedState.h"

class Tarvolin;

// Reading a bank body into the 64 programs, in two steps, so that the plug-in lock is held only
// while the results are moved in.
//
// The bank's effect is that of reading its programs in turn into the live instrument, storing each
// back into its slot in the current layout, and recalling the current program at the end: Prepare
// works all of that out on an image of the instrument, on the calling thread, without the lock
// (but for a moment to look at the programs and the live state), and builds the wave tables the
// recalled program plays. Apply then, under the lock, swaps the new slots in and applies the final
// state as one program change.
class BankLoad {
 public:
  static std::unique_ptr<BankLoad> Prepare(Tarvolin& plug, const ChunkBuffer& chunk, int pos);

  // Moves the result in and answers true, with *end the position after the bank body (or -1) as
  // UnserializePresets answers it. False, with nothing changed, when the current program has
  // changed since Prepare (a MIDI program change in between): prepare again.
  bool Apply(Tarvolin& plug, int* end);

 private:
  static constexpr int kSlots = 64;

  struct Slot {
    enum Change { kNone, kName, kEmptied, kStored } change = kNone;
    std::string name;
    bool initialised = false;
    ChunkBuffer state;
    std::shared_ptr<const PreparedState> prepared;
  };

  int current_ = 0;
  int end_ = -1;
  bool recalled_ = false;
  // The temperament the tuning importer was last reset to on the way (-1: none).
  int lastTemperament_ = -1;
  std::array<Slot, kSlots> slots_;
  std::shared_ptr<const ProgramState::Prepared> final_;
};
