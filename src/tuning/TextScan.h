#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Locale-independent scanning of the text of tuning files. Every function looks at 8-bit characters
// as unsigned values, so bytes above 127 are ordinary non-blank, non-digit, non-letter characters.
namespace TUN::text {

// The blanks the line reader and the formula reader remove: space, TAB, LF, VT, FF, CR.
constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s);
std::string ToLower(std::string_view s);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// An optional sign followed by decimal digits at the start of s (no blanks skipped). Values beyond
// the 32-bit range saturate. Answers the number of characters taken, 0 when there are no digits (the
// value is then 0, as with strtol).
std::size_t ScanInteger(std::string_view s, std::int32_t* value);

// A decimal number at the start of s: optional sign, digits, optional fraction, optional exponent
// (taken only when digits follow the "e"). At least one digit must stand in the digits or the
// fraction. Values too large for a double become infinite, values too small become zero, as with
// strtod. Answers the number of characters taken, 0 when there is no number (the value is then 0).
std::size_t ScanDecimal(std::string_view s, double* value);

// The whole of s is an integer (or a decimal number).
bool ParseWholeInteger(std::string_view s, std::int32_t* value);
bool ParseWholeDecimal(std::string_view s, double* value);

// s without a leading run of blanks.
std::string_view SkipBlanks(std::string_view s);

}  // namespace TUN::text
