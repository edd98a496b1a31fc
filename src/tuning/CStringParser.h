#pragma once

#include <cstdint>
#include <istream>
#include <sstream>
#include <string>

namespace TUN {

// Reads the lines of a tuning text file. The file is taken as 8-bit bytes: NUL, CR and LF each end
// a line (so CR LF yields a line and then an empty one), as does the end of the stream, and every
// line is trimmed of blanks at both ends.
class CStringParser {
 public:
  CStringParser() = default;
  virtual ~CStringParser();

  // Tuning files are small; anything larger is refused (a few hundred kilobytes at most in practice).
  static constexpr std::uint64_t kMaxFileSize = 8u << 20;

  // Reads a file as bytes into in; false when it does not open, is no regular file (a folder, a
  // named pipe, a device) or is larger than kMaxFileSize.
  static bool Open(const std::string& path, std::istringstream& in);

  // False once the stream has ended or failed; otherwise reads one line into Line(). A read error
  // ends the line like the end of the stream does.
  bool ReadLine(std::istream& in);
  const std::string& Line() const { return line_; }
  // The first line-end character met in the text (0, 13 or 10), or -1 while none was met.
  int LineEnd() const { return lineEnd_; }

 private:
  int lineEnd_ = -1;
  std::string line_;
};

}  // namespace TUN
