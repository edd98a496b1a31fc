#include "tuning/TextScan.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace TUN::text {

std::string_view Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToLower(c);
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
}

std::string_view SkipBlanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::size_t ScanInteger(std::string_view s, std::int32_t* value) {
  *value = 0;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const std::size_t firstDigit = i;
  // Accumulate with a ceiling above the 32-bit range, so that long digit runs cannot overflow.
  constexpr std::int64_t kCeiling = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (magnitude < kCeiling) magnitude = magnitude * 10 + (s[i] - '0');
    ++i;
  }
  if (i == firstDigit) return 0;
  const std::int64_t v = negative ? -magnitude : magnitude;
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  *value = static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
  return i;
}

namespace {

// Decimal magnitude of a scanned number that did not fit a double: positive when it overflowed.
bool OverflowsUpward(std::string_view digits) {
  // Position of the first non-zero digit relative to the decimal point, plus the exponent.
  std::int64_t position = 0;
  bool seenPoint = false;
  bool seenNonZero = false;
  std::size_t i = 0;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) ++i;
  for (; i < digits.size(); ++i) {
    const char c = digits[i];
    if (c == '.') {
      seenPoint = true;
    } else if (IsDigit(c)) {
      if (!seenNonZero && c != '0') seenNonZero = true;
      if (seenNonZero && !seenPoint) ++position;
      if (!seenNonZero && seenPoint) --position;
    } else {
      break;  // 'e' or 'E'
    }
  }
  std::int32_t exponent = 0;
  if (i < digits.size()) ScanInteger(digits.substr(i + 1), &exponent);
  return position + exponent > 0;
}

}  // namespace

std::size_t ScanDecimal(std::string_view s, double* value) {
  *value = 0.0;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const std::size_t mantissaStart = i;
  std::size_t digitCount = 0;
  while (i < s.size() && IsDigit(s[i])) {
    ++i;
    ++digitCount;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      ++i;
      ++digitCount;
    }
  }
  if (digitCount == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  const std::string_view number = s.substr(mantissaStart, i - mantissaStart);
  double v = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), v,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    v = OverflowsUpward(number) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
    return 0;  // not reached for the patterns scanned above
  }
  *value = negative ? -v : v;
  return i;
}

bool ParseWholeInteger(std::string_view s, std::int32_t* value) {
  std::int32_t v = 0;
  const std::size_t n = ScanInteger(s, &v);
  if (n == 0 || n != s.size()) return false;
  *value = v;
  return true;
}

bool ParseWholeDecimal(std::string_view s, double* value) {
  double v = 0.0;
  const std::size_t n = ScanDecimal(s, &v);
  if (n == 0 || n != s.size()) return false;
  *value = v;
  return true;
}

}  // namespace TUN::text
