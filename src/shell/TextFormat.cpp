#include "shell/TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

std::size_t CopyText(char* out, std::string_view text, std::size_t maxChars) {
  if (out == nullptr) return 0;
  std::size_t n = text.size() < maxChars ? text.size() : maxChars;
  // A zero inside the view ends the text as a C string would.
  const void* zero = std::memchr(text.data(), 0, n);
  if (zero != nullptr) n = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
  if (n > 0) std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return n;
}

std::size_t BoundedLength(const char* text, std::size_t maxChars) {
  if (text == nullptr) return 0;
  const void* zero = std::memchr(text, 0, maxChars);
  return zero == nullptr ? maxChars : static_cast<std::size_t>(static_cast<const char*>(zero) - text);
}

void ToLowerAscii(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

namespace {

bool Finish(const char* begin, const char* end, char* out, std::size_t capacity) {
  const std::size_t n = static_cast<std::size_t>(end - begin);
  const std::size_t fit = n < capacity - 1 ? n : capacity - 1;
  std::memcpy(out, begin, fit);
  out[fit] = '\0';
  return true;
}

}  // namespace

bool FormatFixed(double value, int decimals, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  if (decimals < 0) decimals = 0;
  if (decimals > 6) decimals = 6;
  if (std::isnan(value)) {
    const char* text = "nan";
    return Finish(text, text + 3, out, capacity);
  }
  if (std::isinf(value)) {
    const char* text = value < 0 ? "-inf" : "inf";
    return Finish(text, text + std::strlen(text), out, capacity);
  }
  // Enough for every finite double in fixed notation with six decimals.
  char buffer[320];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return Finish("", "", out, capacity);
  return Finish(buffer, result.ptr, out, capacity);
}

bool FormatInt(long long value, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return Finish(buffer, result.ptr, out, capacity);
}

double ParseDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars takes no sign of its own here, so that "+5" and "- 5" behave as atof does.
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
  double value = 0.0;
  const char* begin = text.data() + i;
  const auto result = std::from_chars(begin, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small: tell the two apart by the exponent's sign, as strtod would answer.
    const std::string_view number(begin, static_cast<std::size_t>(result.ptr - begin));
    const std::size_t e = number.find_first_of("eE");
    const bool underflow = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
    value = underflow ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}
