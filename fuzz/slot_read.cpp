// User wave-table slot read from an arbitrary state chunk, then selected and written back.
#include <cstddef>
#include <cstdint>

#include "shell/ChunkBuffer.h"
#include "wavetable/WaveTableStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;  // up to 16 waves: keeps each run quick
  ChunkBuffer chunk;
  chunk.Assign(data, static_cast<int>(size));
  static WaveTableStore store;
  store.SetConstructing(false);
  int pos = 0;
  for (int j = 0; j < 3 && pos >= 0; ++j) pos = store.Slot(j).Read(chunk, pos);
  // Building from the slot reads only what it holds.
  store.Select(0, 65531);
  store.FinishPending();
  ChunkBuffer out;
  store.Slot(0).Write(out);
  return 0;
}
