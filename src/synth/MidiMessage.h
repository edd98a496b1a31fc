#pragma once

#include <cstdint>

// One short MIDI message with its sample offset inside the current block.
struct MidiMessage {
  std::int32_t offset = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;

  // High nibble of the status: 8 note off, 9 note on, 10 poly pressure, 11 controller,
  // 12 program change, 13 channel pressure, 14 pitch bend.
  int Kind() const { return status >> 4; }
};

// One SysEx dump; the bytes belong to the host and are valid only during the call that delivers it.
struct SysExMessage {
  std::int32_t offset = 0;
  std::int32_t size = 0;
  const std::uint8_t* bytes = nullptr;
};
