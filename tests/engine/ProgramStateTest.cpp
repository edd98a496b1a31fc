#include "engine/ProgramState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "support/TestPaths.h"

namespace {

constexpr int kValuesSize = 153 * 8;
constexpr int kTagAndIndex = 14 + 4;

// An instrument playing a user wave table on oscillator 2 in a user tuning, with a few edits.
void MakeRich(Tarvolin& plug) {
  ASSERT_TRUE(plug.WaveTables().LoadUserWaveTable(1, TestDataPath("waves/syx/GUITAR.SYX")));
  plug.GetParam(param::kWaveTable2)->SetPlainClamped(65532);
  plug.OnParameterChanged(param::kWaveTable2);
  ASSERT_EQ(plug.Tuning().LoadTuningFile(TestDataPath("tuning/scl/pyth_12.scl")), 0);
  plug.Tuning().SelectTuning(14);
  plug.GetParam(param::kVolume)->SetPlainClamped(0.37);
  plug.GetParam(param::kFilterCutoff)->SetPlainClamped(0.61);
  plug.GetParam(param::kMg1SyncRate)->SetPlainClamped(15);
}

ChunkBuffer Write(Tarvolin& plug) {
  ChunkBuffer chunk;
  EXPECT_TRUE(plug.SerializeProgramState(chunk));
  return chunk;
}

ChunkBuffer Prefix(const ChunkBuffer& chunk, int size) {
  ChunkBuffer out;
  out.Assign(chunk.Data(), size);
  return out;
}

std::int32_t IntAt(const ChunkBuffer& c, int pos) {
  std::int32_t v = 0;
  c.Get(&v, pos);
  return v;
}

bool AllInRange(Tarvolin& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const Parameter& p = *plug.GetParam(i);
    if (!(p.Value() >= p.Min() && p.Value() <= p.Max())) return false;
  }
  return true;
}

}  // namespace

TEST(ProgramState, LayoutOfAWrittenState) {
  Tarvolin plug(nullptr);
  plug.RecallProgram(63);
  const ChunkBuffer state = Write(plug);
  // Tag, program index 63 and its name "Init", values, tuning, three absent slots, extension.
  ASSERT_EQ(state.Size(), kTagAndIndex + 4 + 4 + kValuesSize + 516 + 4 + 8);
  EXPECT_EQ(std::memcmp(state.Data(), "Tarvolin_1.1.3", 14), 0);
  EXPECT_EQ(IntAt(state, 14), 63);
  EXPECT_EQ(IntAt(state, 18), 4);
  EXPECT_EQ(std::memcmp(state.Data() + 22, "Init", 4), 0);
  double volume = 0;
  state.Get(&volume, 26);
  EXPECT_EQ(volume, 0.5);
  const int tail = state.Size() - 12;
  EXPECT_EQ(state.Data()[tail], 3);
  EXPECT_EQ(state.Data()[tail + 1] + state.Data()[tail + 2] + state.Data()[tail + 3], 0);
  EXPECT_EQ(IntAt(state, tail + 4), 4);
  EXPECT_EQ(IntAt(state, tail + 8), 1105);
}

TEST(ProgramState, RoundTripThroughAFreshInstanceIsExactAndEndsAtTheEnd) {
  Tarvolin plug(nullptr);
  MakeRich(plug);
  const ChunkBuffer state = Write(plug);

  Tarvolin fresh(nullptr);
  EXPECT_EQ(fresh.UnserializeProgramState(state, 0), state.Size());
  fresh.FinishWaveTables();  // the user table is built by the worker
  EXPECT_EQ(fresh.Tuning().Selection(), 14);
  EXPECT_EQ(fresh.Tuning().NotePitch(64), plug.Tuning().NotePitch(64));
  EXPECT_EQ(fresh.WaveTables().Slot(1).Length(), plug.WaveTables().Slot(1).Length());
  EXPECT_EQ(fresh.WaveTables().Slot(1).Name(), plug.WaveTables().Slot(1).Name());
  EXPECT_EQ(fresh.WaveTables().Table(1).WaveCount(), plug.WaveTables().Table(1).WaveCount());
  for (int i = 0; i < 153; ++i) EXPECT_EQ(fresh.GetParam(i)->Value(), plug.GetParam(i)->Value()) << i;
  // Fields 2 and 3 name the writer's current program; both instances are at program 0.
  EXPECT_EQ(fresh.ProgramName(0), plug.ProgramName(0));
  const ChunkBuffer again = Write(fresh);
  ASSERT_EQ(again.Size(), state.Size());
  EXPECT_EQ(std::memcmp(again.Data(), state.Data(), static_cast<std::size_t>(state.Size())), 0);
}

TEST(ProgramState, AFreshInstanceRendersAStateWithUserTableAndTuningIdentically) {
  engine_test::Harness first;
  MakeRich(*first.plug);
  const ChunkBuffer state = Write(*first.plug);
  // The writer also takes the state back, so that both engines hear every value the same way.
  ASSERT_EQ(first.plug->UnserializeProgramState(state, 0), state.Size());
  engine_test::Harness second;
  ASSERT_EQ(second.plug->UnserializeProgramState(state, 0), state.Size());

  std::vector<engine_test::Stereo> renders;
  for (engine_test::Harness* h : {&first, &second}) {
    h->NoteOn(0, 57);
    h->NoteOn(0, 64);
    renders.push_back(h->Render(8192));
    h->NoteOff(0, 57);
    h->NoteOff(0, 64);
    renders.back().Append(h->Render(4096));
  }
  ASSERT_GT(engine_test::Peak(renders[0].left), 0.01);
  EXPECT_EQ(renders[0].left, renders[1].left);
  EXPECT_EQ(renders[0].right, renders[1].right);
}

TEST(ProgramState, ReservedParametersAreWrittenAsZero) {
  Tarvolin plug(nullptr);
  for (int i = param::kFirstReserved; i < param::kCount; ++i) plug.GetParam(i)->SetPlainClamped(1.0);
  const ChunkBuffer state = Write(plug);
  const int values = kTagAndIndex + 4 + static_cast<int>(plug.ProgramName(0).size());
  for (int i = param::kFirstReserved; i < param::kCount; ++i) {
    double v = -1;
    state.Get(&v, values + 8 * i);
    EXPECT_EQ(v, 0.0) << i;
    EXPECT_EQ(plug.GetParam(i)->Value(), 0.0) << i;
  }
}

TEST(ProgramState, EarlierLayoutOfBareValuesAppliesThemAndFails) {
  Tarvolin plug(nullptr);
  ChunkBuffer bare;
  for (int i = 0; i < 153; ++i) bare.Put<double>(i == 0 ? 0.25 : plug.GetParam(i)->Default());
  EXPECT_EQ(plug.UnserializeProgramState(bare, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);
  EXPECT_EQ(plug.GetParam(param::kNumberOfVoices)->Value(), 0.0);
  // With a tuning block, a slot count and an extension size of 0, an old state reads completely.
  ChunkBuffer tuning;
  plug.Tuning().SerializeTuning(tuning);
  bare.PutBytes(tuning.Data(), tuning.Size());
  bare.Put<std::uint8_t>(0);
  bare.Put<std::int32_t>(0);
  EXPECT_EQ(plug.UnserializeProgramState(bare, 0), bare.Size());
}

TEST(ProgramState, OutOfRangeValuesAreClampedAndTheFirstMissingOneIsZero) {
  Tarvolin plug(nullptr);
  ChunkBuffer data;
  data.Put<double>(7.0);     // Volume: 0 ... 1
  data.Put<double>(-99.0);   // Master Tune: -1 ... 1
  data.Put<double>(1e300);   // Number of Voices: 0 ... 6
  plug.GetParam(3)->SetPlainClamped(1.0);
  plug.GetParam(4)->SetPlainClamped(0.9);
  EXPECT_EQ(plug.UnserializeProgramState(data, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), -1.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 6.0);
  EXPECT_EQ(plug.GetParam(3)->Value(), 0.0);  // the first value that is not there
  EXPECT_EQ(plug.GetParam(4)->Value(), 0.9);  // the ones after it stay
}

TEST(ProgramState, EveryCutOfARealStateFailsSafely) {
  Tarvolin source(nullptr);
  MakeRich(source);
  const ChunkBuffer state = Write(source);
  Tarvolin plug(nullptr);
  // Every cut through the parameters, names and the wave's header and last samples; inside the long
  // run of samples, where every cut is alike, one in 97.
  for (int size = 0; size < state.Size(); ++size) {
    if (size > 4096 && state.Size() - size > 4096 && size % 97 != 0) continue;
    const ChunkBuffer cut = Prefix(state, size);
    ASSERT_EQ(plug.UnserializeProgramState(cut, 0), -1) << size;
    ASSERT_TRUE(AllInRange(plug)) << size;
  }
  EXPECT_EQ(plug.UnserializeProgramState(state, 0), state.Size());
  // Reading at a position that is not a state's start, or beyond the data, never reads outside it.
  for (int pos : {-5, -1, state.Size(), state.Size() + 100, 7, 13}) {
    plug.UnserializeProgramState(state, pos);
    ASSERT_TRUE(AllInRange(plug)) << pos;
  }
}

TEST(ProgramState, SlotPlayedByNoOscillatorIsNotStoredAndIsEmptiedOnRead) {
  Tarvolin plug(nullptr);
  ASSERT_TRUE(plug.WaveTables().LoadUserWaveTable(0, TestDataPath("waves/syx/BIRD-W.SYX")));
  const ChunkBuffer state = Write(plug);
  const int tail = state.Size() - 12;
  EXPECT_EQ(state.Data()[tail + 1], 0);
  EXPECT_EQ(plug.UnserializeProgramState(state, 0), state.Size());
  EXPECT_TRUE(plug.WaveTables().Slot(0).Empty());
}

TEST(ProgramState, MoreUserSlotsThanTheInstrumentHasAreSteppedOver) {
  Tarvolin source(nullptr);
  MakeRich(source);
  ChunkBuffer state = Write(source);
  // Rebuild the tail with five slots: the three real ones (slot 1 present) and two extra present
  // slots that must not disturb what follows them.
  const int slot1 = static_cast<int>(source.WaveTables().Slot(1).Length()) * 2 + 4 + 4 +
                    static_cast<int>(source.WaveTables().Slot(1).Name().size());
  const int slotsAt = state.Size() - 8 - (1 + 3 + slot1);
  ChunkBuffer five = Prefix(state, slotsAt);
  five.Put<std::uint8_t>(5);
  five.Put<std::uint8_t>(0);
  five.Put<std::uint8_t>(1);
  source.WaveTables().Slot(1).Write(five);
  five.Put<std::uint8_t>(0);
  for (int extra = 0; extra < 2; ++extra) {
    five.Put<std::uint8_t>(1);
    source.WaveTables().Slot(1).Write(five);
  }
  five.Put<std::int32_t>(4);
  five.Put<std::int32_t>(1105);

  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.UnserializeProgramState(five, 0), five.Size());
  EXPECT_EQ(plug.WaveTables().Slot(1).Length(), source.WaveTables().Slot(1).Length());
  EXPECT_TRUE(plug.WaveTables().Slot(0).Empty());
  EXPECT_TRUE(plug.WaveTables().Slot(2).Empty());
  // A count of 255 with nothing behind it fails without reading past the data.
  ChunkBuffer many = Prefix(state, slotsAt);
  many.Put<std::uint8_t>(255);
  EXPECT_EQ(plug.UnserializeProgramState(many, 0), -1);
}

TEST(ProgramState, NameCountsThatAreNegativeOrBeyondTheData) {
  Tarvolin source(nullptr);
  const ChunkBuffer state = Write(source);
  const int nameLength = static_cast<int>(source.ProgramName(0).size());
  // A negative count means an empty name: the values follow at once.
  ChunkBuffer negative = Prefix(state, kTagAndIndex);
  negative.Put<std::int32_t>(-7);
  negative.PutBytes(state.Data() + kTagAndIndex + 4 + nameLength, state.Size() - kTagAndIndex - 4 - nameLength);
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.UnserializeProgramState(negative, 0), negative.Size());
  // A count beyond the data reads no value at all and fails.
  ChunkBuffer huge = state;
  const std::int32_t big = 0x7FFFFFF0;
  std::memcpy(huge.Data() + kTagAndIndex, &big, 4);
  plug.GetParam(0)->SetPlainClamped(0.77);
  EXPECT_EQ(plug.UnserializeProgramState(huge, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.77);
}

TEST(ProgramState, MissingExtensionIsAFailureEvenWhenAllElseWasRead) {
  Tarvolin plug(nullptr);
  const ChunkBuffer state = Write(plug);
  EXPECT_EQ(plug.UnserializeProgramState(Prefix(state, state.Size() - 8), 0), -1);
  // An extension size of 0 ends the state there.
  ChunkBuffer none = Prefix(state, state.Size() - 8);
  none.Put<std::int32_t>(0);
  EXPECT_EQ(plug.UnserializeProgramState(none, 0), none.Size());
}

TEST(ProgramState, InitRestoresDefaultsEqualTemperamentAndEmptySlots) {
  Tarvolin plug(nullptr);
  MakeRich(plug);
  plug.InitCurrentProgram();
  // Set from the normalised defaults, as the editor does: equal up to the curve's rounding.
  for (int i = 0; i < 153; ++i) EXPECT_NEAR(plug.GetParam(i)->Value(), plug.GetParam(i)->Default(), 1e-9) << i;
  EXPECT_EQ(plug.Tuning().Selection(), 0);
  for (int j = 0; j < 3; ++j) EXPECT_TRUE(plug.WaveTables().Slot(j).Empty());
  EXPECT_EQ(plug.ProgramName(plug.CurrentProgram()), "Init");
  // The stored program is the initialised sound.
  plug.GetParam(0)->SetPlainClamped(1.0);
  ASSERT_TRUE(plug.RecallProgram(plug.CurrentProgram()));
  EXPECT_NEAR(plug.GetParam(0)->Value(), 0.5, 1e-9);
}
