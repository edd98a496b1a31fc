#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "wavetable/UserWaveSlot.h"

// The list of wave tables the editor's display and menus show, in menu order, with their groups.
// Built-in entries never change; the names of the three user entries follow the user slots and are
// refreshed before every query.
class WaveTableCatalogue {
 public:
  static constexpr int kEntryCount = 41;
  static constexpr int kGroupCount = 4;
  static constexpr std::uint16_t kFirstUserIdentifier = 65531;

  struct Entry {
    std::uint16_t identifier = 0;
    std::uint16_t group = 0;
    std::uint16_t ordinal = 0;
    std::string name;
  };

  // slots: the three user slots whose names the user entries show (may be null: empty names).
  explicit WaveTableCatalogue(const std::array<UserWaveSlot, 3>* slots = nullptr);

  int EntryCount() const { return kEntryCount; }
  int GroupCount() const { return kGroupCount; }
  // "Standard Waveforms", "Additive Synthesis", "Resynthesis", "User-Defined"; "" outside 0 ... 3.
  const std::string& GroupName(int group) const;

  // Names of the user entries from the slots: the slot's name while it holds samples, else "".
  void RefreshUserNames() const;

  // The first entry, in menu order, whose identifier equals v taken as a 16-bit number.
  std::optional<Entry> FindByIdentifier(std::int64_t v) const;
  // The entry at ordinal p, if there is one.
  std::optional<Entry> EntryAt(int ordinal) const;
  // The name at ordinal p, or "" when there is no entry there.
  std::string NameAt(int ordinal) const;

 private:
  const std::array<UserWaveSlot, 3>* slots_;
  mutable std::array<Entry, kEntryCount> entries_;
  std::array<std::string, kGroupCount> groups_;
};
