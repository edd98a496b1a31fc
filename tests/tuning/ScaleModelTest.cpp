#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tuning/CErr.h"
#include "tuning/CFormula.h"
#include "tuning/CMIDIChannelRange.h"
#include "tuning/CSingleScale.h"
#include "tuning/TextScan.h"

using TUN::CFormula;
using TUN::CSingleScale;
using TUN::SRVParam;

namespace {

void ExpectFrequencies(const CSingleScale& s, const double (&expected)[128]) {
  for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(s.Frequency(i), expected[i]) << "index " << i;
}

void Snapshot(const CSingleScale& s, double (&out)[128]) {
  for (int i = 0; i < 128; ++i) out[i] = s.Frequency(i);
}

}  // namespace

TEST(CErr, HoldsTheLastMessage) {
  TUN::CErr err;
  EXPECT_TRUE(err.IsOk());
  EXPECT_FALSE(err.SetError("Syntax error", 12));
  EXPECT_EQ(err.Message(), "Syntax error");
  EXPECT_TRUE(err.SetError(nullptr));
  EXPECT_TRUE(err.IsOk());
}

TEST(TextScan, NumbersAreReadWithoutTheLocaleAndSaturate) {
  std::int32_t i = 7;
  EXPECT_EQ(TUN::text::ScanInteger("-12abc", &i), 3u);
  EXPECT_EQ(i, -12);
  EXPECT_EQ(TUN::text::ScanInteger("99999999999", &i), 11u);
  EXPECT_EQ(i, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TUN::text::ScanInteger("-99999999999999999999999", &i), 24u);
  EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TUN::text::ScanInteger("+", &i), 0u);
  EXPECT_EQ(i, 0);

  double d = 1;
  EXPECT_EQ(TUN::text::ScanDecimal("-1.5e2x", &d), 6u);
  EXPECT_EQ(d, -150.0);
  EXPECT_EQ(TUN::text::ScanDecimal("67.", &d), 3u);
  EXPECT_EQ(d, 67.0);
  EXPECT_EQ(TUN::text::ScanDecimal(".5e", &d), 2u);  // an exponent needs digits
  EXPECT_EQ(d, 0.5);
  EXPECT_EQ(TUN::text::ScanDecimal("1e999", &d), 5u);
  EXPECT_TRUE(std::isinf(d));
  EXPECT_EQ(TUN::text::ScanDecimal("-1e-999", &d), 7u);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(TUN::text::ScanDecimal("inf", &d), 0u);
  EXPECT_EQ(TUN::text::ScanDecimal("nan", &d), 0u);
  EXPECT_FALSE(TUN::text::ParseWholeDecimal("5.5 ", &d));
  EXPECT_FALSE(TUN::text::ParseWholeInteger("5.5", &i));
  EXPECT_TRUE(TUN::text::ParseWholeInteger("+0042", &i));
  EXPECT_EQ(i, 42);
}

TEST(CSingleScale, ResetGivesEqualTemperamentAt440) {
  CSingleScale s;
  for (int i = 0; i < 128; ++i) {
    EXPECT_NEAR(s.Frequency(i), 440.0 * std::exp2((i - 69) / 12.0), 1e-9 * s.Frequency(i));
    EXPECT_EQ(s.KeyMapping(i), i);
  }
  EXPECT_EQ(s.Frequency(69), 440.0);
  EXPECT_EQ(s.LoopSize(), 0);
  // A base note far outside the note range must not overflow.
  s.FillEqualTemperament(std::numeric_limits<std::int32_t>::min(), 440.0);
  EXPECT_EQ(s.Frequency(0), std::numeric_limits<double>::infinity());
}

TEST(CSingleScale, NoteFrequencyFollowsMappingAndLoopAndClamps) {
  CSingleScale s;
  s.SetLoopSize(12);
  EXPECT_EQ(s.NoteFrequency(100), s.Frequency(100));
  s.SetKeyMapping(4, 200);
  EXPECT_EQ(s.NoteFrequency(100), s.Frequency(127));
  s.SetKeyMapping(4, -200);
  EXPECT_EQ(s.NoteFrequency(100), s.Frequency(0));
  // Extreme mapping values and loop sizes stay inside the table.
  s.SetKeyMapping(7, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(s.NoteFrequency(127), s.Frequency(127));
  s.SetLoopSize(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(s.NoteFrequency(7), s.Frequency(127));
  s.SetLoopSize(0);
  s.SetKeyMapping(3, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(s.NoteFrequency(3), s.Frequency(0));
  EXPECT_EQ(s.NoteFrequency(-5), s.NoteFrequency(0));
}

TEST(CSingleScale, DirectFrequencyRescalesTheWholeScale) {
  CSingleScale s;
  double before[128];
  Snapshot(s, before);
  CFormula at69(69);
  at69.directFrequency = 440.0;
  EXPECT_TRUE(s.ApplyFormula(at69));
  ExpectFrequencies(s, before);

  CFormula at57(57);
  at57.directFrequency = 440.0;
  EXPECT_TRUE(s.ApplyFormula(at57));
  for (int i = 0; i < 128; ++i) EXPECT_NEAR(s.Frequency(i), 2 * before[i], 1e-9 * before[i]);
}

TEST(CSingleScale, RepeatWalksAndStopsAtTheRangeEnd) {
  CSingleScale s;
  CFormula down(1);
  down.repeat = -3;
  down.base = SRVParam(SRVParam::kValue, 0, 100.0);
  EXPECT_TRUE(s.ApplyFormula(down));
  EXPECT_EQ(s.Frequency(0), 100.0);
  EXPECT_EQ(s.Frequency(1), 100.0);
  EXPECT_NE(s.Frequency(2), 100.0);

  // A chain upward from N - 1: each step sees the value its predecessor wrote.
  CSingleScale chain;
  CFormula up(60);
  up.base = SRVParam(SRVParam::kRelativeNote, -1, 0.0);
  up.multiplier = 1.5;
  up.repeat = 12;
  EXPECT_TRUE(chain.ApplyFormula(up));
  const double start = chain.Frequency(59);
  for (int k = 1; k <= 12; ++k) {
    EXPECT_NEAR(chain.Frequency(59 + k), start * std::pow(1.5, k), 1e-9 * chain.Frequency(59 + k));
  }
  EXPECT_NEAR(chain.Frequency(72), 440.0 * std::exp2(3 / 12.0), 1e-9);  // untouched
}

TEST(CSingleScale, FormulaReferringOutsideTheRangeChangesNothing) {
  CSingleScale s;
  double before[128];
  Snapshot(s, before);
  CFormula absolute(10);
  absolute.base = SRVParam(SRVParam::kAbsoluteNote, 130, 0.0);
  EXPECT_FALSE(s.ApplyFormula(absolute));
  // All or nothing: the walk's first steps would be fine, its later ones are not.
  CFormula relative(120);
  relative.base = SRVParam(SRVParam::kRelativeNote, 5, 0.0);
  relative.cents = 100;
  relative.repeat = 999;
  EXPECT_FALSE(s.ApplyFormula(relative));
  CFormula addend(0);
  addend.addend = SRVParam(SRVParam::kRelativeNote, std::numeric_limits<std::int32_t>::min(), 0.0);
  EXPECT_FALSE(s.ApplyFormula(addend));
  ExpectFrequencies(s, before);

  CFormula outside(200);  // a note outside the range itself: nothing to do
  outside.cents = 100;
  EXPECT_TRUE(s.ApplyFormula(outside));
  ExpectFrequencies(s, before);
}

TEST(CSingleScale, FormulaArithmetic) {
  CSingleScale s;
  CFormula f(5);
  f.base = SRVParam(SRVParam::kAbsoluteNote, 69, 0.0);
  f.cents = 1200;
  f.multiplier = 3;
  f.divisor = 2;
  f.addend = SRVParam(SRVParam::kValue, 0, 10.0);
  EXPECT_TRUE(s.ApplyFormula(f));
  EXPECT_DOUBLE_EQ(s.Frequency(5), 2 * (440.0 * 3 / 2) + 10);
  CFormula odd(6);  // an unknown kind is a fixed value
  odd.base = SRVParam(7, 300, 123.0);
  EXPECT_TRUE(s.ApplyFormula(odd));
  EXPECT_EQ(s.Frequency(6), 123.0);
}

TEST(CFormula, ParsesTokensInAnyOrder) {
  CFormula f(60);
  ASSERT_TRUE(f.Parse(" # = 60 % 700 "));
  EXPECT_EQ(f.base.kind, SRVParam::kAbsoluteNote);
  EXPECT_EQ(f.base.note, 60);
  EXPECT_EQ(f.cents, 700.0);

  CFormula g(5);
  ASSERT_TRUE(g.Parse("#>-1*1.5/2+>3~12%-50+12.5"));
  EXPECT_EQ(g.base.kind, SRVParam::kRelativeNote);
  EXPECT_EQ(g.base.note, -1);
  EXPECT_EQ(g.multiplier, 1.5);
  EXPECT_EQ(g.divisor, 2.0);
  EXPECT_EQ(g.repeat, 12);
  EXPECT_EQ(g.cents, -50.0);
  EXPECT_EQ(g.addend.kind, SRVParam::kValue);  // the later addend replaced the earlier one
  EXPECT_EQ(g.addend.value, 12.5);

  CFormula h(7);
  ASSERT_TRUE(h.Parse("%100!261.63 garbage after the direct frequency"));
  EXPECT_EQ(h.directFrequency, 261.63);
  EXPECT_EQ(h.cents, 0.0);

  CFormula empty(3);
  EXPECT_TRUE(empty.Parse(""));
  EXPECT_EQ(empty.base.kind, SRVParam::kRelativeNote);
  EXPECT_EQ(empty.base.note, 0);
}

TEST(CFormula, RepeatBeyondTheRangeBecomesAnOpenWalk) {
  CFormula up(5);
  ASSERT_TRUE(up.Parse("~123"));
  EXPECT_EQ(up.repeat, 999);
  CFormula down(5);
  ASSERT_TRUE(down.Parse("~-6"));
  EXPECT_EQ(down.repeat, -999);
  CFormula huge(127);
  ASSERT_TRUE(huge.Parse("~99999999999"));
  EXPECT_EQ(huge.repeat, 999);
  CFormula inside(5);
  ASSERT_TRUE(inside.Parse("~-5"));
  EXPECT_EQ(inside.repeat, -5);
}

TEST(CFormula, RejectsUnknownOperatorsAndMissingNumbers) {
  for (const char* bad : {"?5", "%", "#=", "#>x", "*e5", "~", "!", "+=", "%1e", "5"}) {
    CFormula f(1);
    EXPECT_FALSE(f.Parse(bad)) << bad;
  }
}

TEST(CMIDIChannelRange, ParsesSinglesAndRanges) {
  TUN::CMIDIChannelRange r;
  ASSERT_TRUE(r.Parse(" 1 - 16 "));
  EXPECT_EQ(r.first, 1);
  EXPECT_EQ(r.last, 16);
  ASSERT_TRUE(r.Parse("20"));
  EXPECT_EQ(r.first, 20);
  EXPECT_EQ(r.last, 20);
  ASSERT_TRUE(r.Parse("3-65535xyz"));
  EXPECT_EQ(r.last, 65535);
  for (const char* bad : {"0", "5-3", "0-4", "65536", "1-65536", "1-", "a", "", "7x", "1-99999999999"}) {
    TUN::CMIDIChannelRange q(2, 3);
    EXPECT_FALSE(q.Parse(bad)) << bad;
    EXPECT_EQ(q.first, 2);
  }
}
