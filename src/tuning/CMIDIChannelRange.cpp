#include "tuning/CMIDIChannelRange.h"

#include <string>

#include "tuning/TextScan.h"

namespace TUN {

CMIDIChannelRange::~CMIDIChannelRange() = default;

bool CMIDIChannelRange::Parse(std::string_view input) {
  std::string compact;
  for (char c : input) {
    if (!text::IsBlank(c)) compact.push_back(c);
  }
  std::string_view s = compact;
  std::int32_t a = 0;
  const std::size_t usedA = text::ScanInteger(s, &a);
  if (usedA == 0) return false;
  s.remove_prefix(usedA);
  std::int32_t b = a;
  if (!s.empty()) {
    if (s[0] != '-') return false;
    if (text::ScanInteger(s.substr(1), &b) == 0) return false;
  }
  if (a < 1 || a > b || b > 65535) return false;
  first = a;
  last = b;
  return true;
}

}  // namespace TUN
