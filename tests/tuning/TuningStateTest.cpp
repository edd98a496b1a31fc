#include "tuning/TuningState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "TuningTestUtil.h"
#include "tuning/Temperaments.h"

using tuningtest::ExpectedPitch;
using tuningtest::TempFile;

namespace {

void ExpectTableEquals(const TuningState& t, const std::int32_t (&expected)[128]) {
  for (int n = 0; n < 128; ++n) ASSERT_EQ(t.NotePitch(n), expected[n]) << "note " << n;
}

void ActiveTable(const TuningState& t, std::int32_t (&out)[128]) {
  for (int n = 0; n < 128; ++n) out[n] = t.NotePitch(n);
}

const char* kSclText = "! test\nThree tones\n3\n250.0\n7/5\n2/1\n";

}  // namespace

TEST(TuningState, StartsInEqualTemperamentWithAnEqualUserTuning) {
  TuningState t;
  EXPECT_EQ(t.Selection(), 0);
  for (int n = 0; n < 128; ++n) {
    EXPECT_EQ(t.NotePitch(n), 128 * n);
    EXPECT_EQ(t.UserPitch(n), 128 * n);
  }
  EXPECT_STREQ(t.UserTuningName(), "");
  EXPECT_EQ(t.NotePitch(128), 0);
  EXPECT_EQ(t.NotePitch(-1), 0);
}

TEST(TuningState, NamesOfTheList) {
  TuningState t;
  const char* names[] = {"Equal", "Just", "Kirnberger", "Pythagorean", "Valotti + Young",
                         "Werckmeister III", "Meantone 1/4 comma", "Meantone 1/5 comma", "Bagpipe",
                         "Chinese Lu", "W. Carlos Super Just", "W. Carlos Harmonic", "Pentatonic",
                         "Heptatonic"};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(t.GetTuningName(i), names[i]);
  EXPECT_EQ(t.GetTuningName(14), "");
  EXPECT_EQ(t.GetTuningName(-1), "Equal");
  t.SelectTuning(9);
  EXPECT_EQ(t.GetTuningName(-1), "Chinese Lu");
  EXPECT_EQ(t.GetTuningName(15), "Chinese Lu");
}

TEST(TuningState, BuiltInTemperamentsFollowTheirCents) {
  // Degrees 1-11 of each temperament in cents (degree 0 is 0; degree 12 is never mapped, the
  // mapping's octave is 1200 cents).
  static constexpr long double kDegrees[14][11] = {
      {},
      {111.7313, 203.9100, 315.6414, 386.3139, 498.0452, 582.5125, 701.9553, 813.6866, 884.3591, 1015.96, 1088.269},
      {90.225, 193.849, 294.135, 386.314, 498.045, 590.224, 696.663, 792.180, 889.650, 996.091, 1088.269},
      {113.685, 203.91, 294.1351, 407.8201, 498.0452, 611.7302, 701.9553, 815.6403, 905.8654, 996.0905, 1109.775},
      {94.135, 196.090, 298.045, 392.180, 501.955, 592.180, 698.045, 796.090, 894.135, 1000.0, 1090.225},
      {90.225, 192.180, 294.135, 390.225, 498.045, 588.270, 696.090, 792.180, 888.270, 996.09, 1092.180},
      {85.720, 194.940, 305.672, 390.837, 502.067, 587.593, 696.578, 782.559, 892.091, 1003.122, 1088.503},
      {83.576, 195.307, 307.039, 390.615, 502.346, 585.922, 697.654, 781.230, 892.961, 1004.693, 1088.269},
      {29.850, 187.682, 256.597, 343.091, 493.957, 548.649, 684.729, 729.879, 871.949, 985.799, 1049.363},
      {98.955, 203.910, 315.641, 394.347, 498.045, 608.352, 701.955, 800.910, 905.865, 1017.596, 1106.397},
      {104.9554, 203.9100, 315.6414, 386.3139, 498.0452, 551.3181, 701.9553, 840.5280, 884.3591, 968.8264, 1088.269},
      {104.9554, 203.9100, 297.5131, 386.3139, 470.7811, 551.3181, 701.9553, 840.5280, 905.8654, 968.8264, 1088.269},
      {0.0, 200.0, 200.0, 500.0, 500.0, 500.0, 700.0, 700.0, 900.0, 900.0, 1200.0},
      {129.0, 129.0, 300.0, 300.0, 472.0, 643.0, 643.0, 814.0, 814.0, 986.0, 1157.0},
  };
  TuningState t;
  for (int index = 1; index <= 13; ++index) {
    t.SelectTuning(index);
    EXPECT_EQ(t.Selection(), index);
    EXPECT_EQ(t.Importer().ScaleName(), Temperaments::Name(index));
    // Twelve keys per octave with note 69 at 440 Hz.
    long double cents[128];
    for (int n = 0; n < 128; ++n) cents[n] = 1200.0L * (n / 12) + (n % 12 == 0 ? 0.0L : kDegrees[index][n % 12 - 1]);
    for (int n = 0; n < 128; ++n) {
      const long double hz = 440.0L * std::pow(2.0L, (cents[n] - cents[69]) / 1200.0L);
      EXPECT_NEAR(t.NotePitch(n), ExpectedPitch(hz), 1) << Temperaments::Name(index) << " note " << n;
    }
    EXPECT_EQ(t.NotePitch(69), 8832);
  }
  t.SelectTuning(1);  // Just
  EXPECT_EQ(t.NotePitch(60), ExpectedPitch(440.0L * std::pow(2.0L, -884.3591L / 1200.0L)));
  EXPECT_NEAR(t.Importer().Degree(10), 1015.96, 1e-12);
  t.SelectTuning(12);  // Pentatonic
  EXPECT_EQ(t.NotePitch(60), t.NotePitch(61));
  t.SelectTuning(0);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(t.NotePitch(n), 128 * n);
  EXPECT_EQ(t.Importer().ScaleName(), TUN::CSCL_Import::kDefaultScaleName);
}

TEST(TuningState, OutOfRangeSelectionsSelectEqual) {
  TuningState t;
  for (int bad : {15, 99, -1, -2147483647 - 1}) {
    t.SelectTuning(3);
    t.SelectTuning(bad);
    EXPECT_EQ(t.Selection(), 0);
    EXPECT_EQ(t.NotePitch(61), 128 * 61);
  }
}

TEST(TuningState, UserTuningOutlivesOtherSelections) {
  TuningState t;
  TempFile scl("three.scl", kSclText);
  ASSERT_EQ(t.LoadTuningFile(scl.Path()), 0);
  EXPECT_EQ(t.Selection(), 0);  // loading does not select
  EXPECT_STREQ(t.UserTuningName(), "Three tones");
  t.SelectTuning(14);
  std::int32_t loaded[128];
  ActiveTable(t, loaded);
  EXPECT_NE(loaded[61], 128 * 61);
  t.SelectTuning(2);
  t.SelectTuning(14);
  ExpectTableEquals(t, loaded);
  EXPECT_EQ(t.GetTuningName(-1), "Three tones");
}

TEST(TuningState, KbmMapsTheScaleTheImporterHolds) {
  TempFile kbm("a.KBM", "12\n0\n127\n60\n69\n440.0\n12\n0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n");
  TuningState t;
  t.SelectTuning(1);  // Just
  ASSERT_EQ(t.LoadTuningFile(kbm.Path()), 0);
  EXPECT_STREQ(t.UserTuningName(), "");  // a KBM does not name the tuning
  t.SelectTuning(14);
  // Note 60 is the mapping's first key: degree 0 of Just, so a just major sixth below A.
  EXPECT_EQ(t.NotePitch(60), ExpectedPitch(440.0L * std::pow(2.0L, -884.3591L / 1200.0L)));

  t.SelectTuning(0);  // the default scale: 100 cents per degree
  ASSERT_EQ(t.LoadTuningFile(kbm.Path()), 0);
  t.SelectTuning(14);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(t.NotePitch(n), 128 * n);
}

TEST(TuningState, SclLoadKeepsAnEarlierKeyboardMapping) {
  TempFile kbm("shift.kbm", "1\n0\n127\n60\n60\n300.0\n1\n0\n");
  TempFile scl("three.scl", kSclText);
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(kbm.Path()), 0);
  ASSERT_EQ(t.LoadTuningFile(scl.Path()), 0);
  EXPECT_EQ(t.Importer().MapSize(), 1);
  // Every key plays degree 0, one 100-cent step per key from note 60 at 300 Hz.
  EXPECT_EQ(t.UserPitch(72), ExpectedPitch(600.0L));
}

TEST(TuningState, TunFileNamesTheTuningByItsDescription) {
  std::string tun = "[Tuning]\n";
  for (int n = 0; n < 128; ++n) tun += "note " + std::to_string(n) + "=" + std::to_string(100 * n + 10) + "\n";
  TempFile plain("plain.tun", tun);
  TuningState t;
  t.SelectTuning(5);
  ASSERT_EQ(t.LoadTuningFile(plain.Path()), 0);
  EXPECT_STREQ(t.UserTuningName(), "");
  EXPECT_EQ(t.UserPitch(69), ExpectedPitch(440.0L * std::pow(2.0L, 10.0L / 1200.0L)));
  EXPECT_EQ(t.Selection(), 5);

  const std::string longName(300, 'n');
  TempFile described("d.TUN", "[Scale Begin]\nFormatVersion=200\n[Info]\nDescription=\"" + longName +
                                  "\"\n" + tun + "[Scale End]\n");
  ASSERT_EQ(t.LoadTuningFile(described.Path()), 0);
  EXPECT_EQ(std::string(t.UserTuningName()), longName.substr(0, 255));
  EXPECT_EQ(t.GetTuningName(14), longName.substr(0, 255));
}

TEST(TuningState, FailedLoadsChangeNothing) {
  TempFile good("good.scl", kSclText);
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(good.Path()), 0);
  t.SelectTuning(14);
  std::int32_t before[128];
  ActiveTable(t, before);
  const int sizeBefore = t.Importer().ScaleSize();

  TempFile partial("partial.scl", "Broken\n12\n100.0\n200.0\n");
  TempFile badKbm("bad.kbm", "12\n0\n127\n60\n69\n");
  TempFile badTun("bad.tun", "[Tuning]\nnote 60=1.5\n");
  for (const std::string& path : {partial.Path(), badKbm.Path(), badTun.Path(), std::string("/no/such.scl"),
                                  std::string("/no/such.kbm"), std::string("/no/such.tun"), std::string(""),
                                  std::string("kb")}) {
    EXPECT_EQ(t.LoadTuningFile(path), 8) << path;
    EXPECT_EQ(t.Selection(), 14);
    EXPECT_STREQ(t.UserTuningName(), "Three tones") << path;
    EXPECT_EQ(t.Importer().ScaleSize(), sizeBefore) << path;
    for (int n = 0; n < 128; ++n) ASSERT_EQ(t.UserPitch(n), before[n]) << path;
    ExpectTableEquals(t, before);
  }
  // The reader's message stays with the importer.
  EXPECT_EQ(t.LoadTuningFile(partial.Path()), 8);
  EXPECT_EQ(t.Importer().Err().Message(), "Less tuning entries found than expected.");
}

TEST(TuningState, ExactTuningPreferenceIsProcessWide) {
  const std::string tun =
      "[Scale Begin]\nFormatVersion=200\n[Exact Tuning]\nnote 69=6950.0\n"
      "[Functional Tuning]\nnote 69=\"!432\"\n[Scale End]\n";
  TempFile f("pref.tun", tun);
  TuningState a;
  ASSERT_EQ(a.LoadTuningFile(f.Path()), 0);
  EXPECT_EQ(a.UserPitch(69), ExpectedPitch(432.0L));
  TuningState::SetExactTuningPreferred(true);
  TuningState b;
  ASSERT_EQ(b.LoadTuningFile(f.Path()), 0);
  TuningState::SetExactTuningPreferred(false);
  EXPECT_NEAR(b.UserPitch(69), ExpectedPitch(440.0L * std::pow(2.0L, 1.0L / 24.0L)), 1);
}

TEST(TuningState, TuningBlockRoundTrips) {
  TempFile scl("three.scl", kSclText);
  TuningState t;
  ASSERT_EQ(t.LoadTuningFile(scl.Path()), 0);
  t.SelectTuning(14);
  ChunkBuffer chunk;
  chunk.Put<std::int32_t>(77);  // something before the block
  ASSERT_TRUE(t.SerializeTuning(chunk));
  ASSERT_EQ(chunk.Size(), 4 + TuningState::kBlockSize);
  // Selection little-endian, the name buffer, then big-endian pitches.
  EXPECT_EQ(chunk.Data()[4], 14);
  EXPECT_EQ(0, std::memcmp(chunk.Data() + 8, "Three tones\0", 12));
  const int pitch60 = t.UserPitch(60);
  EXPECT_EQ(chunk.Data()[8 + 256 + 120], pitch60 >> 8);
  EXPECT_EQ(chunk.Data()[8 + 256 + 121], pitch60 & 0xff);

  TuningState u;
  EXPECT_EQ(u.UnserializeTuning(chunk, 4), chunk.Size());
  EXPECT_EQ(u.Selection(), 14);
  EXPECT_STREQ(u.UserTuningName(), "Three tones");
  for (int n = 0; n < 128; ++n) {
    EXPECT_EQ(u.UserPitch(n), t.UserPitch(n));
    EXPECT_EQ(u.NotePitch(n), t.NotePitch(n));
  }
  ChunkBuffer again;
  u.SerializeTuning(again);
  ASSERT_EQ(again.Size(), TuningState::kBlockSize);
  EXPECT_EQ(0, std::memcmp(again.Data(), chunk.Data() + 4, TuningState::kBlockSize));
}

TEST(TuningState, RestoringABuiltInSelectionRebuildsIt) {
  TuningState t;
  t.SelectTuning(4);
  ChunkBuffer chunk;
  t.SerializeTuning(chunk);
  TuningState u;
  EXPECT_EQ(u.UnserializeTuning(chunk, 0), TuningState::kBlockSize);
  EXPECT_EQ(u.Selection(), 4);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(u.NotePitch(n), t.NotePitch(n));
}

TEST(TuningState, ShortAndHostileBlocks) {
  TuningState t;
  ChunkBuffer chunk;
  chunk.Put<std::int32_t>(99);
  std::uint8_t name[256];
  std::memset(name, 'A', sizeof name);  // no terminator
  chunk.PutBytes(name, 256);
  chunk.PutBE<std::uint16_t>(65535);
  chunk.PutBE<std::uint16_t>(300);
  chunk.PutBytes("\x01", 1);  // half an entry
  EXPECT_EQ(t.UnserializeTuning(chunk, 0), -1);
  EXPECT_EQ(t.Selection(), 0);  // 99 selects equal temperament
  EXPECT_EQ(std::strlen(t.UserTuningName()), 255u);
  EXPECT_EQ(t.UserPitch(0), kPitchLimit);
  EXPECT_EQ(t.UserPitch(1), 300);
  EXPECT_EQ(t.UserPitch(2), 256);  // entries the data does not cover keep their values
  EXPECT_EQ(t.UserPitch(127), 128 * 127);

  // Only a selection: the name and the table stay.
  TuningState u;
  ChunkBuffer selection;
  selection.Put<std::int32_t>(14);
  EXPECT_EQ(u.UnserializeTuning(selection, 0), -1);
  EXPECT_EQ(u.Selection(), 14);
  EXPECT_EQ(u.NotePitch(100), 12800);

  // Nothing at all, or a position that already failed.
  u.SelectTuning(3);
  EXPECT_EQ(u.UnserializeTuning(ChunkBuffer(), 0), -1);
  EXPECT_EQ(u.Selection(), 3);
  EXPECT_EQ(u.UnserializeTuning(selection, -1), -1);
  EXPECT_EQ(u.Selection(), 3);
}

// The audio thread reads the active table at note starts while the editor rewrites it.
TEST(TuningStateConcurrency, NoteStartsDuringSelectionChanges) {
  TuningState t;
  std::int32_t valid[15][128];
  for (int i = 0; i < 14; ++i) {
    t.SelectTuning(i);
    ActiveTable(t, valid[i]);
  }
  std::atomic<bool> stop{false};
  std::atomic<long> badReads{0};
  std::thread audio([&] {
    while (!stop.load()) {
      for (int n = 0; n < 128; ++n) {
        const std::int32_t p = t.NotePitch(n);
        bool known = false;
        for (int i = 0; i < 14 && !known; ++i) known = p == valid[i][n];
        if (!known) badReads.fetch_add(1);
      }
    }
  });
  for (int round = 0; round < 60; ++round) t.SelectTuning(round % 14);
  stop.store(true);
  audio.join();
  EXPECT_EQ(badReads.load(), 0);
}
