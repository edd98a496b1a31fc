// The factory bank as the library carries it, and its agreement with the readable sound design it
// is generated from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/ProgramState.h"
#include "engine/Tarvolin.h"
#include "shell/PresetFile.h"
#include "shell/Resources.h"
#include "support/TestPaths.h"

namespace {

const std::vector<std::string> kNames = {
    "PAD: Texture", "LEAD: Flutish", "KEY: Pianet", "SYNTH: Flippy Brass", "BASS: PWM Droner",
    "SYNTH: Classic", "ARP: X-Mode", "PAD: Indecisive", "LEAD: Jaul", "SFX: Deeeep", "PAD: Rezo Pad",
    "KEY: Ting", "LEAD: Analogish", "ARP: Sequencer Ping", "SFX: Glitter", "LEAD: Pan-Aroma",
    "SEQ: Automat", "BASS: E-Bass", "SFX: Sweeesh", "SFX: Pzzzow", "DRUM: Znare", "KEY: Pianola",
    "BASS: Slapper", "PAD: Ethereal", "KEY: FM-ish", "LEAD: Classic Sync", "KEY: Digitalis",
    "PAD: AM-ish", "KEY: Synced Echos", "KEY: Vintage VA", "SFX: The Big Razor",
    "SFX: Ladies + Gentlemen", "KEY: FM Panning", "PAD: Nebulous Sea", "BASS: Mono Madness",
    "SFX: Blubber (use MW!)", "KEY: 5th Hammer", "LEAD: Dramatic", "SFX: Dunkles Gehaemmer",
    "PAD: Sweeper", "KEY: HarPsyChord", "SFX: Wild Borg Computer", "LEAD: 80s Hit",
    "BASS: 80s Unison", "LEAD: Filter Rhythm", "LEAD: Filter Rhythm 2", "KEY: Dream Piano",
    "SFX: Wellenton", "DRUM: Kick4 (C2)", "DRUM: Snare", "DRUM: Noise ZAP", "DRUM: Perc Schnalz",
    "LEAD: Geesh Filter", "BASS: Dancebass Poly 6th", "PAD: Mysterious", "KEY: Glockenspiel",
    "LEAD: Drawbar macht es!", "BASS: Devil 4th", "PAD: Resonance 5th", "KEY: Digital Piano",
    "BASS: Saw 1", "PAD: Uni Saw-Square", "LEAD: Wah-Wah", "Init"};

ChunkBuffer FactoryBytes() {
  ChunkBuffer data;
  const auto resource = FindResource("PROGDATA", "PROGINIT");
  if (resource) data.Assign(resource->data(), static_cast<int>(resource->size()));
  return data;
}

std::int32_t BigEndianAt(const ChunkBuffer& c, int pos) {
  std::int32_t v = 0;
  c.GetBE(&v, pos);
  return v;
}

// The sound design as the generator reads it: per program, parameter index -> plain value.
struct Design {
  std::vector<std::string> names;
  std::vector<std::map<int, double>> values;
};

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  const auto e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

Design ReadDesign(const Tarvolin& plug) {
  // Names as the design uses them: the second of two parameters sharing a name gets " Source".
  std::map<std::string, int> index;
  for (int i = 0; i < param::kFirstReserved; ++i) {
    std::string name = plug.GetParam(i)->Name();
    if (index.count(name) != 0) name += " Source";
    index[name] = i;
  }
  Design design;
  std::ifstream in(SourcePath("resources/factorybank/FactoryBank.txt"));
  std::string line;
  while (std::getline(in, line)) {
    if (const auto hash = line.find(" #"); hash != std::string::npos) line.resize(hash);
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[') {
      design.names.push_back(line.substr(1, line.size() - 2));
      design.values.emplace_back();
      continue;
    }
    const auto eq = line.find('=');
    const std::string key = Trim(line.substr(0, eq));
    const std::string text = Trim(line.substr(eq + 1));
    const auto found = index.find(key);
    if (found == index.end()) {
      ADD_FAILURE() << "unknown parameter " << key;
      continue;
    }
    const Parameter& p = *plug.GetParam(found->second);
    double value = 0;
    bool known = false;
    for (const DisplayText& d : p.DisplayTexts()) {
      if (text == d.text) {
        value = d.value;
        known = true;
      }
    }
    if (!known && (found->second == param::kWaveTable1 || found->second == param::kWaveTable2 ||
                   found->second == param::kWaveTable3)) {
      for (int identifier = 0; identifier <= 37; ++identifier) {
        const auto entry = plug.WaveTables().Catalogue().FindByIdentifier(identifier);
        if (entry && entry->name == text) {
          value = identifier;
          known = true;
        }
      }
    }
    if (!known) value = std::strtod(text.c_str(), nullptr);
    design.values.back()[found->second] = value;
  }
  return design;
}

}  // namespace

TEST(FactoryBank, ResourceHeaderAndSize) {
  const ChunkBuffer data = FactoryBytes();
  ASSERT_EQ(data.Size(), 115758);
  EXPECT_EQ(std::memcmp(data.Data(), "CcnK", 4), 0);
  EXPECT_EQ(BigEndianAt(data, 4), 115758);
  EXPECT_EQ(std::memcmp(data.Data() + 8, "FBCh", 4), 0);
  EXPECT_EQ(BigEndianAt(data, 12), 2);
  EXPECT_EQ(std::memcmp(data.Data() + 16, "tvln", 4), 0);
  EXPECT_EQ(BigEndianAt(data, 20), 10103);
  EXPECT_EQ(BigEndianAt(data, 24), 64);
  EXPECT_EQ(BigEndianAt(data, 28), 0);
  for (int i = 32; i < 156; ++i) ASSERT_EQ(data.Data()[i], 0) << i;
  EXPECT_EQ(BigEndianAt(data, 156), 115598);
  EXPECT_EQ(std::memcmp(data.Data() + 160, "tffp\x00\x00\x01\x00", 8), 0);
}

TEST(FactoryBank, ReadsToItsExactEndAndFillsEveryProgram) {
  Tarvolin plug(nullptr);
  const ChunkBuffer data = FactoryBytes();
  EXPECT_EQ(PresetFile::ReadFactoryBank(plug, data), data.Size());
  for (int i = 0; i < 64; ++i) {
    EXPECT_TRUE(plug.GetProgram(i)->initialised) << i;
    EXPECT_EQ(plug.ProgramName(i), kNames[static_cast<std::size_t>(i)]) << i;
    // Stored in the current layout; no program plays a user table or a tuning of its own.
    const ChunkBuffer& state = plug.GetProgram(i)->state;
    std::int32_t build = 0;
    state.Get(&build, state.Size() - 4);
    EXPECT_EQ(build, ProgramState::kWriterBuild) << i;
    EXPECT_EQ(state.Data()[state.Size() - 12], 3) << i;
    EXPECT_EQ(state.Data()[state.Size() - 11] + state.Data()[state.Size() - 10] + state.Data()[state.Size() - 9], 0) << i;
  }
  EXPECT_EQ(plug.Tuning().Selection(), 0);
  // Each program as written carries build 1103.
  std::int32_t firstBuild = 0;
  const int firstState = 168 + 4 + static_cast<int>(kNames[0].size()) + 1;
  const int firstEnd = firstState + 14 + 4 + 4 + 12 + 153 * 8 + 516 + 4 + 8;
  data.Get(&firstBuild, firstEnd - 4);
  EXPECT_EQ(firstBuild, 1103);
}

TEST(FactoryBank, InitHoldsTheDefaultsAndEveryProgramItsDesign) {
  Tarvolin plug(nullptr);
  const Design design = ReadDesign(plug);
  ASSERT_EQ(design.names, kNames);
  EXPECT_TRUE(design.values.back().empty());
  for (int program = 0; program < 64; ++program) {
    ASSERT_TRUE(plug.RecallProgram(program));
    const auto& listed = design.values[static_cast<std::size_t>(program)];
    for (int i = 0; i < param::kCount; ++i) {
      const auto found = listed.find(i);
      const double expected = found != listed.end() ? found->second : plug.GetParam(i)->Default();
      EXPECT_EQ(plug.GetParam(i)->Value(), expected) << kNames[static_cast<std::size_t>(program)] << " " << i;
    }
  }
}

TEST(FactoryBank, EveryCutOfTheBankFailsSafelyAndKeepsTheSlotsItCouldNotRead) {
  const ChunkBuffer data = FactoryBytes();
  Tarvolin plug(nullptr);
  // Every length through the first three programs (every field of a slot and of a state), then a
  // cut every 997 bytes through the rest.
  std::vector<int> cuts;
  for (int size = 160; size < data.Size(); size += 997) cuts.push_back(size);
  for (int size = 160; size < 168 + 3 * 1800; ++size) cuts.push_back(size);
  for (int size : cuts) {
    ChunkBuffer cut;
    cut.Assign(data.Data(), size);
    ASSERT_EQ(plug.UnserializePresets(cut, 168), -1) << size;
    for (int i = 0; i < plug.NParams(); ++i) {
      const Parameter& p = *plug.GetParam(i);
      ASSERT_TRUE(p.Value() >= p.Min() && p.Value() <= p.Max()) << size;
    }
  }
  // Every program that was read stays loaded and recallable.
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(plug.RecallProgram(i)) << i;
}
