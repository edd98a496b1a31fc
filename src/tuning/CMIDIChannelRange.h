#pragma once

#include <cstdint>
#include <string_view>

namespace TUN {

// A range of MIDI channels a TUN file assigns its tuning to, 1 <= first <= last <= 65535.
class CMIDIChannelRange {
 public:
  CMIDIChannelRange() = default;
  CMIDIChannelRange(std::int32_t first, std::int32_t last) : first(first), last(last) {}
  CMIDIChannelRange(const CMIDIChannelRange&) = default;
  CMIDIChannelRange& operator=(const CMIDIChannelRange&) = default;
  virtual ~CMIDIChannelRange();

  // Reads "a" or "a-b" (whitespace ignored; text after b is not read). False, leaving the range
  // unchanged, on a syntax error or values outside 1 <= a <= b <= 65535.
  bool Parse(std::string_view text);

  std::int32_t first = 1;
  std::int32_t last = 1;
};

}  // namespace TUN
