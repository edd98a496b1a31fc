#pragma once

#include <memory>
#include <string>

#include "shell/ChunkBuffer.h"
#include "shell/PreparedState.h"

// One of the programs: a name and a serialised copy of the whole sound state.
struct ProgramSlot {
  static constexpr std::size_t kMaxNameLength = 255;

  bool initialised = false;
  std::string name = "empty";
  ChunkBuffer state;
  // The same state read ahead, when the product class keeps one: recalling the program applies it
  // without reading bytes, building or allocating (so a MIDI program change may happen on the audio
  // thread). Whoever writes state writes this too (or clears it).
  std::shared_ptr<const PreparedState> prepared;
};
