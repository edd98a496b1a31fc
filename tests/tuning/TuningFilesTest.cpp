// Loads every real-world tuning file of the shared test data and checks each resulting pitch table
// against frequencies recomputed here, in long double, from the file's own degrees.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TuningTestUtil.h"
#include "support/TestPaths.h"
#include "tuning/CSCL_Import.h"
#include "tuning/CSingleScale.h"
#include "tuning/TuningState.h"

using tuningtest::ExpectedPitch;

namespace {

constexpr long double kNoteZeroHz = 8.1757989156437073L;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(TestDataPath(folder))) {
    if (e.is_regular_file()) files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The lines of a file split at CR, LF and NUL, blanks trimmed, empty lines dropped.
std::vector<std::string> TextLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string bytes = ss.str();
  std::vector<std::string> lines;
  std::string cur;
  auto flush = [&] {
    const auto b = cur.find_first_not_of(" \t\v\f");
    if (b != std::string::npos) lines.push_back(cur.substr(b, cur.find_last_not_of(" \t\v\f") - b + 1));
    cur.clear();
  };
  for (char c : bytes) {
    if (c == '\r' || c == '\n' || c == '\0') flush();
    else cur += c;
  }
  flush();
  return lines;
}

struct Scl {
  std::string description;
  std::vector<long double> cents;  // degree 0 ... count
};

// A plain reading of the Scala format: a pitch is its first word, cents when it holds a ".", a
// ratio otherwise (a whole number n meaning n/1).
Scl ReadSclHere(const std::string& path) {
  Scl scl;
  scl.cents.push_back(0);
  int count = -1;
  bool first = true;
  for (const std::string& line : TextLines(path)) {
    if (line[0] == '!') continue;
    if (first && line.find_first_not_of("0123456789") != std::string::npos) {
      scl.description = line;
      first = false;
      continue;
    }
    first = false;
    if (count < 0) {
      count = std::atoi(line.c_str());
      continue;
    }
    const std::string word = line.substr(0, line.find_first_of(" \t!"));
    if (word.find('.') != std::string::npos) {
      scl.cents.push_back(std::strtold(word.c_str(), nullptr));
    } else {
      const auto slash = word.find('/');
      const long double num = std::strtold(word.substr(0, slash).c_str(), nullptr);
      const long double den = slash == std::string::npos ? 1.0L : std::strtold(word.substr(slash + 1).c_str(), nullptr);
      scl.cents.push_back(1200.0L * std::log2(num / den));
    }
  }
  EXPECT_EQ(static_cast<int>(scl.cents.size()) - 1, count) << path;
  return scl;
}

struct Kbm {
  int mapSize, first, last, middle, reference;
  long double frequency;
  int octave;
  std::vector<int> mapping;
};

Kbm ReadKbmHere(const std::string& path) {
  std::vector<std::string> values;
  for (const std::string& line : TextLines(path)) {
    if (line[0] != '!') values.push_back(line);
  }
  Kbm k{};
  k.mapSize = std::atoi(values.at(0).c_str());
  k.first = std::atoi(values.at(1).c_str());
  k.last = std::atoi(values.at(2).c_str());
  k.middle = std::atoi(values.at(3).c_str());
  k.reference = std::atoi(values.at(4).c_str());
  k.frequency = std::strtold(values.at(5).c_str(), nullptr);
  k.octave = std::atoi(values.at(6).c_str());
  for (std::size_t i = 7; i < values.size(); ++i) {
    k.mapping.push_back(values[i][0] == 'x' ? -1 : std::atoi(values[i].c_str()));
  }
  k.mapping.resize(k.mapSize, -1);
  return k;
}

// Cents of every key when the scale is played through the keyboard mapping: mapped keys take the
// degree of their mapping entry plus whole periods of octave-degree semitones; other keys their
// equal-tempered place.
std::vector<long double> KeyCents(const Scl& scl, const Kbm& kbm) {
  std::vector<long double> cents(128);
  const int size = static_cast<int>(scl.cents.size()) - 1;
  for (int key = 0; key < 128; ++key) {
    cents[key] = 100.0L * key;
    if (key < kbm.first || key > kbm.last) continue;
    const int o = key - kbm.middle;
    const int q = static_cast<int>(std::floor(static_cast<double>(o) / kbm.mapSize));
    const int d = kbm.mapping[o - q * kbm.mapSize];
    if (d >= 0 && d < size) cents[key] = 100.0L * (kbm.middle + q * kbm.octave) + scl.cents[d];
  }
  return cents;
}

const Kbm kDefaultKbm{12, 0, 127, 0, 69, 440.0L, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};

void ExpectPitches(const TuningState& t, const std::vector<long double>& cents, const Kbm& kbm,
                   const std::string& what) {
  for (int key = 0; key < 128; ++key) {
    const long double hz = kbm.frequency * std::pow(2.0L, (cents[key] - cents[kbm.reference]) / 1200.0L);
    ASSERT_NEAR(t.UserPitch(key), ExpectedPitch(hz), 1) << what << " key " << key << " " << (double)hz << " Hz";
  }
}

}  // namespace

TEST(TuningFiles, EveryScalaScale) {
  // Files that break the reader's rules, with the message they end with. (A bare "2" as the last
  // degree, as in 09highschool, ariel1, marion and singapore, is the ratio 2/1.)
  const std::map<std::string, std::string> failures = {
      {"gann_wolfe.scl", "Scale size not allowed. Must be within [1;127]."},  // 579 degrees
  };
  const auto files = FilesIn("tuning/scl");
  ASSERT_EQ(files.size(), 39u);
  int loaded = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string name = FileName(path);
    TuningState t;
    const int result = t.LoadTuningFile(path);
    if (const auto f = failures.find(name); f != failures.end()) {
      EXPECT_EQ(result, 8);
      TUN::CSCL_Import imp;
      EXPECT_FALSE(imp.ReadScl(path));
      EXPECT_EQ(imp.Err().Message(), f->second);
      continue;
    }
    ASSERT_EQ(result, 0) << t.Importer().Err().Message();
    ++loaded;
    const Scl scl = ReadSclHere(path);
    EXPECT_EQ(std::string(t.UserTuningName()), scl.description.empty() ? name : scl.description.substr(0, 255));
    ASSERT_EQ(t.Importer().ScaleSize() + 1, static_cast<int>(scl.cents.size()));
    for (std::size_t d = 0; d < scl.cents.size(); ++d) EXPECT_NEAR(t.Importer().Degree(d), scl.cents[d], 1e-9);
    ExpectPitches(t, KeyCents(scl, kDefaultKbm), kDefaultKbm, name);
  }
  EXPECT_EQ(loaded, 38);
}

TEST(TuningFiles, EveryKeyboardMapping) {
  const std::string demo = TestDataPath("tuning/kbm/Microtonal Keymap Demo.kbm");
  const std::string launchpad = TestDataPath("tuning/kbm/launchpad.kbm");
  ASSERT_EQ(FilesIn("tuning/kbm"), (std::vector<std::string>{demo, launchpad}));

  // Over the default scale of 100-cent degrees, and over a real meantone scale.
  const Kbm kbm = ReadKbmHere(demo);
  ASSERT_EQ(kbm.frequency, 432.0L);
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(demo), 0) << t.Importer().Err().Message();
  EXPECT_STREQ(t.UserTuningName(), "");
  Scl hundred;
  for (int d = 0; d < 129; ++d) hundred.cents.push_back(100.0L * d);
  ExpectPitches(t, KeyCents(hundred, kbm), kbm, "default scale");

  const std::string meantone = TestDataPath("tuning/scl/meanquar.scl");
  ASSERT_EQ(t.LoadTuningFile(meantone), 0);
  ASSERT_EQ(t.LoadTuningFile(demo), 0);
  EXPECT_STREQ(t.UserTuningName(), "1/4-comma meantone scale. Pietro Aaron's temp. (1523). 6/5 beats twice 3/2");
  ExpectPitches(t, KeyCents(ReadSclHere(meantone), kbm), kbm, "meantone");

  // 128 keys per period above middle note 11, over the scale it was made for.
  const std::string edo19 = TestDataPath("tuning/scl/19EDO.scl");
  ASSERT_EQ(t.LoadTuningFile(edo19), 0);
  ASSERT_EQ(t.LoadTuningFile(launchpad), 0) << t.Importer().Err().Message();
  const Kbm pad = ReadKbmHere(launchpad);
  ASSERT_EQ(pad.mapSize, 128);
  ASSERT_EQ(pad.middle, 11);
  ExpectPitches(t, KeyCents(ReadSclHere(edo19), pad), pad, "launchpad");
}

namespace {

// The [Exact Tuning] cents of a TUN file, read here line by line.
std::vector<long double> ExactCentsHere(const std::string& path) {
  std::vector<long double> cents(128);
  for (int n = 0; n < 128; ++n) cents[n] = 100.0L * n;
  bool inside = false;
  int given = 0;
  for (const std::string& line : TextLines(path)) {
    if (line[0] == '[') inside = line == "[Exact Tuning]";
    int note = 0;
    long double value = 0;
    if (inside && std::sscanf(line.c_str(), "note %d= %Lf", &note, &value) == 2) {
      cents.at(note) = value;
      ++given;
    }
  }
  EXPECT_EQ(given, 128);
  return cents;
}

// Frequencies after the [Functional Tuning] lines of the exporter that wrote the test files:
// "#=0 % c" (note 0 plus c cents), "#>-p % c ~999" (each note from here up: p notes lower plus c
// cents) and "! f" (the whole scale rescaled so this note sounds at f Hz), applied to 440-Hz equal
// temperament in file order.
std::vector<long double> FunctionalHzHere(const std::string& path) {
  std::vector<long double> hz(128);
  for (int n = 0; n < 128; ++n) hz[n] = tuningtest::EqualHz(n);
  bool inside = false;
  int formulas = 0;
  for (const std::string& line : TextLines(path)) {
    if (line[0] == '[') inside = line == "[Functional Tuning]";
    int note = 0;
    char formula[128] = {};
    if (!inside || std::sscanf(line.c_str(), "note %d=\"%127[^\"]\"", &note, formula) != 2) continue;
    ++formulas;
    int offset = 0;
    int repeat = 0;
    long double value = 0;
    if (std::sscanf(formula, "#=0 %% %Lf", &value) == 1) {
      hz.at(note) = hz[0] * std::pow(2.0L, value / 1200.0L);
    } else if (std::sscanf(formula, "#>%d %% %Lf ~%d", &offset, &value, &repeat) == 3) {
      EXPECT_EQ(repeat, 999);
      for (int t = note; t < 128; ++t) hz.at(t) = hz.at(t + offset) * std::pow(2.0L, value / 1200.0L);
    } else if (std::sscanf(formula, "! %Lf", &value) == 1) {
      const long double factor = value / hz.at(note);
      for (long double& f : hz) f *= factor;
    } else {
      ADD_FAILURE() << "formula not understood here: " << formula;
    }
  }
  EXPECT_GT(formulas, 5);
  return hz;
}

}  // namespace

TEST(TuningFiles, EveryAnaMarkFile) {
  const auto files = FilesIn("tuning/tun");
  ASSERT_EQ(files.size(), 5u);
  int loaded = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string name = FileName(path);
    if (name.rfind("anamark.v1", 0) == 0) {
      // Format version 100 with an [Info] section, which needs version 200.
      TuningState t;
      EXPECT_EQ(t.LoadTuningFile(path), 8);
      TUN::CSingleScale s;
      EXPECT_EQ(s.ReadTun(path), -1);
      EXPECT_EQ(s.Err().Message(), "Section not version compliant.");
      continue;
    }
    ++loaded;
    TuningState functional;
    ASSERT_EQ(functional.LoadTuningFile(path), 0);
    TUN::CSingleScale info;
    info.ReadTun(path);
    EXPECT_FALSE(info.GetInfo().description.empty());
    EXPECT_EQ(std::string(functional.UserTuningName()), info.GetInfo().description);
    const std::vector<long double> hz = FunctionalHzHere(path);
    for (int key = 0; key < 128; ++key) {
      ASSERT_NEAR(functional.UserPitch(key), ExpectedPitch(hz[key]), 1) << "key " << key;
    }

    TuningState::SetExactTuningPreferred(true);
    TuningState exact;
    const int result = exact.LoadTuningFile(path);
    TuningState::SetExactTuningPreferred(false);
    ASSERT_EQ(result, 0);
    const std::vector<long double> cents = ExactCentsHere(path);
    for (int key = 0; key < 128; ++key) {
      const long double f = kNoteZeroHz * std::pow(2.0L, cents[key] / 1200.0L);
      ASSERT_NEAR(exact.UserPitch(key), ExpectedPitch(f), 1) << "key " << key;
    }
  }
  EXPECT_EQ(loaded, 3);
}
