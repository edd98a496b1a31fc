#include "tuning/CFormula.h"

#include <string>

#include "tuning/TextScan.h"

namespace TUN {

SRVParam::~SRVParam() = default;
CFormula::~CFormula() = default;

void CFormula::ResetFields() {
  directFrequency = 0.0;
  base = SRVParam(SRVParam::kRelativeNote, 0, 0.0);
  multiplier = 1.0;
  divisor = 1.0;
  cents = 0.0;
  addend = SRVParam(SRVParam::kValue, 0, 0.0);
  repeat = 0;
}

namespace {

// "=" integer (absolute note), ">" integer (relative note) or a frequency in Hz.
std::size_t ScanOperand(std::string_view s, SRVParam* out) {
  if (!s.empty() && (s[0] == '=' || s[0] == '>')) {
    std::int32_t n = 0;
    const std::size_t used = text::ScanInteger(s.substr(1), &n);
    if (used == 0) return 0;
    *out = SRVParam(s[0] == '=' ? SRVParam::kAbsoluteNote : SRVParam::kRelativeNote, n, 0.0);
    return used + 1;
  }
  double v = 0.0;
  const std::size_t used = text::ScanDecimal(s, &v);
  if (used == 0) return 0;
  *out = SRVParam(SRVParam::kValue, 0, v);
  return used;
}

}  // namespace

bool CFormula::Parse(std::string_view input) {
  std::string compact;
  compact.reserve(input.size());
  for (char c : input) {
    if (!text::IsBlank(c)) compact.push_back(c);
  }
  std::string_view s = compact;
  while (!s.empty()) {
    const char op = s[0];
    s.remove_prefix(1);
    std::size_t used = 0;
    switch (op) {
      case '!': {
        double hz = 0.0;
        if (text::ScanDecimal(s, &hz) == 0) return false;
        ResetFields();
        directFrequency = hz;
        return true;  // nothing after the direct frequency is read
      }
      case '#':
        used = ScanOperand(s, &base);
        break;
      case '+':
        used = ScanOperand(s, &addend);
        break;
      case '%':
        used = text::ScanDecimal(s, &cents);
        break;
      case '*':
        used = text::ScanDecimal(s, &multiplier);
        break;
      case '/':
        used = text::ScanDecimal(s, &divisor);
        break;
      case '~': {
        std::int32_t r = 0;
        used = text::ScanInteger(s, &r);
        if (used == 0) break;
        // A repeat that runs past either end of the note range becomes an open walk to that end.
        const std::int64_t end = std::int64_t{note} + r;
        if (end < 0) {
          r = -999;
        } else if (end >= 128) {
          r = 999;
        }
        repeat = r;
        break;
      }
      default:
        return false;
    }
    if (used == 0) return false;
    s.remove_prefix(used);
  }
  return true;
}

}  // namespace TUN
