#include "shell/PresetFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/Resources.h"
#include "support/TestPaths.h"

namespace {

int g_updateDisplays = 0;

VstIntPtr CountingHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  if (opcode == audioMasterUpdateDisplay) ++g_updateDisplays;
  return 0;
}

std::string TempPath(const std::string& name) { return TestHomeFolder() + "/" + name; }

std::int32_t BigEndianAt(const ChunkBuffer& c, int pos) {
  std::int32_t v = 0;
  c.GetBE(&v, pos);
  return v;
}

ChunkBuffer Bytes(const std::string& path) {
  ChunkBuffer data;
  PresetFile::Load(path, data);
  return data;
}

void PutCode(ChunkBuffer& c, const char* code) { c.PutBytes(code, 4); }

void PutName(ChunkBuffer& c, const std::string& name) {
  char field[28] = {};
  std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), 28));
  c.PutBytes(field, 28);
}

// An FxCk program: header and count normalised values (each = value).
void PutParameterProgram(ChunkBuffer& c, const std::string& name, int count, float value, int declared = 153) {
  PutCode(c, "CcnK");
  c.PutBE<std::int32_t>(52 + 4 * count);
  PutCode(c, "FxCk");
  c.PutBE<std::int32_t>(1);
  PutCode(c, "tvln");
  c.PutBE<std::int32_t>(10105);
  c.PutBE<std::int32_t>(declared);
  PutName(c, name);
  for (int i = 0; i < count; ++i) c.PutBE<float>(value);
}

ChunkBuffer ParameterBank(int declaredPrograms, int current) {
  ChunkBuffer c;
  PutCode(c, "CcnK");
  c.PutBE<std::int32_t>(0);
  PutCode(c, "FxBk");
  c.PutBE<std::int32_t>(2);
  PutCode(c, "tvln");
  c.PutBE<std::int32_t>(10105);
  c.PutBE<std::int32_t>(declaredPrograms);
  c.PutBE<std::int32_t>(current);
  const std::uint8_t reserved[124] = {};
  c.PutBytes(reserved, 124);
  return c;
}

class PresetFiles : public ::testing::Test {
 protected:
  void SetUp() override { g_updateDisplays = 0; }
  Tarvolin plug{&CountingHost};
};

}  // namespace

TEST_F(PresetFiles, ProgramFileLayout) {
  plug.GetProgram(0)->name = "A name longer than twenty-seven characters";
  const std::string path = TempPath("layout.fxp");
  ASSERT_TRUE(plug.WriteProgramFile(path));
  const ChunkBuffer file = Bytes(path);
  ChunkBuffer state;
  plug.SerializeProgramState(state);
  const int chunkSize = 8 + state.Size();
  ASSERT_EQ(file.Size(), 60 + chunkSize);
  EXPECT_EQ(std::memcmp(file.Data(), "CcnK", 4), 0);
  EXPECT_EQ(BigEndianAt(file, 4), chunkSize + 60);  // the whole file
  EXPECT_EQ(std::memcmp(file.Data() + 8, "FPChtvln", 4), 0);
  EXPECT_EQ(BigEndianAt(file, 12), 1);
  EXPECT_EQ(std::memcmp(file.Data() + 16, "tvln", 4), 0);
  EXPECT_EQ(BigEndianAt(file, 20), 10105);
  EXPECT_EQ(BigEndianAt(file, 24), 153);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()) + 28), "A name longer than twenty-s");
  EXPECT_EQ(file.Data()[55], 0);
  EXPECT_EQ(BigEndianAt(file, 56), chunkSize);
  EXPECT_EQ(std::memcmp(file.Data() + 60, "tffp\x00\x00\x01\x00", 8), 0);
  EXPECT_EQ(std::memcmp(file.Data() + 68, state.Data(), static_cast<std::size_t>(state.Size())), 0);
}

TEST_F(PresetFiles, ProgramFileRoundTripRestoresEverythingAndIsByteIdentical) {
  ASSERT_TRUE(plug.WaveTables().LoadUserWaveTable(2, TestDataPath("waves/syx/JUNO.SYX")));
  plug.GetParam(param::kWaveTable3)->SetPlainClamped(65533);
  plug.OnParameterChanged(param::kWaveTable3);
  ASSERT_EQ(plug.Tuning().LoadTuningFile(TestDataPath("tuning/tun/anamark.v2.tun")), 0);
  plug.Tuning().SelectTuning(14);
  plug.GetParam(param::kVolume)->SetPlainClamped(0.123);
  plug.ModifyCurrentPreset("Juno Strings");
  const std::string path = TempPath("round.fxp");
  ASSERT_TRUE(plug.WriteProgramFile(path));

  Tarvolin other(&CountingHost);
  other.RecallProgram(5);
  g_updateDisplays = 0;
  ASSERT_TRUE(other.ReadProgramFile(path));
  EXPECT_EQ(g_updateDisplays, 1);
  EXPECT_EQ(other.CurrentProgram(), 5);
  EXPECT_EQ(other.ProgramName(5), "Juno Strings");
  EXPECT_EQ(other.GetParam(param::kVolume)->Value(), 0.123);
  EXPECT_EQ(other.Tuning().Selection(), 14);
  EXPECT_EQ(other.Tuning().NotePitch(61), plug.Tuning().NotePitch(61));
  EXPECT_EQ(other.WaveTables().Slot(2).Length(), plug.WaveTables().Slot(2).Length());
  // Both instances are at a program named alike, so the files are the same bytes.
  other.GetProgram(5)->name = plug.ProgramName(0);
  plug.GetProgram(0)->name = other.ProgramName(5);
  other.RecallProgram(5);
  plug.RecallProgram(0);
  const std::string again = TempPath("again.fxp");
  ASSERT_TRUE(plug.WriteProgramFile(path));
  ASSERT_TRUE(other.WriteProgramFile(again));
  const ChunkBuffer a = Bytes(path);
  const ChunkBuffer b = Bytes(again);
  ASSERT_EQ(a.Size(), b.Size());
  // The program index inside the state (offset 68 + 14) is the writer's current program.
  EXPECT_EQ(std::memcmp(a.Data(), b.Data(), 82), 0);
  EXPECT_EQ(std::memcmp(a.Data() + 86, b.Data() + 86, static_cast<std::size_t>(a.Size() - 86)), 0);
}

TEST_F(PresetFiles, BankFileLayoutMatchesTheFactoryBankAndRoundTrips) {
  plug.RecallProgram(7);
  const std::string path = TempPath("bank.fxb");
  ASSERT_TRUE(plug.WriteBankFile(path));
  const ChunkBuffer file = Bytes(path);
  const auto factory = FindResource("PROGDATA", "PROGINIT");
  ASSERT_TRUE(factory);
  // Equal to the factory bank's header except for fx version, current program and sizes.
  EXPECT_EQ(std::memcmp(file.Data(), factory->data(), 4), 0);
  EXPECT_EQ(std::memcmp(file.Data() + 8, factory->data() + 8, 12), 0);
  EXPECT_EQ(BigEndianAt(file, 20), 10105);
  EXPECT_EQ(std::memcmp(file.Data() + 24, factory->data() + 24, 4), 0);
  EXPECT_EQ(BigEndianAt(file, 28), 7);
  EXPECT_EQ(std::memcmp(file.Data() + 32, factory->data() + 32, 124), 0);
  EXPECT_EQ(BigEndianAt(file, 4), file.Size());
  EXPECT_EQ(BigEndianAt(file, 156), file.Size() - 160);

  // Read into a fresh instance and written again: the same bytes (the programs' states were all
  // written by this instance's own bank read).
  Tarvolin fresh(&CountingHost);
  fresh.RecallProgram(7);
  ASSERT_TRUE(fresh.ReadBankFile(path));
  const std::string again = TempPath("again.fxb");
  ASSERT_TRUE(fresh.WriteBankFile(again));
  Tarvolin third(&CountingHost);
  third.RecallProgram(7);
  ASSERT_TRUE(third.ReadBankFile(again));
  const std::string third_path = TempPath("third.fxb");
  ASSERT_TRUE(third.WriteBankFile(third_path));
  const ChunkBuffer a = Bytes(again);
  const ChunkBuffer b = Bytes(third_path);
  ASSERT_EQ(a.Size(), b.Size());
  EXPECT_EQ(std::memcmp(a.Data(), b.Data(), static_cast<std::size_t>(a.Size())), 0);
}

TEST_F(PresetFiles, FormatVersionRulesAndForeignFiles) {
  const std::string path = TempPath("v.fxp");
  ASSERT_TRUE(plug.WriteProgramFile(path));
  ChunkBuffer file = Bytes(path);
  plug.RecallProgram(3);
  const std::string before = plug.ProgramName(3);
  auto refused = [&](ChunkBuffer bytes) {
    EXPECT_FALSE(PresetFile::ReadProgramFile(plug, bytes));
    EXPECT_EQ(plug.ProgramName(3), before);
  };
  ChunkBuffer v2 = file;
  v2.Data()[15] = 2;  // format version 2
  refused(v2);
  ChunkBuffer foreign = file;
  foreign.Data()[19] = 'x';  // another plug-in's identifier
  refused(foreign);
  ChunkBuffer magic = file;
  magic.Data()[0] = 'X';
  refused(magic);
  ChunkBuffer kind = file;
  std::memcpy(kind.Data() + 8, "FBCh", 4);
  refused(kind);

  // A bank's format version is not checked.
  const std::string bankPath = TempPath("v.fxb");
  ASSERT_TRUE(plug.WriteBankFile(bankPath));
  ChunkBuffer bank = Bytes(bankPath);
  bank.Data()[15] = 1;
  EXPECT_TRUE(PresetFile::ReadBankFile(plug, bank));
  ChunkBuffer foreignBank = bank;
  foreignBank.Data()[16] = 'X';
  EXPECT_FALSE(PresetFile::ReadBankFile(plug, foreignBank));
}

TEST_F(PresetFiles, ParameterListProgram) {
  plug.RecallProgram(63);
  ChunkBuffer file;
  PutParameterProgram(file, "Twenty-eight characters long", 153, 1.0f);
  ASSERT_TRUE(PresetFile::ReadProgramFile(plug, file));
  EXPECT_EQ(plug.ProgramName(63), "Twenty-eight characters long");
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(param::kFilterType)->Value(), 2.0);
  // Fewer than 153 values: the parameters after them keep their values.
  plug.RecallProgram(62);
  const double cutoff = plug.GetParam(param::kFilterCutoff)->Value();
  ChunkBuffer shorter;
  PutParameterProgram(shorter, "Short", 10, 0.0f);
  ASSERT_TRUE(PresetFile::ReadProgramFile(plug, shorter));
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(param::kFilterCutoff)->Value(), cutoff);
  // Values outside 0 ... 1 are clamped; NaN leaves the parameter as it is.
  ChunkBuffer odd;
  PutParameterProgram(odd, "Odd", 2, 7.0f);
  odd.Resize(odd.Size() - 4);
  odd.PutBE<float>(std::numeric_limits<float>::quiet_NaN());
  const double tune = plug.GetParam(param::kMasterTune)->Value();
  ASSERT_TRUE(PresetFile::ReadProgramFile(plug, odd));
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(param::kMasterTune)->Value(), tune);
}

TEST_F(PresetFiles, ParameterListBanks) {
  // No programs: the file's current program is recalled and the load succeeds.
  ChunkBuffer empty = ParameterBank(0, 12);
  EXPECT_TRUE(PresetFile::ReadBankFile(plug, empty));
  EXPECT_EQ(plug.CurrentProgram(), 12);

  // Two programs, current 1.
  ChunkBuffer two = ParameterBank(2, 1);
  PutParameterProgram(two, "Zero", 153, 0.0f);
  PutParameterProgram(two, "One", 153, 1.0f);
  EXPECT_TRUE(PresetFile::ReadBankFile(plug, two));
  EXPECT_EQ(plug.ProgramName(0), "Zero");
  EXPECT_EQ(plug.ProgramName(1), "One");
  EXPECT_EQ(plug.CurrentProgram(), 1);
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 1.0);
  EXPECT_EQ(plug.ProgramName(2), "KEY: Pianet");

  // More programs than slots: the 64 that fit are read, the rest never reach a slot.
  ChunkBuffer many = ParameterBank(70, 0);
  for (int i = 0; i < 70; ++i) PutParameterProgram(many, std::string("P").append(std::to_string(i)), 153, i < 64 ? 0.5f : 0.0f);
  EXPECT_TRUE(PresetFile::ReadBankFile(plug, many));
  EXPECT_EQ(plug.ProgramName(63), "P63");
  ASSERT_TRUE(plug.RecallProgram(63));
  EXPECT_EQ(plug.GetParam(param::kVolume)->Value(), 0.5);
  // A declared count far beyond the data fails at the first missing program header.
  ChunkBuffer lying = ParameterBank(1 << 30, 0);
  PutParameterProgram(lying, "Only", 153, 0.25f);
  EXPECT_FALSE(PresetFile::ReadBankFile(plug, lying));
  EXPECT_EQ(plug.ProgramName(0), "Only");
  EXPECT_EQ(plug.ProgramName(1), "P1");

  // A broken program header stops the load: earlier programs stay, the host is not told.
  g_updateDisplays = 0;
  ChunkBuffer broken = ParameterBank(3, 0);
  PutParameterProgram(broken, "First", 153, 0.0f);
  PutParameterProgram(broken, "Second", 153, 0.0f, 152);
  EXPECT_FALSE(PresetFile::ReadBankFile(plug, broken));
  EXPECT_EQ(plug.ProgramName(0), "First");
  EXPECT_EQ(plug.ProgramName(1), "P1");
  EXPECT_EQ(g_updateDisplays, 0);
  // Fewer than 153 values in a program of a bank: the next header is missing.
  ChunkBuffer shortProgram = ParameterBank(2, 0);
  PutParameterProgram(shortProgram, "Short", 100, 0.0f);
  PutParameterProgram(shortProgram, "Next", 153, 0.0f);
  EXPECT_FALSE(PresetFile::ReadBankFile(plug, shortProgram));
}

TEST_F(PresetFiles, TinyAndTruncatedFilesNeverReadOutsideTheirData) {
  const std::string programPath = TempPath("t.fxp");
  const std::string bankPath = TempPath("t.fxb");
  ASSERT_TRUE(plug.WriteProgramFile(programPath));
  ASSERT_TRUE(plug.WriteBankFile(bankPath));
  const ChunkBuffer program = Bytes(programPath);
  const ChunkBuffer bank = Bytes(bankPath);
  auto checkRange = [&] {
    for (int i = 0; i < plug.NParams(); ++i) {
      const Parameter& p = *plug.GetParam(i);
      ASSERT_TRUE(p.Value() >= p.Min() && p.Value() <= p.Max());
    }
  };
  for (int size = 0; size <= 60; ++size) {
    ChunkBuffer p;
    p.Assign(program.Data(), size);
    ChunkBuffer b;
    b.Assign(bank.Data(), size);
    // Too short to hold a header and any state: refused, and the program keeps its sound and name.
    ChunkBuffer before;
    ASSERT_TRUE(plug.SerializeProgramState(before));
    const std::string name = plug.ProgramName(plug.CurrentProgram());
    EXPECT_FALSE(PresetFile::ReadProgramFile(plug, p)) << size;
    EXPECT_FALSE(PresetFile::ReadBankFile(plug, b)) << size;
    ChunkBuffer after;
    ASSERT_TRUE(plug.SerializeProgramState(after));
    ASSERT_EQ(after.Size(), before.Size()) << size;
    EXPECT_EQ(std::memcmp(after.Data(), before.Data(), static_cast<std::size_t>(after.Size())), 0) << size;
    EXPECT_EQ(plug.ProgramName(plug.CurrentProgram()), name) << size;
    checkRange();
  }
  // Every cut of the program file; a cut opaque chunk applies what it holds and still loads.
  for (int size = 61; size < program.Size(); ++size) {
    ChunkBuffer p;
    p.Assign(program.Data(), size);
    ASSERT_TRUE(PresetFile::ReadProgramFile(plug, p)) << size;
    checkRange();
  }
  // A chunk size beyond the file changes nothing about what is read.
  ChunkBuffer lying = program;
  lying.Data()[56] = 0x7F;
  EXPECT_TRUE(PresetFile::ReadProgramFile(plug, lying));
  ChunkBuffer lyingBank = bank;
  lyingBank.Data()[156] = 0x7F;
  EXPECT_TRUE(PresetFile::ReadBankFile(plug, lyingBank));
  EXPECT_EQ(plug.ProgramName(1), "LEAD: Flutish");
}

TEST_F(PresetFiles, NamesAtTheEdgesOfTheirFields) {
  // A 28-character name without a terminator is read whole.
  ChunkBuffer file;
  PutParameterProgram(file, std::string(28, 'N'), 153, 0.5f);
  ASSERT_TRUE(PresetFile::ReadProgramFile(plug, file));
  EXPECT_EQ(plug.ProgramName(0), std::string(28, 'N'));
  // A bank's program name longer than 255 characters is cut to 255.
  ChunkBuffer body;
  IPlugBase::WriteVersionHeader(body);
  body.PutStr(std::string(1000, 'L'));
  body.Put<std::uint8_t>(1);
  plug.SerializeProgramState(body);
  plug.UnserializePresets(body, 8);  // fails at the second slot, which is not there
  EXPECT_EQ(plug.ProgramName(0), std::string(255, 'L'));
  // An empty name in a program file keeps the program's name.
  ChunkBuffer unnamed;
  PutParameterProgram(unnamed, "", 153, 0.5f);
  ASSERT_TRUE(PresetFile::ReadProgramFile(plug, unnamed));
  EXPECT_EQ(plug.ProgramName(0), std::string(255, 'L'));
}

TEST_F(PresetFiles, FilesThatCannotBeReadOrWritten) {
  EXPECT_FALSE(plug.WriteProgramFile(""));
  EXPECT_FALSE(plug.WriteBankFile(""));
  EXPECT_FALSE(plug.ReadProgramFile(""));
  EXPECT_FALSE(plug.ReadBankFile(""));
  EXPECT_FALSE(plug.ReadProgramFile(TempPath("missing.fxp")));
  EXPECT_FALSE(plug.ReadBankFile(TempPath("missing.fxb")));
  // A folder is neither read nor replaced.
  const std::string folder = TempPath("folder.fxb");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  EXPECT_FALSE(plug.ReadBankFile(folder));
  EXPECT_FALSE(plug.WriteBankFile(folder));
  // A path through a file that is not a folder cannot be created.
  EXPECT_FALSE(plug.WriteProgramFile(TestDataPath("tuning/scl/pyth_12.scl") + "/x.fxp"));
  EXPECT_FALSE(plug.WriteProgramFile("/proc/version/x.fxp"));
  // A file that is not a bank changes nothing.
  EXPECT_FALSE(plug.ReadBankFile(TestDataPath("tuning/scl/pyth_12.scl")));
  EXPECT_EQ(plug.ProgramName(0), "PAD: Texture");
}
