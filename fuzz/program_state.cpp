// A program state from outside (a host's program chunk, a program file, a bank) read into the
// instrument, then written again.
#include <cstdint>
#include <cstdlib>

#include "FuzzEnvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tarvolin* plug = &FuzzInstrument();
  ChunkBuffer chunk;
  chunk.Assign(data, static_cast<int>(size));
  const int end = plug->UnserializeProgramState(chunk, 0);
  if (end > static_cast<int>(size)) std::abort();
  RequireParametersInRange(*plug);
  ChunkBuffer out;
  plug->SerializeProgramState(out);
  // What was read reads back completely.
  if (plug->UnserializeProgramState(out, 0) != out.Size()) std::abort();
  return 0;
}
