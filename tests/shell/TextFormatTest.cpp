#include "shell/TextFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <string>

TEST(TextFormat, CopyTextIsBoundedAndTerminated) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(CopyText(buffer, "abcdefghij", 5), 5u);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(buffer[6], 'x');
  EXPECT_EQ(CopyText(buffer, std::string_view("ab\0cd", 5), 7), 2u);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(CopyText(nullptr, "abc", 3), 0u);
  EXPECT_EQ(CopyText(buffer, "", 7), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST(TextFormat, NumbersAsPrintfWouldWriteThemInTheCLocale) {
  char text[32];
  auto fixed = [&](double v, int d) {
    FormatFixed(v, d, text, sizeof text);
    return std::string(text);
  };
  EXPECT_EQ(fixed(0.125, 2), "0.12");  // round half to even, as printf
  EXPECT_EQ(fixed(0.126, 2), "0.13");
  EXPECT_EQ(fixed(-6.0206, 1), "-6.0");
  EXPECT_EQ(fixed(-0.001, 0), "-0");
  char wide[400];
  FormatFixed(1e300, 6, wide, sizeof wide);
  EXPECT_EQ(std::strlen(wide), 301u + 7u);
  FormatFixed(1e300, 2, text, 5);
  EXPECT_STREQ(text, "1000");
  EXPECT_EQ(fixed(NAN, 2), "nan");
  FormatInt(-2147483648LL, text, sizeof text);
  EXPECT_STREQ(text, "-2147483648");
  EXPECT_EQ(TruncateToInt(-3.9), -3);
  EXPECT_EQ(TruncateToInt(NAN), 0);
  EXPECT_EQ(TruncateToInt(1e20), 2147483647);
  EXPECT_EQ(TruncateToInt(-1e20), -2147483647 - 1);
}

TEST(TextFormat, ParseDoubleFollowsAtof) {
  EXPECT_EQ(ParseDouble("  -2.5e1xyz"), -25.0);
  EXPECT_EQ(ParseDouble("+7"), 7.0);
  EXPECT_EQ(ParseDouble(".5"), 0.5);
  EXPECT_EQ(ParseDouble("x1"), 0.0);
  EXPECT_EQ(ParseDouble(""), 0.0);
  EXPECT_EQ(ParseDouble("--1"), 0.0);
  EXPECT_TRUE(std::isinf(ParseDouble("1e999")));
  EXPECT_EQ(ParseDouble("1e-999"), 0.0);
}

TEST(TextFormat, DecimalPointDoesNotFollowTheThreadLocale) {
  // A host running in a locale whose decimal separator is a comma must not change our texts.
  locale_t comma = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
  if (comma == static_cast<locale_t>(0)) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const locale_t previous = uselocale(comma);
  char text[32];
  FormatFixed(1.5, 1, text, sizeof text);
  const double parsed = ParseDouble("2.25");
  uselocale(previous);
  freelocale(comma);
  EXPECT_STREQ(text, "1.5");
  EXPECT_EQ(parsed, 2.25);
}
