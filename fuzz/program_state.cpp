// A program state from outside (a host's program chunk, a program file, a bank) read into the
// instrument, then written again.
#include <cstdint>
#include <cstdlib>

#include "FuzzEnvironment.h"
#include "engine/Tarvolin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Tarvolin* plug = [] {
    UseOwnConfigurationFolder();
    return new Tarvolin(nullptr);
  }();
  ChunkBuffer chunk;
  chunk.Assign(data, static_cast<int>(size));
  const int end = plug->UnserializeProgramState(chunk, 0);
  if (end > static_cast<int>(size)) std::abort();
  for (int i = 0; i < plug->NParams(); ++i) {
    const Parameter& p = *plug->GetParam(i);
    if (!(p.Value() >= p.Min() && p.Value() <= p.Max())) std::abort();
  }
  ChunkBuffer out;
  plug->SerializeProgramState(out);
  // What was read reads back completely.
  if (plug->UnserializeProgramState(out, 0) != out.Size()) std::abort();
  return 0;
}
