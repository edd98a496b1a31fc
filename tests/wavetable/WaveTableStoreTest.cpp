#include "wavetable/WaveTableStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "WaveTestHelpers.h"
#include "shell/ChunkBuffer.h"
#include "wavetable/BandLimiter.h"
#include "wavetable/BuiltInTableCache.h"
#include "wavetable/WaveTableWorker.h"

namespace {

constexpr std::int32_t kSlot1 = 65531;
constexpr std::int32_t kSlot2 = 65532;
constexpr std::int32_t kSlot3 = 65533;

std::vector<float> SineWaves(int waves, int harmonicOfWave0) {
  std::vector<float> x(static_cast<std::size_t>(waves) * kWaveLength);
  for (int w = 0; w < waves; ++w) {
    for (int i = 0; i < kWaveLength; ++i) {
      x[w * kWaveLength + i] =
          static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * (harmonicOfWave0 + w) * i / kWaveLength));
    }
  }
  return x;
}

// A store whose selections are heard at once: it waits for the tables it asked for, as an offline
// render does.
struct Store : WaveTableStore {
  Store() { SetConstructing(false); }
  bool Select(int oscillator, std::int32_t identifier) {
    const bool told = WaveTableStore::Select(oscillator, identifier);
    FinishPending();
    return told;
  }
};

TEST(WaveTableStore, WhileConstructingSelectOnlyRecordsTheIdentifier) {
  WaveTableStore store;
  EXPECT_TRUE(store.Constructing());
  EXPECT_FALSE(store.Select(0, 4));
  EXPECT_EQ(store.SelectedIdentifier(0), 4);
  EXPECT_FALSE(store.Table(0).IsValid());
  EXPECT_EQ(store.Table(0).Level(0), nullptr);
  store.SetConstructing(false);
  EXPECT_TRUE(store.Select(0, 4));
  store.FinishPending();
  EXPECT_TRUE(store.Table(0).IsValid());
}

TEST(WaveTableStore, WaveTableParametersMapToOscillators) {
  EXPECT_EQ(WaveTableStore::OscillatorOfParameter(11), 0);
  EXPECT_EQ(WaveTableStore::OscillatorOfParameter(30), 1);
  EXPECT_EQ(WaveTableStore::OscillatorOfParameter(50), 2);
  EXPECT_EQ(WaveTableStore::OscillatorOfParameter(12), -1);
}

TEST(WaveTableStore, SelectingABuiltInTable) {
  Store store;
  EXPECT_TRUE(store.Select(1, 4));
  const WaveTable& t = store.Table(1);
  EXPECT_TRUE(t.IsValid());
  EXPECT_EQ(t.Identifier(), 4);
  EXPECT_EQ(t.WaveCount(), 2);
  EXPECT_EQ(t.TotalSamples(), 2u * kWaveLength);
  for (int l = 0; l < kWaveLevelCount; ++l) EXPECT_NE(t.Level(l), nullptr);
  // The other tables are untouched.
  EXPECT_FALSE(store.Table(0).IsValid());
  EXPECT_FALSE(store.Table(2).IsValid());
}

TEST(WaveTableStore, BuiltInTablesAreSharedAcrossStores) {
  Store a;
  Store b;
  a.Select(0, 13);
  b.Select(2, 13);
  EXPECT_EQ(a.Table(0).Level(3), b.Table(2).Level(3));
  EXPECT_EQ(a.Table(0).Levels(), BuiltInTableCache::Get(13));
}

TEST(WaveTableStore, IdentifierAboveTheBuiltInsKeepsThePreviousLevels) {
  Store store;
  store.Select(0, 3);
  const std::int16_t* before = store.Table(0).Level(0);
  EXPECT_TRUE(store.Select(0, 38));
  EXPECT_TRUE(store.Table(0).IsValid());
  EXPECT_EQ(store.Table(0).Identifier(), 38);
  EXPECT_EQ(store.Table(0).WaveCount(), 2);
  EXPECT_EQ(store.Table(0).Level(0), before);
  store.Select(0, 65534);
  EXPECT_EQ(store.Table(0).Identifier(), 65534);
  EXPECT_EQ(store.Table(0).Level(0), before);

  // A table that was never built has no levels and plays silence, though valid.
  Store fresh;
  fresh.Select(1, 100);
  EXPECT_TRUE(fresh.Table(1).IsValid());
  EXPECT_EQ(fresh.Table(1).Level(0), nullptr);
}

TEST(WaveTableStore, EmptySlotLeavesThePreviousTablePlaying) {
  Store store;
  store.Select(2, 5);
  const std::int16_t* before = store.Table(2).Level(0);
  EXPECT_TRUE(store.Select(2, kSlot2));
  EXPECT_EQ(store.SelectedIdentifier(2), kSlot2);
  EXPECT_EQ(store.Table(2).Identifier(), 5);
  EXPECT_EQ(store.Table(2).WaveCount(), 4);
  EXPECT_EQ(store.Table(2).Level(0), before);
  EXPECT_TRUE(store.Table(2).IsValid());
}

TEST(WaveTableStore, SlotBuildsAtMostSixtyFourWaves) {
  Store store;
  auto waves = SineWaves(70, 1);
  ASSERT_TRUE(store.Slot(0).Set(waves.data(), static_cast<int>(waves.size()), "seventy.wav"));
  store.Select(1, kSlot1);
  const WaveTable& t = store.Table(1);
  EXPECT_TRUE(t.IsValid());
  EXPECT_EQ(t.Identifier(), -1);
  EXPECT_EQ(t.WaveCount(), 64);
  EXPECT_EQ(t.TotalSamples(), 64u * kWaveLength);
  // Wave 63 holds harmonic 64 (the 64th wave of the slot).
  const auto a = wavetest::Harmonics(wavetest::WaveOf(t, 0, 63));
  EXPECT_NEAR(a[64], 1.0, 0.01);
}

TEST(WaveTableStore, ChangingASlotTakesEffectAtItsNextSelection) {
  Store store;
  auto first = SineWaves(2, 3);
  store.Slot(2).Set(first.data(), static_cast<int>(first.size()), "a.wav");
  store.Select(0, kSlot3);
  EXPECT_EQ(store.Table(0).WaveCount(), 2);
  auto second = SineWaves(3, 5);
  store.Slot(2).Set(second.data(), static_cast<int>(second.size()), "b.wav");
  // Changing a slot alone does not rebuild the table...
  EXPECT_EQ(store.Table(0).WaveCount(), 2);
  // ...selecting it again does.
  store.Select(0, kSlot3);
  EXPECT_EQ(store.Table(0).WaveCount(), 3);
  EXPECT_NEAR(wavetest::Harmonics(wavetest::WaveOf(store.Table(0), 0, 0))[5], 1.0, 0.01);
}

TEST(WaveTableStore, UserTablesAreBuiltOncePerContent) {
  Store store;
  // Samples no other test loads: a table of equal samples still alive elsewhere would be shared.
  auto first = SineWaves(2, 17);
  const std::int64_t builds = BandLimiter::BuildsOnThisThread();
  store.Slot(0).Set(first.data(), static_cast<int>(first.size()), "a.wav");
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), builds + 1);  // loading builds the table
  store.Select(0, kSlot1);
  store.Select(1, kSlot1);
  EXPECT_EQ(store.Table(0).Level(0), store.Table(1).Level(0));
  const std::int16_t* firstTable = store.Table(1).Level(0);
  // Same wave count, new content: oscillator 0 plays it, oscillator 1 keeps the first one.
  auto second = SineWaves(2, 23);
  store.Slot(0).Set(second.data(), static_cast<int>(second.size()), "b.wav");
  store.Select(0, kSlot1);
  EXPECT_NEAR(wavetest::Harmonics(wavetest::WaveOf(store.Table(0), 0, 1))[24], 1.0, 0.01);
  EXPECT_NEAR(wavetest::Harmonics(wavetest::WaveOf(store.Table(1), 0, 1))[18], 1.0, 0.01);
  // Back and forth between a built-in table and the slot: the slot's table is not built again.
  const std::int16_t* secondTable = store.Table(0).Level(0);
  store.Select(0, 4);
  EXPECT_EQ(store.Table(0).WaveCount(), 2);
  EXPECT_EQ(store.Table(0).Identifier(), 4);
  const std::int64_t afterLoads = BandLimiter::BuildsOnThisThread();
  store.Select(0, kSlot1);
  EXPECT_EQ(store.Table(0).Identifier(), -1);
  EXPECT_EQ(store.Table(0).Level(0), secondTable);
  // Equal samples in another slot (another program carrying the same wave) share the table.
  auto content = UserWaveSlot::MakeContent(first.data(), static_cast<int>(first.size()), "copy.wav");
  store.SetSlotContent(2, content);
  store.Select(2, kSlot3);
  EXPECT_EQ(store.Table(2).Level(0), firstTable);
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), afterLoads);
  EXPECT_EQ(store.Slot(2).Name(), "copy.wav");
}

// A table that is not built yet is asked for; the oscillator keeps what it plays until the table
// is there, and selecting never builds on the selecting thread (which may be the audio thread).
TEST(WaveTableStore, ATableNotBuiltYetTakesOverOnceBuilt) {
  WaveTableStore store;
  store.SetConstructing(false);
  store.Select(1, 5);
  store.FinishPending();
  const std::int16_t* before = store.Table(1).Level(0);
  ASSERT_NE(before, nullptr);

  auto waves = SineWaves(3, 2);
  auto content = UserWaveSlot::MakeContent(waves.data(), static_cast<int>(waves.size()), "late.wav");
  ASSERT_FALSE(content->Built());
  store.SetSlotContent(0, content);
  const std::int64_t builds = BandLimiter::BuildsOnThisThread();
  WaveTableWorker::Pause(true);
  EXPECT_TRUE(store.Select(1, kSlot1));
  // An empty slot and an identifier beyond the tables change what is on its way, not what plays.
  EXPECT_TRUE(store.Select(1, kSlot2));
  EXPECT_TRUE(store.Select(1, 40));
  store.InstallReady();
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), builds);
  EXPECT_TRUE(store.Pending());
  EXPECT_EQ(store.Table(1).Identifier(), 5);
  EXPECT_EQ(store.Table(1).Level(0), before);
  EXPECT_TRUE(store.Table(1).IsValid());

  // The worker was asked for it; once it is built, the next tick installs it.
  EXPECT_FALSE(content->Built());
  WaveTableWorker::Pause(false);
  WaveTableWorker::WaitUntilIdle();
  EXPECT_TRUE(content->Built());
  EXPECT_EQ(store.InstallReady(), 2u);
  EXPECT_FALSE(store.Pending());
  EXPECT_EQ(store.Table(1).Identifier(), 40);
  EXPECT_EQ(store.Table(1).WaveCount(), 3);
  EXPECT_EQ(store.Table(1).Levels(), content->Levels());
  EXPECT_EQ(store.InstallReady(), 0u);
  EXPECT_EQ(BandLimiter::BuildsOnThisThread(), builds);
}

TEST(WaveTableStore, SlotShorterThanOneWaveIsPaddedWithSilence) {
  Store store;
  std::vector<float> ramp(1024);
  for (int i = 0; i < 1024; ++i) ramp[i] = 0.5f;
  store.Slot(0).Set(ramp.data(), 1024, "short");
  store.Select(0, kSlot1);
  const WaveTable& t = store.Table(0);
  EXPECT_EQ(t.WaveCount(), 1);
  // Half a cycle high, half silent: its fundamental is strong, its even harmonics absent.
  const auto a = wavetest::Harmonics(wavetest::WaveOf(t, 0, 0));
  EXPECT_GT(a[1], 0.3);
  EXPECT_LT(a[2], 1e-3);
}

TEST(WaveTableStore, SlotSelectionIsTrackedForTheStateChunk) {
  Store store;
  EXPECT_FALSE(store.SlotSelected(1));
  store.Select(2, kSlot2);
  EXPECT_TRUE(store.SlotSelected(1));
  EXPECT_FALSE(store.SlotSelected(0));
  store.Select(2, 0);
  EXPECT_FALSE(store.SlotSelected(1));
}

TEST(UserWaveSlot, SetClampsScalesAndTruncates) {
  UserWaveSlot slot;
  const float v[] = {0.5f, -0.5f, 2.0f, -2.0f, 1.0f, std::numeric_limits<float>::quiet_NaN(),
                     -std::numeric_limits<float>::infinity(), 0.99999f};
  ASSERT_TRUE(slot.Set(v, 8, "x"));
  const std::int16_t expected[] = {16383, -16383, 32767, -32767, 32767, 0, -32767, 32766};
  ASSERT_EQ(slot.Length(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(slot.Samples()[i], expected[i]) << i;
  EXPECT_EQ(slot.Name(), "x");
}

TEST(UserWaveSlot, WriteThenReadGivesBackTheSlot) {
  UserWaveSlot slot;
  const float v[] = {0.25f, -1.0f, 0.0f};
  slot.Set(v, 3, "my wave.wav");
  ChunkBuffer chunk;
  chunk.Put<std::int32_t>(77);  // something before it
  slot.Write(chunk);
  EXPECT_EQ(chunk.Size(), 4 + 4 + 6 + 4 + 11);

  UserWaveSlot back;
  EXPECT_EQ(back.Read(chunk, 4), chunk.Size());
  EXPECT_EQ(back.Length(), 3u);
  EXPECT_EQ(back.Samples()[0], slot.Samples()[0]);
  EXPECT_EQ(back.Samples()[1], -32767);
  EXPECT_EQ(back.Name(), "my wave.wav");

  // An empty slot is a zero length and an empty name.
  ChunkBuffer empty;
  UserWaveSlot().Write(empty);
  EXPECT_EQ(empty.Size(), 8);
  EXPECT_EQ(back.Read(empty, 0), 8);
  EXPECT_TRUE(back.Empty());
  EXPECT_EQ(back.Name(), "");
}

TEST(UserWaveSlot, BrokenChunksLeaveTheSlotEmpty) {
  UserWaveSlot full;
  const float v[] = {0.1f, 0.2f, 0.3f, 0.4f};
  full.Set(v, 4, "name");
  ChunkBuffer good;
  full.Write(good);

  auto expectEmptyAfter = [&](const ChunkBuffer& chunk, int pos) {
    UserWaveSlot slot;
    slot.Set(v, 4, "old");
    EXPECT_EQ(slot.Read(chunk, pos), -1);
    EXPECT_TRUE(slot.Empty());
    EXPECT_EQ(slot.Name(), "");
  };

  // Cut inside the samples, inside the name count, inside the name; before the length.
  for (int cut : {6, 13, 14, 19, 2}) {
    ChunkBuffer chunk;
    chunk.Assign(good.Data(), cut);
    expectEmptyAfter(chunk, 0);
  }
  expectEmptyAfter(good, -1);
  expectEmptyAfter(good, good.Size());

  // A length far beyond the chunk is refused before anything is allocated.
  ChunkBuffer huge;
  huge.Put<std::uint32_t>(0xFFFFFFFFu);
  huge.Put<std::int16_t>(1);
  expectEmptyAfter(huge, 0);

  // A name count beyond the chunk.
  ChunkBuffer longName;
  longName.Put<std::uint32_t>(0);
  longName.Put<std::int32_t>(1000);
  longName.PutBytes("abc", 3);
  expectEmptyAfter(longName, 0);
}

TEST(UserWaveSlot, NegativeNameCountGivesAnEmptyName) {
  ChunkBuffer chunk;
  chunk.Put<std::uint32_t>(1);
  chunk.Put<std::int16_t>(-5);
  chunk.Put<std::int32_t>(-20);
  chunk.Put<std::int32_t>(99);
  UserWaveSlot slot;
  EXPECT_EQ(slot.Read(chunk, 0), 10);
  EXPECT_EQ(slot.Length(), 1u);
  EXPECT_EQ(slot.Samples()[0], -5);
  EXPECT_EQ(slot.Name(), "");
}

}  // namespace
