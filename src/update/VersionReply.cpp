#include "update/VersionReply.h"

#include <climits>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

long LeadingNumber(std::string_view reply) {
  long n = 0;
  for (char c : reply) {
    if (!IsDigit(c)) break;
    const int digit = c - '0';
    if (n > (LONG_MAX - digit) / 10) return LONG_MAX;
    n = n * 10 + digit;
  }
  return n;
}

// "1106" reads 1.1.6 and "1110" 1.1.10: major and minor digit, then the patch number without its
// leading zero. Only the reply's first line counts, without trailing blanks, so that a line end
// sent after the number does not end up in the question.
std::string VersionText(std::string_view reply) {
  const std::size_t lineEnd = reply.find_first_of("\r\n");
  std::string_view line = reply.substr(0, lineEnd);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  // The caller guarantees at least four leading digits (the number is at least 1106).
  std::string text;
  text += line[0];
  text += '.';
  text += line[1];
  text += '.';
  text += line.substr(line[2] == '0' ? 3 : 2);
  return text;
}

}  // namespace

VersionReply VersionReply::Evaluate(std::string_view reply) {
  VersionReply result;
  if (reply.empty()) return result;
  if (reply.find('<') != std::string_view::npos) {
    result.kind = Kind::kWebPage;
    return result;
  }
  result.number = LeadingNumber(reply);
  if (result.number <= kOwnVersionNumber) {
    result.kind = Kind::kUpToDate;
    return result;
  }
  result.kind = Kind::kNewVersion;
  result.versionText = VersionText(reply);
  return result;
}
