// A bank body (host bank chunk, FXB file, factory bank) read into the program slots.
#include <cstdint>
#include <cstdlib>

#include "FuzzEnvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tarvolin* plug = &FuzzInstrument();
  ChunkBuffer chunk;
  chunk.Assign(data, static_cast<int>(size));
  plug->UnserializePresets(chunk, 0);
  // Every initialised slot holds a state that reads back.
  for (int i = 0; i < plug->NPrograms(); ++i) {
    const ProgramSlot& slot = *plug->GetProgram(i);
    if (slot.name.size() > ProgramSlot::kMaxNameLength) std::abort();
    if (slot.initialised && !plug->RecallProgram(i)) std::abort();
  }
  ChunkBuffer out;
  plug->SerializePresets(out);
  return 0;
}
