#pragma once

#include <cstdint>

namespace TUN {

// One operand of a formula: a fixed frequency, or the frequency of an absolute note or of a note
// relative to the one being computed.
class SRVParam {
 public:
  enum Kind : std::int32_t { kValue = 0, kAbsoluteNote = 1, kRelativeNote = 2 };

  SRVParam() = default;
  SRVParam(std::int32_t kind, std::int32_t note, double value) : kind(kind), note(note), value(value) {}
  SRVParam(const SRVParam&) = default;
  SRVParam& operator=(const SRVParam&) = default;
  virtual ~SRVParam();

  // Any kind other than an absolute or a relative note counts as a fixed value.
  bool RefersToNote() const { return kind == kAbsoluteNote || kind == kRelativeNote; }

  std::int32_t kind = kValue;
  std::int32_t note = 0;
  double value = 0.0;
};

}  // namespace TUN
