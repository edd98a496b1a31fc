#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/ParameterTable.h"
#include "shell/PreparedState.h"
#include "tuning/TuningState.h"
#include "wavetable/UserWaveContent.h"

class ChunkBuffer;
class IPlugBase;
class Tarvolin;

// One program of the instrument as bytes: what a program slot, a host's program chunk, an FXP file
// and every program of a bank hold. Little-endian, in this order:
//
//   tag "Tarvolin_1.1.3" (14 bytes, no terminator)    marks this layout; older states start at
//                                                     the parameter values
//   program index (int32), program name (string)      written for reference, skipped when read
//   153 parameter values (float64, plain)             the reserved ones always 0
//   tuning block (516 bytes)                          selection, user tuning name and table
//   user wave-table count (uint8, 3), then per slot   present (uint8) and, when present, the slot
//   extension size (int32, 4), writer build (int32)
//
// A user wave-table slot is stored only when it holds samples and some oscillator plays it.
//
// Reading comes in two halves: Prepare reads the bytes into a PreparedProgram anywhere, without
// the plug-in lock (the user slots' samples become shared contents there); Apply then changes the
// live instrument without reading, allocating or building, so that it may run on the audio thread.
class ProgramState {
 public:
  static constexpr std::string_view kTag = "Tarvolin_1.1.3";
  static constexpr std::int32_t kExtensionSize = 4;
  // Build number of the writer: this one, and the one that wrote the factory bank.
  static constexpr std::int32_t kWriterBuild = 1105;
  static constexpr std::int32_t kFactoryWriterBuild = 1103;
  static constexpr std::uint8_t kUserSlotCount = 3;
  static constexpr int kWaveTableParameters[kUserSlotCount] = {param::kWaveTable1, param::kWaveTable2,
                                                                param::kWaveTable3};

  // What a state read from bytes holds, field by field. A state cut short holds what came before
  // the cut, and applying it changes only that, as reading it in place would.
  struct Prepared : PreparedState {
    int end = -1;         // position after the state, or -1 when it ended early
    int valueCount = 0;   // parameters 0 ... valueCount - 1 take values (the one at a cut takes 0)
    std::array<double, param::kCount> values{};
    TuningState::Block tuning;
    int slotCount = 0;    // user slots 0 ... slotCount - 1 are emptied, then filled where present
    std::array<std::shared_ptr<const UserWaveContent>, kUserSlotCount> slots;
    bool slotRead = false;  // a user slot came with the state: the oscillators select again
  };

  // The persistent state of a live instrument, as a state written from it would carry it (with
  // every user slot, played or not, as the instrument holds them).
  struct Image {
    std::array<double, param::kCount> values{};
    std::int32_t selection = 0;
    char tuningName[TuningState::kNameSize] = {};
    std::int32_t userTable[TuningState::kNotes] = {};
    std::array<std::shared_ptr<const UserWaveContent>, kUserSlotCount> slots;
  };

  // Appends the live state of plug; answers whether the chunk is non-empty. Sets the reserved
  // parameters to 0 on the way (silently: they mean nothing).
  static bool Write(Tarvolin& plug, ChunkBuffer& chunk);

  // Reads a state at pos and applies it to plug: the parameters (each clamped to its range, the
  // first missing one taken as 0 and the rest left as they are), the tuning, the user wave-table
  // slots. Answers the position after the state, or -1 when it ends early (what could be read stays
  // applied). A state claiming more user slots than the instrument has fills the three it has and
  // steps over the others.
  static int Read(Tarvolin& plug, const ChunkBuffer& chunk, int pos);

  // The two halves of Read.
  static std::shared_ptr<Prepared> Prepare(const ChunkBuffer& chunk, int pos);
  static int Apply(Tarvolin& plug, const Prepared& state);

  // The same steps on an image instead of a live instrument, for work done before the lock: what
  // reading the state into an instrument holding image leaves it holding (parameter ranges taken
  // from ranges), and what writing it would store.
  static void ApplyTo(Image& image, const Prepared& state, const IPlugBase& ranges);
  // Writes image as Write writes a live instrument (program index and name as given), setting the
  // image's reserved parameters to 0 as writing does.
  static void WriteImage(Image& image, const IPlugBase& ranges, std::int32_t programIndex, std::string_view programName,
                         ChunkBuffer& chunk);
  // The image of a live instrument (under the plug-in lock): as it stands (Look), and as writing it
  // leaves it (Capture: the reserved parameters set to 0); then the state that reading back what
  // WriteImage wrote would prepare, whose end is size.
  static Image Look(const Tarvolin& plug);
  static Image Capture(Tarvolin& plug);
  static std::shared_ptr<Prepared> FromImage(const Image& image, int size);
  // An image applied as a whole: every value, the whole tuning block and all three slots.
  static std::shared_ptr<Prepared> WholeImage(const Image& image, bool slotRead);

  // Builds, on the calling thread, the wave tables applying state would make the oscillators play
  // (built-in tables, and the user slots that come with the state). Not for the audio thread; the
  // caller does not hold the plug-in lock.
  static void PrepareTables(const Prepared& state, const IPlugBase& ranges);
};
