#include "engine/BankLoad.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "support/TestPaths.h"

namespace {

using engine_test::Harness;

// Programs with everything a program carries: user wave tables, temperaments, a user tuning.
void MakeVariedPrograms(Tarvolin& plug) {
  const char* dumps[] = {"JUNO.SYX", "WATER.SYX", "GUITAR.SYX"};
  for (int p = 0; p < 8; ++p) {
    plug.SelectProgram(p * 7);
    const int slot = p % 3;
    ASSERT_TRUE(plug.LoadUserWaveTable(slot, TestDataPath(std::string("waves/syx/") + dumps[slot])));
    if (p % 4 != 3) plug.SelectWaveTable(slot, 65531 + slot);  // one slot loaded but played by none
    if (p % 2 == 0) {
      ASSERT_EQ(plug.LoadTuningFile(TestDataPath("tuning/scl/pyth_12.scl")), 0);
      plug.SelectTuning(14);
    } else {
      plug.SelectTuning(p);
    }
    plug.ModifyCurrentPreset(("varied " + std::to_string(p)).c_str());
  }
}

ChunkBuffer BankBody(Tarvolin& plug) {
  ChunkBuffer body;
  plug.ModifyCurrentPreset(nullptr);
  plug.SerializePresets(body);
  return body;
}

// A bank body built slot by slot: flag 0 where state is null.
struct BodyWriter {
  ChunkBuffer body;
  void Slot(const std::string& name, const ChunkBuffer* state) {
    body.PutStr(name);
    body.Put<std::uint8_t>(state != nullptr ? 1 : 0);
    if (state != nullptr) body.PutBytes(state->Data(), state->Size());
  }
};

// The state of slot i of a bank body written by SerializePresets.
ChunkBuffer StateOf(Tarvolin& plug, int i) {
  ChunkBuffer state;
  state.Assign(plug.GetProgram(i)->state.Data(), plug.GetProgram(i)->state.Size());
  return state;
}

// The live state as written, without the fields that name the current program.
std::vector<std::uint8_t> SoundOf(Tarvolin& plug) {
  ChunkBuffer state;
  plug.SerializeProgramState(state);
  std::int32_t nameLength = 0;
  state.Get(&nameLength, 18);
  return std::vector<std::uint8_t>(state.Data() + 22 + nameLength, state.Data() + state.Size());
}

// Two instruments in the same state, a chord held; one reads the bank in turn into its live state
// (the way a bank was always read), the other prepares it without the lock and swaps it in.
void ExpectSameAsReadingInTurn(const ChunkBuffer& body, int currentProgram, bool complete, const char* what) {
  SCOPED_TRACE(what);
  std::vector<std::unique_ptr<Harness>> pair;
  for (int k = 0; k < 2; ++k) {
    pair.push_back(std::make_unique<Harness>(48000.0, 64, false));
    Tarvolin& plug = *pair.back()->plug;
    plug.SelectProgram(currentProgram);
    // A live state the bank partly leaves alone: a user slot played by no program of the bank.
    ASSERT_TRUE(plug.LoadUserWaveTable(2, TestDataPath("waves/syx/BIRD-W.SYX")));
    plug.SelectTuning(5);
    for (int note : {48, 55, 64}) pair.back()->NoteOn(0, note);
    pair.back()->Render(512);
  }
  Tarvolin& inTurn = *pair[0]->plug;
  Tarvolin& swapped = *pair[1]->plug;
  const int expectedEnd = inTurn.IPlugBase::UnserializePresets(body, 0);
  EXPECT_EQ(swapped.UnserializePresets(body, 0), expectedEnd);
  EXPECT_EQ(expectedEnd, complete ? body.Size() : -1);
  for (auto& h : pair) h->Render(512);

  EXPECT_EQ(swapped.CurrentProgram(), inTurn.CurrentProgram());
  ChunkBuffer a, b;
  inTurn.SerializePresets(a);
  swapped.SerializePresets(b);
  EXPECT_EQ(a.Size(), b.Size());
  for (int i = 0; i < 64; ++i) {
    const ProgramSlot& x = *inTurn.GetProgram(i);
    const ProgramSlot& y = *swapped.GetProgram(i);
    EXPECT_EQ(y.name, x.name) << i;
    EXPECT_EQ(y.initialised, x.initialised) << i;
    EXPECT_EQ(StateOf(swapped, i).Size(), StateOf(inTurn, i).Size()) << i;
    EXPECT_TRUE(x.state.Size() == y.state.Size() && std::equal(x.state.Data(), x.state.Data() + x.state.Size(), y.state.Data()))
        << "state of program " << i;
  }
  // The live state, the tuning importer and the tables playing.
  ChunkBuffer liveA, liveB;
  inTurn.SerializeProgramState(liveA);
  swapped.SerializeProgramState(liveB);
  EXPECT_TRUE(liveA.Size() == liveB.Size() && std::equal(liveA.Data(), liveA.Data() + liveA.Size(), liveB.Data()));
  EXPECT_EQ(swapped.Tuning().Importer().ScaleName(), inTurn.Tuning().Importer().ScaleName());
  EXPECT_EQ(swapped.Tuning().Importer().ScaleSize(), inTurn.Tuning().Importer().ScaleSize());
  for (int n = 0; n < 128; ++n) ASSERT_EQ(swapped.Tuning().NotePitch(n), inTurn.Tuning().NotePitch(n)) << n;
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(swapped.WaveTables().Slot(j).Name(), inTurn.WaveTables().Slot(j).Name()) << j;
    EXPECT_EQ(swapped.WaveTables().Slot(j).Length(), inTurn.WaveTables().Slot(j).Length()) << j;
  }
  swapped.FinishWaveTables();
  inTurn.FinishWaveTables();
  for (int o = 0; o < 3; ++o) {
    const WaveTable& x = inTurn.WaveTables().Table(o);
    const WaveTable& y = swapped.WaveTables().Table(o);
    EXPECT_EQ(y.Identifier(), x.Identifier()) << o;
    ASSERT_EQ(y.WaveCount(), x.WaveCount()) << o;
    ASSERT_TRUE(x.Level(0) != nullptr && y.Level(0) != nullptr) << o;
    EXPECT_TRUE(std::equal(x.Level(0), x.Level(0) + x.TotalSamples(), y.Level(0))) << "table of oscillator " << o;
  }
  // Recalling a program (from its prepared state) gives what reading its bytes gives.
  for (int i = 0; i < 64; i += 9) {
    if (!swapped.GetProgram(i)->initialised) continue;
    ASSERT_TRUE(swapped.RecallProgram(i));
    ASSERT_GT(inTurn.UnserializeProgramState(inTurn.GetProgram(i)->state, 0), 0);
    EXPECT_EQ(SoundOf(swapped), SoundOf(inTurn)) << i;
  }
}

}  // namespace

TEST(BankLoad, EndsWithTheProgramsNamesAndStateOfReadingTheProgramsInTurn) {
  Tarvolin source(nullptr);
  const ChunkBuffer factory = BankBody(source);
  MakeVariedPrograms(source);
  const ChunkBuffer varied = BankBody(source);
  ExpectSameAsReadingInTurn(factory, 0, true, "factory bank");
  ExpectSameAsReadingInTurn(varied, 14, true, "varied bank, current program 14");

  // Empty slots, the current one among them (it takes the sound playing when recalled), and a
  // state of another writer that brings only one user slot (the others stay as the program before
  // left them).
  std::vector<ChunkBuffer> states;
  for (int i = 0; i < 64; ++i) states.push_back(StateOf(source, i));
  ChunkBuffer oneSlot;
  {
    // Program 14 (varied 2) plays user slot 3, which the program before it in the bank (itself)
    // brings along: the state below leaves it as that one left it.
    const ChunkBuffer& full = states[14];
    std::int32_t nameLength = 0;
    full.Get(&nameLength, 18);
    oneSlot.Assign(full.Data(), 22 + nameLength + 153 * 8 + TuningState::kBlockSize);
    oneSlot.Put<std::uint8_t>(1);
    oneSlot.Put<std::uint8_t>(0);
    oneSlot.Put<std::int32_t>(4);
    oneSlot.Put<std::int32_t>(1105);
  }
  BodyWriter holes;
  for (int i = 0; i < 64; ++i) {
    const bool empty = i == 3 || i == 21 || i == 40;
    holes.Slot("slot " + std::to_string(i), empty ? nullptr : (i == 15 ? &oneSlot : &states[static_cast<std::size_t>(i)]));
  }
  ExpectSameAsReadingInTurn(holes.body, 21, true, "empty slots, the current one empty");
  ExpectSameAsReadingInTurn(holes.body, 15, true, "a state bringing one user slot");

  // A bank cut inside its 30th state: the programs before it are read, the rest keep theirs.
  ChunkBuffer cut;
  cut.Assign(varied.Data(), varied.Size() / 2);
  ExpectSameAsReadingInTurn(cut, 14, false, "a bank cut short");
  ExpectSameAsReadingInTurn(cut, 50, false, "a bank cut short before the current program");
}
