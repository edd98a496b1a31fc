#include "shell/Parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string Display(const Parameter& p, double value, bool normalised = false, bool texts = true) {
  char text[kParameterTextSize];
  p.GetDisplay(value, normalised, texts, text, sizeof text);
  return text;
}

Parameter MakeDouble(double min, double max, double def, double step, double shape) {
  Parameter p;
  p.InitDouble("P", def, min, max, step, shape);
  return p;
}

const char* const kThree[] = {"Low", "Mid", "High"};

}  // namespace

TEST(Parameter, DoubleKeepsTheExactCurveValueAndShowsTheStepsDecimals) {
  Parameter p = MakeDouble(0, 1, 0, 0.01, 1);
  EXPECT_EQ(p.Kind(), ParameterKind::Double);
  p.SetFromNormalised(0.126);
  EXPECT_DOUBLE_EQ(p.Value(), 0.126);
  EXPECT_EQ(Display(p, p.Value()), "0.13");
  EXPECT_DOUBLE_EQ(p.GetNormalised(), 0.126);
}

TEST(Parameter, IntegerKindsRoundHalfUpToTheStep) {
  Parameter p;
  p.SetKindInt();
  p.InitDouble("Id", 0, 0, 65535, 1, 1);
  EXPECT_EQ(p.Kind(), ParameterKind::Int);  // init-double keeps an earlier Int
  p.SetFromNormalised(0.5);
  EXPECT_EQ(p.Value(), 32768.0);
  EXPECT_EQ(Display(p, p.Value()), "32768");
}

TEST(Parameter, EnumerationRoundsToTheNearestTextAndShowsIt) {
  Parameter p;
  p.InitEnum("Range", 0, 3, kThree);
  EXPECT_EQ(p.Kind(), ParameterKind::Enum);
  EXPECT_EQ(p.Max(), 2.0);
  ASSERT_EQ(p.DisplayTexts().size(), 3u);
  p.SetFromNormalised(0.74);
  EXPECT_EQ(p.Value(), 1.0);
  EXPECT_EQ(Display(p, p.Value()), "Mid");
  p.SetFromNormalised(0.76);
  EXPECT_EQ(p.Value(), 2.0);
  EXPECT_EQ(Display(p, p.Value()), "High");
  EXPECT_EQ(Display(p, p.Value(), false, false), "2");
  EXPECT_STREQ(p.GetLabelForHost(), "");
}

TEST(Parameter, EmptyDisplayTextFallsBackToTheNumberAndTheLabel) {
  const char* const texts[] = {"Zero", ""};
  Parameter p;
  p.InitEnum("Gap", 1, 2, texts);
  EXPECT_EQ(Display(p, 1.0), "1");
  EXPECT_STREQ(p.GetLabelForHost(), "");  // the label field itself is empty
  double v = -1;
  EXPECT_TRUE(p.TextToValue("Zero", &v));
  EXPECT_EQ(v, 0.0);
}

TEST(Parameter, InitialisationRules) {
  Parameter zeroRange = MakeDouble(0, 0, 0, 1, 1);
  EXPECT_EQ(zeroRange.Max(), 1.0);
  EXPECT_EQ(MakeDouble(0, 1, 0, 0.001, 1).DisplayPrecision(), 3);
  EXPECT_EQ(MakeDouble(0, 1, 0, 0.005, 1).DisplayPrecision(), 3);
  EXPECT_EQ(MakeDouble(0, 1, 0, 0.01, 1).DisplayPrecision(), 2);
  EXPECT_EQ(MakeDouble(0, 1, 0, 1.0 / 3.0, 1).DisplayPrecision(), 6);
  EXPECT_EQ(MakeDouble(0, 10, 0, 1, 1).DisplayPrecision(), 0);
  EXPECT_EQ(MakeDouble(0, 1, 0, 0.01, 0).Shape(), 1.0);  // shape 0 keeps the linear curve
  Parameter p = MakeDouble(-1, 1, 0.25, 0.01, 1);
  EXPECT_EQ(p.Value(), 0.25);
  EXPECT_STREQ(p.Name(), "P");
  Parameter longName;
  longName.InitDouble("A name that is far longer than any field holds", 0, 0, 1, 1, 1);
  EXPECT_EQ(std::string(longName.Name()).size(), kParameterTextSize - 1);
}

TEST(Parameter, NormalisationClampsAndFollowsTheShape) {
  Parameter p = MakeDouble(0, 1, 0, 0.01, 4);
  EXPECT_EQ(p.ToNormalised(2.0), 1.0);
  EXPECT_EQ(p.ToNormalised(-2.0), 0.0);
  p.SetFromNormalised(0.707);
  EXPECT_NEAR(p.Value(), 0.25, 0.001);  // a quarter of the range only at 0.707
  for (double n : {0.0, 0.1, 0.33, 0.9, 1.0}) {
    p.SetFromNormalised(n);
    EXPECT_NEAR(p.GetNormalised(), n, 1e-12);
  }
  Parameter q = MakeDouble(0.01, 25, 0.3, 0.01, 4);
  EXPECT_NEAR(q.NormalisedDefault(), std::pow((0.3 - 0.01) / 24.99, 0.25), 1e-12);
}

TEST(Parameter, OutOfRangeInputNeverLeavesTheRange) {
  Parameter p = MakeDouble(-12, 12, 0, 1, 1);
  p.SetFromNormalised(-0.5);
  EXPECT_EQ(p.Value(), -12.0);
  p.SetFromNormalised(7.0);
  EXPECT_EQ(p.Value(), 12.0);
  p.SetFromNormalised(0.5);
  p.SetFromNormalised(NAN);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetPlainClamped(100);
  EXPECT_EQ(p.Value(), 12.0);
  p.SetPlainClamped(NAN);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetPlainClamped(0.4);  // no step rounding on plain values
  EXPECT_EQ(p.Value(), 0.4);
  // Display of normalised input a host should not send stays within the range and bounded.
  EXPECT_EQ(Display(p, 1e300, true), "12");
  EXPECT_EQ(Display(p, NAN, true), "-12");
  EXPECT_EQ(Display(p, 1e300, false), "2147483647");
}

TEST(Parameter, FormatterDecidesAlone) {
  Parameter p;
  p.InitEnum("Range", 0, 3, kThree);
  p.SetDisplayFormatter([](double v, char* text, std::size_t capacity) {
    std::snprintf(text, capacity, "<%d>", static_cast<int>(v));
  });
  EXPECT_EQ(Display(p, 2.0), "<2>");
  EXPECT_EQ(Display(p, 1.0, true), "<2>");
}

TEST(Parameter, TextToValue) {
  Parameter p;
  p.InitEnum("Range", 0, 3, kThree);
  double v = -1;
  EXPECT_TRUE(p.TextToValue("High", &v));
  EXPECT_EQ(v, 2.0);
  EXPECT_FALSE(p.TextToValue("high", &v));
  EXPECT_FALSE(p.TextToValue("2", &v));
  Parameter d = MakeDouble(0, 10, 0, 0.1, 1);
  EXPECT_TRUE(d.TextToValue(" 3.25xyz", &v));
  EXPECT_EQ(v, 3.25);
  EXPECT_TRUE(d.TextToValue("", &v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(d.TextToValue("1e999", &v));
  EXPECT_FALSE(d.TextToValue(nullptr, &v));
}
