#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "wavetable/UserWaveSlot.h"
#include "wavetable/WaveTable.h"
#include "wavetable/WaveTableCatalogue.h"

// The instrument's wave tables: one table per oscillator, the three user slots and the catalogue.
// Owned by the product class; every member is used under the plug-in lock.
//
// The oscillators of all voices keep references to Table(o) for the life of the store, so a store
// is never copied or moved.
class WaveTableStore {
 public:
  static constexpr int kOscillatorCount = 3;
  static constexpr int kSlotCount = 3;
  static constexpr std::int32_t kFirstSlotIdentifier = 65531;

  // The oscillator (0 ... 2) whose Wave Table parameter has this index (11, 30, 50), or -1.
  static int OscillatorOfParameter(int parameterIndex) {
    return parameterIndex == 11 ? 0 : parameterIndex == 30 ? 1 : parameterIndex == 50 ? 2 : -1;
  }

  WaveTableStore();
  WaveTableStore(const WaveTableStore&) = delete;
  WaveTableStore& operator=(const WaveTableStore&) = delete;

  const WaveTable& Table(int oscillator) const { return tables_[Index(oscillator)]; }
  UserWaveSlot& Slot(int slot) { return slots_[Index(slot)]; }
  const UserWaveSlot& Slot(int slot) const { return slots_[Index(slot)]; }
  const WaveTableCatalogue& Catalogue() const { return catalogue_; }

  // True from construction until the product class has finished constructing; while it is set,
  // Select only records the identifier and builds nothing.
  bool Constructing() const { return constructing_; }
  void SetConstructing(bool constructing) { constructing_ = constructing; }

  // The identifier oscillator o's Wave Table parameter last delivered (0 before the first).
  std::int32_t SelectedIdentifier(int oscillator) const { return selected_[Index(oscillator)]; }

  // Oscillator o's Wave Table parameter changed to identifier v (also to the same value):
  //   65531 ... 65533  the table is built from that user slot, unless the slot is empty, in which
  //                    case the table stays as it was;
  //   anything else    the table takes v as its identifier and the built-in table v (built once
  //                    per process and shared); where there is none (v above 37, a missing
  //                    resource) it keeps its previous levels. The table is then valid.
  // Answers true when the voices must be told that oscillator o's table changed (every case except
  // while constructing).
  bool Select(int oscillator, std::int32_t identifier);

  // Builds oscillator o's table from user slot j: identifier -1, at most the first 64 waves.
  void LoadFromSlot(int oscillator, int slot);

  // Whether some oscillator's Wave Table parameter currently selects user slot j; the state chunk
  // stores a slot's samples only then.
  bool SlotSelected(int slot) const;

  // Empties the three user slots and their names (tables are not rebuilt).
  void ClearSlots();

  // Loads a WAV or SysEx file into user slot j (0 ... 2); see WaveTableImport.h. Tables that play
  // the slot keep their waves until it is selected anew (Tarvolin::ImportUserWaveTable rebuilds
  // them at once).
  bool LoadUserWaveTable(int slot, const std::string& path);

 private:
  static std::size_t Index(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i > 2 ? 2 : i)); }

  std::array<WaveTable, kOscillatorCount> tables_;
  std::array<UserWaveSlot, kSlotCount> slots_;
  WaveTableCatalogue catalogue_;
  std::array<std::int32_t, kOscillatorCount> selected_{};
  // The level block each table last built from a user slot, reused by the next such build.
  std::array<std::shared_ptr<WaveLevels>, kOscillatorCount> userLevels_;
  bool constructing_ = true;
};
