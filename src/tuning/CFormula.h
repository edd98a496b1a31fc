#pragma once

#include <cstdint>
#include <string_view>

#include "tuning/SRVParam.h"

namespace TUN {

// Computes the frequency of one note (or, repeated, of a run of neighbouring notes) from the current
// frequencies of a scale: 2^(cents/1200) * base * multiplier / divisor + addend, or, with a direct
// frequency, a rescaling of the whole scale so that the note gets that frequency.
class CFormula {
 public:
  explicit CFormula(std::int32_t note) : note(note) {}
  CFormula(const CFormula&) = default;
  CFormula& operator=(const CFormula&) = default;
  virtual ~CFormula();

  // Reads the text form of a TUN functional tuning ("#>-1*1.5~12", "!261.63", ...). Whitespace is
  // ignored and an empty text leaves the defaults. False on an unknown operator or a number without
  // digits; the fields then hold what was read before.
  bool Parse(std::string_view text);

  // Every field except the note back to its default.
  void ResetFields();

  std::int32_t note;
  double directFrequency = 0.0;
  SRVParam base{SRVParam::kRelativeNote, 0, 0.0};
  double multiplier = 1.0;
  double divisor = 1.0;
  double cents = 0.0;
  SRVParam addend{SRVParam::kValue, 0, 0.0};
  std::int32_t repeat = 0;
};

}  // namespace TUN
