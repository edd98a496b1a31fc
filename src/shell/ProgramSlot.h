#pragma once

#include <string>

#include "shell/ChunkBuffer.h"

// One of the programs: a name and a serialised copy of the whole sound state.
struct ProgramSlot {
  static constexpr std::size_t kMaxNameLength = 255;

  bool initialised = false;
  std::string name = "empty";
  ChunkBuffer state;
};
