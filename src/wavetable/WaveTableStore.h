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
// Selecting never builds. A Wave Table parameter change may arrive on the audio thread (host
// automation, a MIDI program change) or on a thread that holds the plug-in lock, and neither may
// wait for hundreds of transforms. When the chosen table is built already (built-in tables are
// built once per process, a user slot's table once per content) it is installed at once; otherwise
// the wave-table worker is asked for it, the oscillator keeps playing the table it has, and the
// render loop installs the new one at the first control tick after it is built (InstallReady).
// Threads that may wait build beforehand with Prepare, without holding the lock, so that the
// selection that follows finds the table.
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
  // The user slot (0 ... 2) an identifier names, or -1.
  static int SlotOfIdentifier(std::int64_t identifier) {
    const std::int64_t j = identifier - kFirstSlotIdentifier;
    return j >= 0 && j < kSlotCount ? static_cast<int>(j) : -1;
  }

  WaveTableStore();
  ~WaveTableStore();
  WaveTableStore(const WaveTableStore&) = delete;
  WaveTableStore& operator=(const WaveTableStore&) = delete;

  const WaveTable& Table(int oscillator) const { return tables_[Index(oscillator)]; }
  UserWaveSlot& Slot(int slot) { return slots_[Index(slot)]; }
  const UserWaveSlot& Slot(int slot) const { return slots_[Index(slot)]; }
  const WaveTableCatalogue& Catalogue() const { return catalogue_; }

  // True from construction until the product class has finished constructing; while it is set,
  // Select only records the identifier and installs nothing.
  bool Constructing() const { return constructing_; }
  void SetConstructing(bool constructing) { constructing_ = constructing; }

  // The identifier oscillator o's Wave Table parameter last delivered (0 before the first).
  std::int32_t SelectedIdentifier(int oscillator) const { return selected_[Index(oscillator)]; }

  // Oscillator o's Wave Table parameter changed to identifier v (also to the same value):
  //   65531 ... 65533  the table is to play that user slot, unless the slot is empty, in which case
  //                    the table stays as it was (a change still on its way included);
  //   0 ... 37         the table is to play built-in table v under identifier v; where there is
  //                    none (a missing resource) it keeps its previous levels;
  //   anything else    the table takes v as its identifier and keeps the levels it has or is about
  //                    to get.
  // The table is then valid. The change happens now when the table is built, otherwise at the
  // control tick after the worker built it. Never builds, allocates or waits: safe on the audio
  // thread. Answers true when the voices must be told that oscillator o's table changed (every case
  // except while constructing).
  bool Select(int oscillator, std::int32_t identifier);

  // Installs every table that was waited for and is built now; asks the worker again for tables
  // not yet asked for. Answers the oscillators whose table changed, one bit each (bit o). Safe on
  // the audio thread; the render loop calls it at every control tick while Pending().
  unsigned InstallReady();
  // Whether some oscillator waits for its table.
  bool Pending() const { return pending_ != 0; }
  // Waits for the worker until every table waited for is installed; answers like InstallReady. For
  // offline rendering and tests, never for the audio thread of a live performance.
  unsigned FinishPending();

  // Builds on the calling thread the table that identifier v would make oscillators play, unless
  // it is built: a built-in table, or the table of content (for a user slot; may be null). The
  // caller must not hold the plug-in lock, and must not be the audio thread.
  static void Prepare(std::int32_t identifier, const std::shared_ptr<const UserWaveContent>& content = nullptr);

  // Replaces user slot j's content (nullptr empties it). The content held before is released on
  // the wave-table worker, so that this is safe on the audio thread. Tables are not changed.
  void SetSlotContent(int slot, std::shared_ptr<const UserWaveContent> content);

  // Whether some oscillator's Wave Table parameter currently selects user slot j; the state chunk
  // stores a slot's samples only then.
  bool SlotSelected(int slot) const;

  // Empties the three user slots and their names (tables are not changed).
  void ClearSlots();

  // Loads a WAV or SysEx file into user slot j (0 ... 2) and builds its table; see
  // WaveTableImport.h. Reads the file and builds on the calling thread; tables that play the slot
  // keep their waves until it is selected anew. The product class's LoadUserWaveTable does the
  // reading without the plug-in lock, swaps the result in under it and renews those tables.
  bool LoadUserWaveTable(int slot, const std::string& path);

 private:
  static std::size_t Index(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i > 2 ? 2 : i)); }

  // What a table is to become: its identifier and where its levels come from.
  struct Target {
    enum Source { kKeep, kBuiltIn, kUser } source = kKeep;
    std::int32_t identifier = 0;
    std::int32_t builtIn = 0;
    std::shared_ptr<const UserWaveContent> content;
  };

  // Installs oscillator o's target if its levels are there (or asks for them); true when installed.
  bool TryInstall(std::size_t o);
  void SetTargetContent(Target& target, std::shared_ptr<const UserWaveContent> content);

  std::array<WaveTable, kOscillatorCount> tables_;
  std::array<UserWaveSlot, kSlotCount> slots_;
  WaveTableCatalogue catalogue_;
  std::array<std::int32_t, kOscillatorCount> selected_{};
  std::array<Target, kOscillatorCount> targets_;
  // Whether a table's current levels came from a user slot (and may have to be released).
  std::array<bool, kOscillatorCount> userLevels_{};
  unsigned pending_ = 0;
  bool constructing_ = true;
};
