#include "tuning/CStringParser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& bytes, int* lineEnd = nullptr) {
  std::istringstream in(bytes);
  TUN::CStringParser parser;
  std::vector<std::string> lines;
  while (parser.ReadLine(in)) lines.push_back(parser.Line());
  if (lineEnd != nullptr) *lineEnd = parser.LineEnd();
  return lines;
}

using V = std::vector<std::string>;

}  // namespace

TEST(CStringParser, CrLfYieldsAnEmptyLineAfterEachLine) {
  int end = 0;
  EXPECT_EQ(Lines("a\r\nb\r\n", &end), (V{"a", "", "b", "", ""}));
  EXPECT_EQ(end, '\r');
  EXPECT_EQ(Lines("a\nb\n", &end), (V{"a", "b", ""}));
  EXPECT_EQ(end, '\n');
}

TEST(CStringParser, LastLineWithoutLineEndAndEmptyStream) {
  EXPECT_EQ(Lines("a\nb"), (V{"a", "b"}));
  // An empty stream still yields one empty line, which every reader skips.
  int end = 0;
  EXPECT_EQ(Lines("", &end), (V{""}));
  EXPECT_EQ(end, -1);
}

TEST(CStringParser, NulEndsALineAndBlanksAreTrimmed) {
  EXPECT_EQ(Lines(std::string("ab\0cd\0", 6)), (V{"ab", "cd", ""}));
  EXPECT_EQ(Lines(" \t x  y \v\f\n\t\t\n"), (V{"x  y", "", ""}));
}

TEST(CStringParser, BytesAboveAsciiAreKept) {
  EXPECT_EQ(Lines("\xFC" "ber \xE4\n"), (V{"\xFC" "ber \xE4", ""}));
}

TEST(CStringParser, LineOfSeveralMegabytes) {
  std::string big(4 << 20, 'x');
  const auto lines = Lines(big + "\nnext");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), big.size());
  EXPECT_EQ(lines[1], "next");
}

// A buffer that delivers some bytes and then fails the way a file buffer does on a read error.
class FailingBuffer : public std::streambuf {
 public:
  FailingBuffer() { setg(data_, data_, data_ + 6); }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  char data_[7] = "ab\ncd ";
};

TEST(CStringParser, ReadErrorEndsTheText) {
  FailingBuffer buffer;
  std::istream in(&buffer);
  TUN::CStringParser parser;
  ASSERT_TRUE(parser.ReadLine(in));
  EXPECT_EQ(parser.Line(), "ab");
  ASSERT_TRUE(parser.ReadLine(in));
  EXPECT_EQ(parser.Line(), "cd");
  EXPECT_FALSE(parser.ReadLine(in));
}

TEST(CStringParser, FailedStreamYieldsNothing) {
  std::istringstream in("abc");
  in.setstate(std::ios::failbit);
  TUN::CStringParser parser;
  EXPECT_FALSE(parser.ReadLine(in));
}
