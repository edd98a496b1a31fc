#include "wavetable/WaveTableCatalogue.h"

namespace {

struct BuiltInEntry {
  const char* name;
  std::uint16_t identifier;
};

// Menu order. Identifiers stay fixed for stored programs, which is why "DW-6000" (added last)
// carries 37 although it is listed beside "DW-8000".
constexpr BuiltInEntry kBuiltIn[] = {
    {"Saw", 0},
    {"Pulse", 1},
    {"Full PWM", 2},
    {"Tri", 3},
    {"Sine", 4},
    {"Sine-Tri-Square-Saw", 5},
    {"Saw-Square", 6},
    {"Saw-Sine", 7},
    {"Saw-Tri", 8},
    {"Square-Tri", 9},
    {"Square-Sine", 10},
    {"DW-6000", 37},
    {"DW-8000", 11},
    {"Dirac Meltdown", 12},
    {"Odd", 13},
    {"Even", 14},
    {"Even to Odd", 15},
    {"Primes", 16},
    {"Octaves", 17},
    {"Frequency Up", 18},
    {"Phased Saw", 19},
    {"Drawbar Full", 20},
    {"Drawbar Mixed", 21},
    {"Acoustic Piano", 22},
    {"Pianet", 23},
    {"Slap Low", 24},
    {"Slap High", 25},
    {"Re-PWM", 26},
    {"Resonance 1", 27},
    {"Resonance 2", 28},
    {"MP4 Cross Modulation", 29},
    {"Formant Shift", 30},
    {"A-O-E", 31},
    {"Geesh", 32},
    {"TD 'Teh'", 33},
    {"Texture 1", 34},
    {"Texture 2", 35},
    {"Ladies & Gentlemen", 36},
};
constexpr int kBuiltInCount = static_cast<int>(sizeof(kBuiltIn) / sizeof(kBuiltIn[0]));
static_assert(kBuiltInCount + 3 == WaveTableCatalogue::kEntryCount);

std::uint16_t GroupOf(int ordinal) {
  if (ordinal <= 12) return 0;
  if (ordinal <= 22) return 1;
  if (ordinal <= 37) return 2;
  return 3;
}

}  // namespace

WaveTableCatalogue::WaveTableCatalogue(const std::array<UserWaveSlot, 3>* slots)
    : slots_(slots),
      groups_{"Standard Waveforms", "Additive Synthesis", "Resynthesis", "User-Defined"} {
  for (int p = 0; p < kEntryCount; ++p) {
    Entry& e = entries_[static_cast<std::size_t>(p)];
    e.ordinal = static_cast<std::uint16_t>(p);
    e.group = GroupOf(p);
    if (p < kBuiltInCount) {
      e.identifier = kBuiltIn[p].identifier;
      e.name = kBuiltIn[p].name;
    } else {
      e.identifier = static_cast<std::uint16_t>(kFirstUserIdentifier + (p - kBuiltInCount));
    }
  }
}

const std::string& WaveTableCatalogue::GroupName(int group) const {
  static const std::string kNone;
  if (group < 0 || group >= kGroupCount) return kNone;
  return groups_[static_cast<std::size_t>(group)];
}

void WaveTableCatalogue::RefreshUserNames() const {
  for (int j = 0; j < 3; ++j) {
    Entry& e = entries_[static_cast<std::size_t>(kBuiltInCount + j)];
    const UserWaveSlot* slot = slots_ != nullptr ? &(*slots_)[static_cast<std::size_t>(j)] : nullptr;
    if (slot != nullptr && !slot->Empty()) {
      e.name = slot->Name();
    } else {
      e.name.clear();
    }
  }
}

std::optional<WaveTableCatalogue::Entry> WaveTableCatalogue::FindByIdentifier(std::int64_t v) const {
  RefreshUserNames();
  const auto id = static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu);
  for (const Entry& e : entries_) {
    if (e.identifier == id) return e;
  }
  return std::nullopt;
}

std::optional<WaveTableCatalogue::Entry> WaveTableCatalogue::EntryAt(int ordinal) const {
  RefreshUserNames();
  if (ordinal < 0 || ordinal >= kEntryCount) return std::nullopt;
  return entries_[static_cast<std::size_t>(ordinal)];
}

std::string WaveTableCatalogue::NameAt(int ordinal) const {
  const auto e = EntryAt(ordinal);
  return e ? e->name : std::string();
}
