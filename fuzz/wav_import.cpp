// WAV reader, description and wave loading on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wavetable/UserWaveSlot.h"
#include "wavetable/WavReader.h"
#include "wavetable/WaveTableImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WavReader reader;
  if (!reader.ReadWavData(data, size)) return 0;
  const WaveTableFileDescription description = DescribeWav(reader);
  (void)description;
  // Read a few samples straight, whatever the channel count.
  float some[64];
  reader.ReadWavSamples(some, 64);
  std::vector<float> waves;
  if (ReadWavWaves(reader, &waves)) {
    // What a slot would take (its table is built only where it is played).
    UserWaveSlot::MakeContent(waves.data(), static_cast<int>(waves.size()), "fuzz.wav");
  }
  return 0;
}
