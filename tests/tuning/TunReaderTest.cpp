#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "TuningTestUtil.h"
#include "tuning/CSingleScale.h"
#include "tuning/TunReader.h"

using TUN::CSingleScale;

namespace {

constexpr double kNoteZeroHz = 8.175798915643707;

int Read(CSingleScale& s, const std::string& text, bool exactPreferred = false) {
  s.SetExactTuningPreferred(exactPreferred);
  std::istringstream in(text);
  return s.ReadTunText(in);
}

// A [Tuning] section giving every note N the value 100 * N + offset(N).
std::string TuningSection(int offsetAt0 = 0) {
  std::string t = "[Tuning]\n";
  for (int n = 0; n < 128; ++n) t += "note " + std::to_string(n) + "=" + std::to_string(100 * n + (n == 0 ? offsetAt0 : 0)) + "\n";
  return t;
}

const char* kHeader200 = "[Scale Begin]\nFormat=\"AnaMark-TUN\"\nFormatVersion=200\n";

struct Failure {
  const char* text;
  int result;
  const char* message;
};

}  // namespace

TEST(TunReader, Version100TuningSectionGivesEqualTemperament) {
  CSingleScale s;
  ASSERT_EQ(Read(s, TuningSection()), 1) << s.Err().Message();
  EXPECT_EQ(s.GetInfo().formatVersion, 100);
  EXPECT_EQ(s.GetInfo().format, "AnaMark-TUN");
  EXPECT_FALSE(s.GetInfo().formatSpecs.empty());
  for (int n = 0; n < 128; ++n) EXPECT_NEAR(s.NoteFrequency(n), tuningtest::EqualHz(n), 1e-9 * s.NoteFrequency(n));
  EXPECT_NEAR(s.NoteFrequency(69), 440.0, 1e-9);
}

TEST(TunReader, VersionRulesForSections) {
  CSingleScale s;
  EXPECT_EQ(Read(s, TuningSection() + "[Info]\nName=\"x\"\n"), -1);
  EXPECT_EQ(s.Err().Message(), "Section not version compliant.");

  EXPECT_EQ(Read(s, std::string(kHeader200) + TuningSection() + "[Info]\nName=\"x\"\n[Scale End]\n"), 1);
  EXPECT_EQ(s.GetInfo().name, "x");

  EXPECT_EQ(Read(s, std::string(kHeader200) + TuningSection()), -1);
  EXPECT_EQ(s.Err().Message(), "[Scale End] missing at file end or read error.");

  EXPECT_EQ(Read(s, "[Scale Begin]\nFormat=\"AnaMark-TUN\"\n" + TuningSection()), -1);
  EXPECT_EQ(s.Err().Message(), "Section not version compliant.");

  EXPECT_EQ(Read(s, std::string(kHeader200) + "[_DataSet_]\n"), -1);
  EXPECT_EQ(s.Err().Message(), "Section not version compliant.");
}

TEST(TunReader, ScaleEndStopsReading) {
  CSingleScale s;
  EXPECT_EQ(Read(s, std::string(kHeader200) + TuningSection() + "[Scale End]\nthis is not read\n[Info]\n"), 1);
}

TEST(TunReader, ExactTuningRepeatsThePeriodOfItsHighestNote) {
  std::string t = "[Exact Tuning]\n";
  const double c[13] = {0, 90, 204, 294, 408, 498, 612, 702, 792, 906, 996, 1110, 1200.0};
  for (int n = 0; n <= 12; ++n) t += "Note " + std::to_string(n) + " = " + std::to_string(c[n]) + "\n";
  CSingleScale s;
  ASSERT_EQ(Read(s, t), 1) << s.Err().Message();
  auto cents = [&](int n) { return 1200.0 * std::log2(s.Frequency(n) / kNoteZeroHz); };
  EXPECT_NEAR(cents(24), 2400.0, 1e-9);
  EXPECT_NEAR(cents(127), 12000.0 + c[7], 1e-9);
  EXPECT_NEAR(cents(5), c[5], 1e-9);

  // With a BaseFreq and a note 0 that is not at 0 cents, the notes the file gives keep their values.
  std::string shifted = "[Exact Tuning]\nBaseFreq=10.0\nnote 0=50.0\nnote 1=150\nnote 2=1250.0\n";
  ASSERT_EQ(Read(s, shifted), 1) << s.Err().Message();
  auto centsFrom10 = [&](int n) { return 1200.0 * std::log2(s.Frequency(n) / 10.0); };
  EXPECT_NEAR(centsFrom10(0), 50.0, 1e-9);
  EXPECT_NEAR(centsFrom10(2), 1250.0, 1e-9);
  EXPECT_NEAR(centsFrom10(3), 150.0 + 1200.0, 1e-9);
  EXPECT_NEAR(centsFrom10(4), 1250.0 + 1200.0, 1e-9);
  EXPECT_NEAR(centsFrom10(127), 150.0 + 63 * 1200.0, 1e-6);

  // Only note 0 given: no period, the other notes keep their 100-cent defaults.
  ASSERT_EQ(Read(s, "[Exact Tuning]\nnote 0=30.0\n"), 1);
  EXPECT_NEAR(1200.0 * std::log2(s.Frequency(0) / kNoteZeroHz), 30.0, 1e-9);
  EXPECT_NEAR(1200.0 * std::log2(s.Frequency(7) / kNoteZeroHz), 700.0, 1e-9);
}

TEST(TunReader, BestTuningSectionWins) {
  const std::string functional = "[Functional Tuning]\nnote 69=\"!432\"\n";
  const std::string exact = "[Exact Tuning]\nnote 69=6950.0\n";
  CSingleScale s;
  // Exact after Functional is ignored (its lines are not even checked).
  ASSERT_EQ(Read(s, std::string(kHeader200) + functional + exact + "bad line\n[Scale End]\n"), 1);
  EXPECT_NEAR(s.NoteFrequency(69), 432.0, 1e-9);
  // Functional after Exact wins...
  ASSERT_EQ(Read(s, std::string(kHeader200) + exact + functional + "[Scale End]\n"), 1);
  EXPECT_NEAR(s.NoteFrequency(69), 432.0, 1e-9);
  // ...unless exact tuning is preferred.
  ASSERT_EQ(Read(s, std::string(kHeader200) + exact + functional + "[Scale End]\n", true), 1);
  EXPECT_NEAR(s.NoteFrequency(69), kNoteZeroHz * std::exp2(69.5 / 12), 1e-9);
  // A functional tuning alone is no tuning when exact tuning is preferred.
  EXPECT_EQ(Read(s, std::string(kHeader200) + functional + "[Scale End]\n", true), -1);
  EXPECT_EQ(s.Err().Message(), "No tuning data found!");
  // [Tuning] never replaces a better section; BaseFreq does not apply to it.
  ASSERT_EQ(Read(s, exact + "[Tuning]\nnote 69=0\nBaseFreq=100\n"), 1);
  EXPECT_NEAR(s.NoteFrequency(69), kNoteZeroHz * std::exp2(69.5 / 12), 1e-9);
}

TEST(TunReader, FunctionalTuningWithMappingAndInitEqual) {
  CSingleScale s;
  const std::string t = std::string(kHeader200) +
                        "[Functional Tuning]\nInitEqual = ( 60 , 256.5 )\nnote 61=\"#=60 % 700\"\n"
                        "[Mapping]\nLoopSize=12\nKeyboard 0=61\nKeyboard 1=60\n"
                        "[Assignment]\nMIDIChannel=\"1-16, ,20\"\n[Scale End]\n";
  ASSERT_EQ(Read(s, t), 1) << s.Err().Message();
  EXPECT_EQ(s.BaseNote(), 60);
  EXPECT_EQ(s.BaseFrequency(), 256.5);
  EXPECT_NEAR(s.Frequency(61), 256.5 * std::exp2(7 / 12.0), 1e-9);
  EXPECT_EQ(s.LoopSize(), 12);
  EXPECT_EQ(s.NoteFrequency(0), s.Frequency(61));
  EXPECT_EQ(s.NoteFrequency(13), s.Frequency(72));
  EXPECT_EQ(s.NoteFrequency(24), s.Frequency(85));
  ASSERT_EQ(s.ChannelRanges().size(), 2u);
  EXPECT_EQ(s.ChannelRanges()[0].first, 1);
  EXPECT_EQ(s.ChannelRanges()[0].last, 16);
  EXPECT_EQ(s.ChannelRanges()[1].first, 20);
}

TEST(TunReader, InfoKeysStringsAndEscapes) {
  CSingleScale s;
  const std::string t = std::string(kHeader200) +
                        "[Info]\nname= \"a\\\"b\\\\c\\n\\x41BCd\\q\\\"\nDate=\"2024-02-29\"\n"
                        "Keyword=\"one\"\nKeyword=\"\"\nKeyword=\"two\"\n"
                        "Composition=\"Band|Album|Title|1999|x\"\nComposition=\"\"\n"
                        "Description=\"first\"\nDESCRIPTION=\"last\"\nUnknownKey=whatever\n"
                        "AllData=1\nEscapes=\"\\x4\"\nComments=\"tail\\\"\n"
                        + TuningSection() + "[Scale End]\n";
  ASSERT_EQ(Read(s, t), 1) << s.Err().Message();
  EXPECT_EQ(s.GetInfo().name, std::string("a\"b\\c\n\x1B") + "Cdq\\");
  EXPECT_EQ(s.GetInfo().date, "2024-02-29");
  EXPECT_EQ(s.GetInfo().keywords, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(s.GetInfo().compositions.size(), 1u);
  EXPECT_EQ(s.GetInfo().description, "last");
  EXPECT_EQ(s.GetInfo().comments, "tail\\");  // a backslash as the last character stays

  std::string out;
  ASSERT_TRUE(TUN::TunReader::Unquote("\"\\x4\"", &out));
  EXPECT_EQ(out, std::string("\x04"));
  ASSERT_TRUE(TUN::TunReader::Unquote("\"\\xZZZ!\"", &out));
  EXPECT_EQ(out, std::string(1, '\0') + "!");
  ASSERT_TRUE(TUN::TunReader::Unquote("\"\\0\\a\\b\\f\\r\\t\\v\\'\\?\"", &out));
  EXPECT_EQ(out, std::string("\0\a\b\f\r\t\v'?", 9));
}

TEST(TunReader, IndexedKeys) {
  CSingleScale s;
  // Huge, negative and missing indices are ignored keys; letters after the word mean note 0.
  const std::string t = "[Tuning]\nNote 99999999999=5\nNote -5=5\nNote=5\nNote 130=5\nNOTE69=6950\n"
                        "Notes=50\nnote  +1 = 150\n";
  ASSERT_EQ(Read(s, t), 1) << s.Err().Message();
  EXPECT_NEAR(s.Frequency(69), kNoteZeroHz * std::exp2(69.5 / 12), 1e-9);
  EXPECT_NEAR(s.Frequency(0), kNoteZeroHz * std::exp2(0.5 / 12), 1e-9);
  EXPECT_NEAR(s.Frequency(1), kNoteZeroHz * std::exp2(1.5 / 12), 1e-9);
  EXPECT_NEAR(s.Frequency(2), kNoteZeroHz * std::exp2(2 / 12.0), 1e-9);

  const std::string mapping = std::string(kHeader200) +
                              "[Functional Tuning]\n[Mapping]\nKeyboard -5=3\nKeyboard 99999999999=3\n"
                              "Keyboard 127=99999999999\nLoopSize=-99999999999\n[Scale End]\n";
  ASSERT_EQ(Read(s, mapping), 1) << s.Err().Message();
  EXPECT_EQ(s.KeyMapping(127), 2147483647);
  EXPECT_EQ(s.LoopSize(), -2147483647 - 1);
  EXPECT_EQ(s.NoteFrequency(127), s.Frequency(127));
}

TEST(TunReader, EveryMessage) {
  const Failure cases[] = {
      {"", 0, "No scale dataset found"},
      {"; only a comment\n\n", 0, "No scale dataset found"},
      {"Name=\"x\"\n", 0, "No scale dataset found"},
      {"[Foo]\n", -1, "No tuning data found!"},
      {"[Tuning]\nnote 5=5.5\n", -1, "Value type mismatch. Integer expected!"},
      {"[Tuning]\nnote 5=\n", -1, "Value type mismatch. Integer expected!"},
      {"[Exact Tuning]\nnote 5=abc\n", -1, "Value type mismatch. Float expected!"},
      {"[Exact Tuning]\nBaseFreq=1,5\n", -1, "Value type mismatch. Float expected!"},
      {"[Tuning]\n5=5\n", -1, "Syntax error"},
      {"[Tuning]\nnote 5\n", -1, "Syntax error"},
      {"[Tuning]\n\xFCnote 5=5\n", -1, "Syntax error"},
      {"[Scale Begin]\nFormat=\"AnaMark\"\n", -1, "Format not supported."},
      {"[Scale Begin]\nFormat=AnaMark-TUN\n", -1, "Value type mismatch. String expected!"},
      {"[Scale Begin]\nFormatVersion=99999999999\n[Info]\nName=x\n", -1,
       "Value type mismatch. String expected!"},
      {"[Scale Begin]\nFormatVersion=2.0\n", -1, "Value type mismatch. Integer expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Info]\nName=\"\n", -1, "Value type mismatch. String expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Info]\nDate=\"2024-2-29\"\n", -1,
       "Date format mismatch. YYYY-MM-DD expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Info]\nComposition=\"a|b|c\"\n", -1,
       "Composition format mismatch. \"Musician or Band|Album|Title|Year|Misc\" expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 1=\"#=200\"\n", -1,
       "Formula syntax error or parameter refers to invalid note index!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 1=\"#>-2\"\n", -1,
       "Formula syntax error or parameter refers to invalid note index!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 1=\"&5\"\n", -1,
       "Formula syntax error or parameter refers to invalid note index!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 1=#=2\n", -1,
       "Value type mismatch. String expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nInitEqual=69,440\n", -1,
       "Value type mismatch. Function parameter block expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nInitEqual=(69 440)\n", -1,
       "Coma after parameter 1 missing!"},
      {"[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nInitEqual=(69, 440 Hz)\n", -1,
       "No more data expected after parameter 2!"},
      {"[Scale Begin]\nFormatVersion=200\n[Mapping]\nLoopSize=twelve\n", -1,
       "Value type mismatch. Integer expected!"},
      {"[Scale Begin]\nFormatVersion=200\n[Assignment]\nMIDIChannel=\"1-16,0\"\n", -1,
       "Error in MIDI channel range: syntax error or values exceed the range 1-65535!"},
      {"[Scale Begin]\nFormatVersion=200\n[Assignment]\nMIDIChannel=\"5-3\"\n", -1,
       "Error in MIDI channel range: syntax error or values exceed the range 1-65535!"},
      {"[Scale Begin]\nFormatVersion=200\n[Tuning]\n", -1, "[Scale End] missing at file end or read error."},
      {"[Scale Begin]\nFormatVersion=200\n[Scale End]\n", -1, "No tuning data found!"},
  };
  for (const Failure& c : cases) {
    CSingleScale s;
    EXPECT_EQ(Read(s, c.text), c.result) << c.text;
    EXPECT_EQ(s.Err().Message(), c.message) << c.text;
  }
}

TEST(TunReader, LinesOutsideKnownSectionsAreIgnored) {
  CSingleScale s;
  const std::string t = "Name=not quoted before any section\n" + std::string(kHeader200) +
                        "[Editor Specifics]\n!!! anything\n[Some Vendor Section]\nrubbish\n" +
                        TuningSection() + "[Scale End]\n";
  EXPECT_EQ(Read(s, t), 1) << s.Err().Message();
}

TEST(TunReader, FailedFormulaLeavesEarlierLinesInPlace) {
  CSingleScale s;
  const std::string t = std::string(kHeader200) +
                        "[Functional Tuning]\nnote 60=\"#=69\"\nnote 61=\"#=200\"\n";
  EXPECT_EQ(Read(s, t), -1);
  EXPECT_EQ(s.Frequency(60), 440.0);
  EXPECT_NEAR(s.Frequency(61), tuningtest::EqualHz(61), 1e-9);
}

TEST(TunReader, LineEndsNulBytesAndMissingFinalLineEnd) {
  std::string lf = TuningSection(25);
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += "\r\n";
    else crlf += c;
  }
  std::string nul = lf;
  for (char& c : nul) {
    if (c == '\n') c = '\0';
  }
  std::string noFinal = lf.substr(0, lf.size() - 1);
  for (const std::string* t : {&lf, &crlf, &nul, &noFinal}) {
    CSingleScale s;
    ASSERT_EQ(Read(s, *t), 1) << s.Err().Message();
    EXPECT_NEAR(s.Frequency(0), kNoteZeroHz * std::exp2(25 / 1200.0), 1e-12);
    EXPECT_NEAR(s.Frequency(127), kNoteZeroHz * std::exp2(127 / 12.0), 1e-9);
  }
}

TEST(TunReader, MegabyteLinesAndNonAsciiBytes) {
  CSingleScale s;
  std::string t = "; " + std::string(3 << 20, '\xE9') + "\n[Tuning]\nnote 1=" + std::string(1 << 20, '1') + "\n";
  ASSERT_EQ(Read(s, t), 1) << s.Err().Message();  // the cents saturate at the 32-bit limit
  EXPECT_EQ(s.Frequency(1), std::numeric_limits<double>::infinity());
  std::string description = std::string(kHeader200) + "[Info]\nDescription=\"Stimmung f\xFCr " +
                            std::string(1 << 20, 'x') + "\"\n" + TuningSection() + "[Scale End]\n";
  ASSERT_EQ(Read(s, description), 1);
  EXPECT_EQ(s.GetInfo().description.size(), 13u + (1u << 20));
}

TEST(TunReader, MissingFileAndDirectory) {
  CSingleScale s;
  EXPECT_EQ(s.ReadTun("/nonexistent/folder/file.tun"), 0);
  EXPECT_EQ(s.Err().Message(), "Error opening the file.");
  tuningtest::TempFile f("x.tun", "");
  const std::string folder = f.Path().substr(0, f.Path().rfind('/'));
  EXPECT_EQ(s.ReadTun(folder), 0);
  EXPECT_EQ(s.Err().Message(), "Error opening the file.");
  EXPECT_EQ(s.ReadTun(f.Path()), 0);
  EXPECT_EQ(s.Err().Message(), "No scale dataset found");
}
