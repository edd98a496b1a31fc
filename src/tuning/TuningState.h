#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "shell/ChunkBuffer.h"
#include "tuning/ActiveTuningTable.h"
#include "tuning/CSCL_Import.h"

// The synthesizer's tuning: the selection among the fifteen tunings, the active table voices read,
// the user tuning (table and name) loaded from a file, and the Scala importer that every built-in
// temperament and every SCL or KBM load passes through.
//
// Everything except NotePitch runs on the thread that holds the plug-in lock (editor menus, state
// restore). NotePitch may run on the audio thread at any time. Selecting a tuning and applying a
// tuning block never allocate, so that a program change on the audio thread may do both: the
// built-in temperaments are computed once per process, and the Scala importer, which only file
// loads read, is brought to the selected temperament when a file load next needs it.
class TuningState {
 public:
  static constexpr int kNotes = 128;
  static constexpr int kNameSize = 256;
  // Size of the tuning block in a program state.
  static constexpr int kBlockSize = 4 + kNameSize + 2 * kNotes;

  // A tuning block as read from a program state: what the data held; the rest stays as it is when
  // the block is applied.
  struct Block {
    bool hasSelection = false;
    std::int32_t selection = 0;
    bool hasName = false;
    char name[kNameSize] = {};
    int tableCount = 0;  // user table entries 0 ... tableCount - 1 are given
    std::uint16_t table[kNotes] = {};
  };

  // A tuning file read and turned into a user tuning, not yet made the instrument's.
  struct FileLoad {
    bool ok = false;
    bool nameChanges = false;
    std::string name;
    std::int32_t table[kNotes] = {};
    // The importer after the load (SCL and KBM files), or its error holder after a failure.
    bool importerChanges = false;
    TUN::CSCL_Import importer;
  };

  // Selection 0 (equal temperament) and a user tuning equal to it, without a name.
  TuningState();
  TuningState(const TuningState&) = delete;
  TuningState& operator=(const TuningState&) = delete;

  // Makes tuning 0-14 active; any other index selects 0.
  void SelectTuning(int index);
  // Reads a TUN, SCL or KBM file (chosen by the last three characters of the path) into the user
  // tuning: 0 on success, 8 on failure. The selection does not change. A failed load leaves the user
  // tuning, its name and the importer as they were.
  int LoadTuningFile(const std::string& path);
  // Name of tuning 0-14; any index above 14, taken unsigned (so also -1), means the current one.
  std::string GetTuningName(int index) const;
  // Appends the 516-byte tuning block; true when the chunk is non-empty afterwards.
  bool SerializeTuning(ChunkBuffer& chunk) const;
  // Reads a tuning block at pos and applies its selection. Answers the position after it, or -1
  // when the data ran out; what the data did not cover stays as it was.
  int UnserializeTuning(const ChunkBuffer& chunk, int pos);
  // The two halves of UnserializeTuning: reading (anywhere) and applying (allocation-free).
  static int ReadBlock(const ChunkBuffer& chunk, int pos, Block* block);
  void ApplyBlock(const Block& block);

  // The two halves of LoadTuningFile: reading the file and computing the user tuning (without the
  // plug-in lock; nothing changes here), then taking the result (under it). Commit answers as
  // LoadTuningFile.
  FileLoad ReadTuningFile(const std::string& path) const;
  int CommitTuningFile(FileLoad&& load);

  // The active table of tuning 0-13, computed once per process.
  static const std::int32_t (&TemperamentTable(int index))[kNotes];

  // Start pitch of MIDI note n from the active table; 0 outside 0-127. Lock-free, for the audio
  // thread.
  std::int32_t NotePitch(int note) const { return active_.Get(note); }

  int Selection() const { return selection_.load(std::memory_order_relaxed); }
  const ActiveTuningTable& Active() const { return active_; }
  std::int32_t UserPitch(int note) const { return note >= 0 && note < kNotes ? user_[note] : 0; }
  // The user tuning's name (at most 255 characters).
  const char* UserTuningName() const { return userName_; }
  const TUN::CSCL_Import& Importer() const {
    SyncImporter();
    return importer_;
  }

  // Process-wide: read TUN files preferring their exact tuning over a functional one. Set by the
  // editor once the user has agreed; never cleared.
  static void SetExactTuningPreferred(bool preferred);
  static bool ExactTuningPreferred();

 private:
  void SetUserName(const std::string& name);
  // Brings the importer to the temperament selected last, if that has not happened yet.
  void SyncImporter() const;

  std::atomic<int> selection_{0};
  ActiveTuningTable active_;
  std::int32_t user_[kNotes] = {};
  char userName_[kNameSize] = {};
  // The temperament (0-13) the importer must be reset to before its next use, or -1.
  mutable std::atomic<int> importerTemperament_{-1};
  mutable TUN::CSCL_Import importer_;
};
