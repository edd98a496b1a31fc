// Hostile and broken tuning files through the synthesizer's load path: each ends with its reader's
// message and result 8, and leaves the user tuning as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TuningTestUtil.h"
#include "tuning/CStringParser.h"
#include "tuning/CSCL_Import.h"
#include "tuning/CSingleScale.h"
#include "tuning/TuningState.h"

using tuningtest::TempFile;
using namespace std::string_literals;

namespace {

struct Case {
  const char* name;
  std::string bytes;
  const char* message;  // null: the file loads
};

std::string ReaderMessage(const std::string& path) {
  const std::string ext = path.substr(path.size() - 3);
  TUN::CSCL_Import imp;
  if (ext == "scl") {
    imp.ReadScl(path);
    return imp.Err().Message();
  }
  if (ext == "kbm") {
    imp.ReadKbm(path);
    return imp.Err().Message();
  }
  TUN::CSingleScale s;
  s.ReadTun(path);
  return s.Err().Message();
}

}  // namespace

TEST(TuningBadInput, FilesEndWithTheirMessage) {
  const std::string mega(2 << 20, 'M');
  const Case cases[] = {
      {"empty.scl", "", "No data in file."},
      {"empty.kbm", "", "Premature end of file."},
      {"empty.tun", "", "No scale dataset found"},
      {"nul.scl", "Nul\0 2\0 100.0\0 2/1"s, nullptr},
      {"nulcount.scl", "x\n1\0" "2/1\n3/2\n"s, "End of file expected, but further data found."},
      {"nul.kbm", "1\0" "0\0" "127\0" "0\0" "69\0" "440\0" "12\0" "0"s, nullptr},
      {"noend.kbm", "1\n0\n127\n0\n69\n440\n12\nx", nullptr},
      {"noend.tun", "[Tuning]\nnote 0=0", nullptr},
      {"latin1.scl", "Stimmung f\xFCr Orgel\n1\n2/1 \xE4\xF6\n", nullptr},
      {"latin1count.scl", "\xFC\n\xFC\n", "Scale size not allowed. Must be within [1;127]."},
      {"utf8.tun", "[Tuning]\n\xC3\xA4=1\n", "Syntax error"},
      {"megaline.scl", "!" + mega + "\n" + mega + "\n1\n2/1\n", nullptr},
      {"megapitch.scl", "x\n1\n" + std::string(1 << 20, '7') + "/1\n", nullptr},
      {"megadenominator.scl", "x\n1\n1/" + std::string(1 << 20, '0') + "\n", "Division by zero."},
      {"megakey.tun", "[Tuning]\nnote " + mega + "=5\n", nullptr},
      {"overflow.kbm", "99999999999\n-99999999999\n99999999999\n99999999999\n0\n1e400\n0\n", nullptr},
      {"overlast.kbm", "12\n99999999999\n-99999999999\n60\n0\n440\n12\n", "Setting out of range."},
      {"bigmap.kbm", "12\n0\n127\n-99999999999\n0\n1e400\n99999999999\n-99999999999\n", nullptr},
      {"negative.scl", "x\n2\n-3/2\n0/5\n", nullptr},
      {"formula.tun",
       "[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 127=\"#>1\"\n[Scale End]\n",
       "Formula syntax error or parameter refers to invalid note index!"},
      {"formula2.tun",
       "[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 3=\"#=-1\"\n[Scale End]\n",
       "Formula syntax error or parameter refers to invalid note index!"},
      {"formula3.tun",
       "[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nnote 0=\"+>99999999999 ~99999999999\"\n"
       "[Scale End]\n",
       "Formula syntax error or parameter refers to invalid note index!"},
      {"zero.tun",
       "[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nInitEqual=(69,0)\nnote 5=\"!440\"\n"
       "note 6=\"/0\"\n[Scale End]\n",
       nullptr},
      {"binary.tun", "\x00\xFF\xFE[\x01]\n\x7F"s, "No scale dataset found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.name, c.bytes);
    TuningState t;
    t.SelectTuning(14);
    const int result = t.LoadTuningFile(file.Path());
    if (c.message == nullptr) {
      EXPECT_EQ(result, 0) << ReaderMessage(file.Path());
    } else {
      EXPECT_EQ(result, 8);
      EXPECT_EQ(ReaderMessage(file.Path()), c.message);
      for (int n = 0; n < 128; ++n) ASSERT_EQ(t.UserPitch(n), 128 * n);
    }
    for (int n = 0; n < 128; ++n) {
      ASSERT_GE(t.UserPitch(n), 0);
      ASSERT_LE(t.UserPitch(n), kPitchLimit);
    }
  }

  // What never ends (a named pipe, a device), is no file or is far too large is not read: the load
  // fails as for a file that does not open, and the user tuning stays as it was.
  TempFile good("good.scl", "Three\n3\n250.0\n7/5\n2/1\n");
  const std::filesystem::path folder = std::filesystem::path(good.Path()).parent_path();
  std::vector<std::string> paths = {"/dev/null", "/dev/zero", folder.string()};
  std::filesystem::create_directory(folder / "folder.scl");
  paths.push_back((folder / "folder.scl").string());
  {
    std::ofstream big(folder / "big.scl", std::ios::binary);
    big << "Big\n1\n2/1\n";
  }
  std::filesystem::resize_file(folder / "big.scl", TUN::CStringParser::kMaxFileSize + 1);
  paths.push_back((folder / "big.scl").string());
  for (const char* name : {"fifo.tun", "fifo.scl", "fifo.kbm"}) {
    ASSERT_EQ(::mkfifo((folder / name).c_str(), 0600), 0);
    paths.push_back((folder / name).string());
  }
  for (const char* name : {"zero.scl", "zero.kbm"}) {
    std::filesystem::create_symlink("/dev/zero", folder / name);
    paths.push_back((folder / name).string());
  }
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(good.Path()), 0);
  std::int32_t before[128];
  for (int n = 0; n < 128; ++n) before[n] = t.UserPitch(n);
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    EXPECT_EQ(t.LoadTuningFile(path), 8);
    EXPECT_EQ(ReaderMessage(path), "Error opening the file.");
    EXPECT_STREQ(t.UserTuningName(), "Three");
    for (int n = 0; n < 128; ++n) ASSERT_EQ(t.UserPitch(n), before[n]);
  }
}

TEST(TuningBadInput, DegenerateValuesGiveTheRangeEnds) {
  // Ratios of zero or below and a zero divisor give frequencies no voice can play; they end at the
  // bottom or the top of the pitch range.
  TempFile scl("negative.scl", "x\n3\n-3/2\n0/5\n2/1\n");
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(scl.Path()), 0);
  EXPECT_EQ(t.UserPitch(61), 0);  // log of a negative ratio
  EXPECT_EQ(t.UserPitch(62), 0);  // minus infinite cents
  EXPECT_EQ(t.UserPitch(63), 128 * 63);  // not mapped by a three-degree scale

  TempFile tun("zero.tun",
               "[Scale Begin]\nFormatVersion=200\n[Functional Tuning]\nInitEqual=(69,0)\nnote 5=\"!440\"\n"
               "note 6=\"/0\"\n[Scale End]\n");
  ASSERT_EQ(t.LoadTuningFile(tun.Path()), 0);
  EXPECT_EQ(t.UserPitch(5), 0);
  EXPECT_EQ(t.UserPitch(6), 0);
}
