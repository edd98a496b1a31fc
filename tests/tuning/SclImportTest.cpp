#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "TuningTestUtil.h"
#include "tuning/CSCL_Import.h"
#include "tuning/CSingleScale.h"

using TUN::CSCL_Import;
using TUN::CSingleScale;

namespace {

bool Scl(CSCL_Import& imp, const std::string& text) {
  std::istringstream in(text);
  return imp.ReadSclText(in);
}

bool Kbm(CSCL_Import& imp, const std::string& text) {
  std::istringstream in(text);
  return imp.ReadKbmText(in);
}

const char* kJust =
    "! just.scl\n!\nJust\n 12\n!\n 16/15\n 9/8\n 6/5\n 5/4\n 4/3\n 45/32\n 3/2\n 8/5\n 5/3\n 16/9\n"
    " 15/8\n 2/1\n";

std::string KbmText(const std::string& header, const std::string& mapping) {
  return "! keyboard mapping\n" + header + "! mapping\n" + mapping;
}

struct Failure {
  std::string text;
  const char* message;
};

}  // namespace

TEST(SclImport, DescriptionCountAndPitches) {
  CSCL_Import imp;
  ASSERT_TRUE(Scl(imp, kJust)) << imp.Err().Message();
  EXPECT_EQ(imp.ScaleName(), "Just");
  EXPECT_EQ(imp.ScaleSize(), 12);
  EXPECT_EQ(imp.Degree(0), 0.0);
  EXPECT_NEAR(imp.Degree(7), 701.955, 0.0005);
  EXPECT_NEAR(imp.Degree(12), 1200.0, 1e-9);

  // Without the description line the count comes first and the name stays.
  CSCL_Import unnamed;
  ASSERT_TRUE(Scl(unnamed, "!c\n3\n100.0\n 3/2 \n2/1\n"));
  EXPECT_EQ(unnamed.ScaleName(), CSCL_Import::kDefaultScaleName);
  EXPECT_EQ(unnamed.ScaleSize(), 3);
}

TEST(SclImport, PitchForms) {
  CSCL_Import imp;
  ASSERT_TRUE(Scl(imp, "d\n6\n 53.996 cents\n67.\n-30.5\n 9/8 ! gong\n4 / 3 yu\n"
                       "1162261467/1073741824\n"));
  EXPECT_NEAR(imp.Degree(1), 53.996, 1e-12);
  EXPECT_EQ(imp.Degree(2), 67.0);
  EXPECT_EQ(imp.Degree(3), -30.5);
  EXPECT_NEAR(imp.Degree(4), 1200 * std::log2(9.0 / 8), 1e-9);
  EXPECT_NEAR(imp.Degree(5), 1200 * std::log2(4.0 / 3), 1e-9);
  EXPECT_NEAR(imp.Degree(6), 1200 * std::log2(1162261467.0 / 1073741824.0), 1e-9);
  // A number standing alone is the ratio n/1, also with text after a blank.
  ASSERT_TRUE(Scl(imp, "d\n3\n3\n5 harmonic\n 2\t! octave\n")) << imp.Err().Message();
  EXPECT_NEAR(imp.Degree(1), 1200 * std::log2(3.0), 1e-9);
  EXPECT_NEAR(imp.Degree(2), 1200 * std::log2(5.0), 1e-9);
  EXPECT_EQ(imp.Degree(3), 1200.0);
}

TEST(SclImport, Failures) {
  const Failure cases[] = {
      {"", "No data in file."},
      {"! only comments\n\n!\n", "No data in file."},
      {"A description only\n", "No data in file."},
      {"x\n0\n", "Scale size not allowed. Must be within [1;127]."},
      {"x\n128\n", "Scale size not allowed. Must be within [1;127]."},
      {"x\n-5\n", "Scale size not allowed. Must be within [1;127]."},
      {"x\n99999999999\n", "Scale size not allowed. Must be within [1;127]."},
      {"x\nabc\n", "Scale size not allowed. Must be within [1;127]."},
      {"x\n2\n100.0\n200.0\n300.0\n", "End of file expected, but further data found."},
      {"x\n2\n100.0\n", "Less tuning entries found than expected."},
      {"x\n1\n3:2\n", "Unknown operator. '/' expected."},
      {"x\n1\n2x\n", "Unknown operator. '/' expected."},
      {"x\n1\nabc\n", "Unknown operator. '/' expected."},
      {"x\n1\n3/0\n", "Division by zero."},
      {"x\n1\n3/abc\n", "Division by zero."},
  };
  for (const Failure& c : cases) {
    CSCL_Import imp;
    EXPECT_FALSE(Scl(imp, c.text)) << c.text;
    EXPECT_EQ(imp.Err().Message(), c.message) << c.text;
  }
  // Twelve pitches are fine, thirteen are one too many, eleven too few.
  std::string twelve = "x\n12\n";
  for (int k = 1; k <= 12; ++k) twelve += std::to_string(100 * k) + ".0\n";
  CSCL_Import imp;
  EXPECT_TRUE(Scl(imp, twelve));
  EXPECT_FALSE(Scl(imp, twelve + "1300.0\n"));
  EXPECT_EQ(imp.Err().Message(), "End of file expected, but further data found.");
  EXPECT_FALSE(Scl(imp, twelve.substr(0, twelve.rfind("1200.0"))));
  EXPECT_EQ(imp.Err().Message(), "Less tuning entries found than expected.");
  // The largest allowed scale.
  std::string big = "x\n127\n";
  for (int k = 1; k <= 127; ++k) big += std::to_string(k * 10) + ".\n";
  EXPECT_TRUE(Scl(imp, big)) << imp.Err().Message();
  EXPECT_EQ(imp.Degree(127), 1270.0);
}

TEST(SclImport, DefaultImporterAppliesEqualTemperament) {
  CSCL_Import imp;
  CSingleScale s;
  s.SetFrequency(3, 1.0);
  imp.ApplyTo(s);
  for (int n = 0; n < 128; ++n) EXPECT_NEAR(s.NoteFrequency(n), tuningtest::EqualHz(n), 1e-9 * s.NoteFrequency(n));
  EXPECT_EQ(s.NoteFrequency(69), 440.0);
}

TEST(SclImport, DefaultMappingPlacesTwelveDegreesPerOctave) {
  CSCL_Import imp;
  ASSERT_TRUE(Scl(imp, kJust));
  imp.ComputeNoteCents();
  EXPECT_DOUBLE_EQ(imp.NoteCents(60), 6000.0 + imp.Degree(0));
  EXPECT_DOUBLE_EQ(imp.NoteCents(67), 6000.0 + imp.Degree(7));
  CSingleScale s;
  imp.ApplyTo(s);
  EXPECT_EQ(s.NoteFrequency(69), 440.0);
  EXPECT_NEAR(s.NoteFrequency(60), 440.0 * 3 / 5, 1e-9);
  EXPECT_NEAR(s.NoteFrequency(72), 440.0 * 6 / 5, 1e-9);
}

TEST(KbmImport, HeaderMappingAndUnmappedKeys) {
  CSCL_Import imp;
  ASSERT_TRUE(Scl(imp, kJust));
  ASSERT_TRUE(Kbm(imp, KbmText("12\n0\n127\n60\n69\n432.0\n12\n", "0\n1\n2\n3\nx\n5\n6\n7\nX\n9\n10\n11\n")))
      << imp.Err().Message();
  EXPECT_EQ(imp.MiddleNote(), 60);
  EXPECT_EQ(imp.ReferenceFrequency(), 432.0);
  EXPECT_EQ(imp.Mapping(4), -1);
  imp.ComputeNoteCents();
  EXPECT_EQ(imp.NoteCents(64), 6400.0);  // unmapped: its equal-tempered place
  EXPECT_EQ(imp.NoteCents(52), 5200.0);
  EXPECT_DOUBLE_EQ(imp.NoteCents(55), 4800.0 + imp.Degree(7));  // below the middle note: q rounds down
  CSingleScale s;
  imp.ApplyTo(s);
  EXPECT_EQ(s.NoteFrequency(69), 432.0);
  EXPECT_NEAR(s.NoteFrequency(64), 432.0 * std::exp2((6400.0 - 6000.0 - imp.Degree(9)) / 1200.0), 1e-9);
}

TEST(KbmImport, ShortMappingAndLimits) {
  CSCL_Import imp;
  // Fewer mapping lines than the map size: the rest stay unmapped.
  ASSERT_TRUE(Kbm(imp, KbmText("5\n0\n127\n60\n60\n261.6\n5\n", "0\n1\n")));
  EXPECT_EQ(imp.Mapping(1), 1);
  EXPECT_EQ(imp.Mapping(2), -1);
  EXPECT_EQ(imp.Mapping(4), -1);

  // Clamping of the header values and of the degrees.
  ASSERT_TRUE(Kbm(imp, KbmText("0\n-9\n999\n0\n200\n1e9\n99999999999\n", "-7\n")));
  EXPECT_EQ(imp.MapSize(), 1);
  EXPECT_EQ(imp.FirstNote(), 0);
  EXPECT_EQ(imp.LastNote(), 127);
  EXPECT_EQ(imp.ReferenceNote(), 127);
  EXPECT_EQ(imp.ReferenceFrequency(), 100000.0);
  EXPECT_EQ(imp.OctaveDegree(), 127);
  EXPECT_EQ(imp.Mapping(0), 0);
  ASSERT_TRUE(Kbm(imp, KbmText("999\n0\n127\n0\n69\n0\n12\n", "99999999999\n")));
  EXPECT_EQ(imp.MapSize(), 128);
  EXPECT_EQ(imp.ReferenceFrequency(), 0.001);
  EXPECT_EQ(imp.Mapping(0), 127);
  // A full keyboard per period with any middle note: the entry is the key's distance from the
  // middle note modulo the map size (keys 9 and 10 lie below middle note 11, one period down).
  std::string entries;
  for (int i = 0; i < 128; ++i) entries += std::to_string(i) + "\n";
  ASSERT_TRUE(Kbm(imp, KbmText("128\n0\n127\n11\n69\n440\n127\n", entries))) << imp.Err().Message();
  EXPECT_EQ(imp.MiddleNote(), 11);
  ASSERT_TRUE(Scl(imp, "x\n127\n" + [] {
    std::string pitches;
    for (int k = 1; k <= 127; ++k) pitches += std::to_string(k * 50) + ".\n";
    return pitches;
  }()));
  imp.ComputeNoteCents();
  EXPECT_EQ(imp.NoteCents(11), 1100.0);
  EXPECT_EQ(imp.NoteCents(12), 1100.0 + 50.0);
  EXPECT_EQ(imp.NoteCents(127), 1100.0 + 116 * 50.0);
  EXPECT_EQ(imp.NoteCents(9), 100.0 * (11 - 127) + 126 * 50.0);  // one period of 127 semitones down
  EXPECT_EQ(imp.NoteCents(10), 1000.0);  // entry 127 is the scale's last degree, never mapped
  ASSERT_TRUE(Kbm(imp, KbmText("12\n0\n127\n120\n69\n440.0\n12\n", "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n")));
  imp.ComputeNoteCents();
  EXPECT_EQ(imp.NoteCents(121), 12000.0 + 50.0);
  EXPECT_EQ(imp.NoteCents(119), 12000.0 - 1200.0 + 11 * 50.0);

  // Every note stays within the tables whatever the mapping holds.
  CSingleScale s;
  imp.ApplyTo(s);
  for (int n = 0; n < 128; ++n) {
    EXPECT_TRUE(std::isfinite(s.NoteFrequency(n)) && s.NoteFrequency(n) > 0) << n;
  }
}

TEST(KbmImport, Failures) {
  const Failure cases[] = {
      {"", "Premature end of file."},
      {"12\n0\n127\n60\n69\n440.0\n", "Premature end of file."},
      {"12\n5\n5\n60\n69\n440.0\n12\n", "Setting out of range."},
      {"12\n5\n-3\n60\n69\n440.0\n12\n", "Setting out of range."},
      {"2\n0\n127\n60\n69\n440.0\n2\n0\n1\n! fine\n\n1\n", "End of file expected, but additional data found."},
  };
  for (const Failure& c : cases) {
    CSCL_Import imp;
    EXPECT_FALSE(Kbm(imp, c.text)) << c.text;
    EXPECT_EQ(imp.Err().Message(), c.message) << c.text;
  }
  // Middle note and map size may reach beyond the keyboard.
  for (const char* middle : {"115", "116", "120", "127"}) {
    CSCL_Import imp;
    EXPECT_TRUE(Kbm(imp, std::string("12\n0\n127\n") + middle + "\n69\n440.0\n12\n")) << middle;
  }
}

TEST(SclImport, FilesAndFileNames) {
  CSCL_Import imp;
  EXPECT_FALSE(imp.ReadScl("/nonexistent/x.scl"));
  EXPECT_EQ(imp.Err().Message(), "Error opening the file.");
  EXPECT_FALSE(imp.ReadKbm("/nonexistent/x.kbm"));
  EXPECT_EQ(imp.Err().Message(), "Error opening the file.");

  tuningtest::TempFile unnamed("my scale.SCL", "!\n2\n150.0\n2/1");
  ASSERT_TRUE(imp.ReadScl(unnamed.Path())) << imp.Err().Message();
  EXPECT_EQ(imp.ScaleName(), "my scale.SCL");
  tuningtest::TempFile named("named.scl", "!\r\nNamed scale \xFC\r\n2\r\n150.0\r\n2/1\r\n");
  ASSERT_TRUE(imp.ReadScl(named.Path()));
  EXPECT_EQ(imp.ScaleName(), "Named scale \xFC");

  // A KBM read leaves the scale alone; an SCL read leaves the mapping alone.
  tuningtest::TempFile kbm("a.kbm", "1\n0\n127\n60\n60\n300\n2\n1\n");
  ASSERT_TRUE(imp.ReadKbm(kbm.Path())) << imp.Err().Message();
  EXPECT_EQ(imp.ScaleSize(), 2);
  ASSERT_TRUE(imp.ReadScl(unnamed.Path()));
  EXPECT_EQ(imp.MapSize(), 1);
  imp.ComputeNoteCents();
  EXPECT_DOUBLE_EQ(imp.NoteCents(61), 6000.0 + 200.0 + 150.0);
}
