#include "tuning/CStringParser.h"

#include <streambuf>
#include <utility>

#include "shell/UserFile.h"
#include "tuning/TextScan.h"

namespace TUN {

CStringParser::~CStringParser() = default;

bool CStringParser::Open(const std::string& path, std::istringstream& in) {
  std::string bytes;
  if (UserFile::ReadWhole(path, kMaxFileSize, &bytes) != UserFile::Result::kRead) return false;
  in.str(std::move(bytes));
  in.clear();
  return true;
}

bool CStringParser::ReadLine(std::istream& in) {
  if (!in.good() || in.rdbuf() == nullptr) return false;
  line_.clear();
  std::streambuf* buffer = in.rdbuf();
  for (;;) {
    int c = std::char_traits<char>::eof();
    try {
      c = buffer->sbumpc();
    } catch (...) {
      // The file buffer reports read errors by throwing; never let that reach the host.
      in.setstate(std::ios::badbit);
      break;
    }
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      break;
    }
    if (c == 0 || c == '\r' || c == '\n') {
      if (lineEnd_ < 0) lineEnd_ = c;
      break;
    }
    line_.push_back(static_cast<char>(c));
  }
  std::size_t end = line_.size();
  while (end > 0 && text::IsBlank(line_[end - 1])) --end;
  line_.erase(end);
  std::size_t begin = 0;
  while (begin < line_.size() && text::IsBlank(line_[begin])) ++begin;
  line_.erase(0, begin);
  return true;
}

}  // namespace TUN
