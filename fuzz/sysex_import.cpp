// Blofield SysEx description and decoding on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wavetable/UserWaveSlot.h"
#include "wavetable/WaveTableImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WaveTableFileDescription description = DescribeSysEx(data, size < 5 ? size : 5, size, "fuzz.syx");
  (void)description;
  std::vector<float> waves;
  if (DecodeSysExWaves(data, size, &waves)) {
    // What a slot would take (its table is built only where it is played).
    UserWaveSlot::MakeContent(waves.data(), static_cast<int>(waves.size()), "fuzz.syx");
  }
  return 0;
}
