#include "tuning/TuningState.h"

#include <cstring>
#include <sstream>

#include "engine/PitchFunction.h"
#include "tuning/CSingleScale.h"
#include "tuning/PitchTable.h"
#include "tuning/Temperaments.h"
#include "tuning/TextScan.h"

namespace {

std::atomic<bool> gExactTuningPreferred{false};

enum class FileKind { kTun, kScl, kKbm };

FileKind KindOf(const std::string& path) {
  if (path.size() >= 3) {
    const std::string_view ext = std::string_view(path).substr(path.size() - 3);
    if (TUN::text::EqualsIgnoringCase(ext, "scl")) return FileKind::kScl;
    if (TUN::text::EqualsIgnoringCase(ext, "kbm")) return FileKind::kKbm;
  }
  return FileKind::kTun;
}

// The importer as selecting tuning 0-13 leaves it: the default scale and keyboard mapping, then
// for 1-13 the temperament's scale text.
void ResetImporterTo(TUN::CSCL_Import& importer, int index) {
  importer.ResetScale();
  importer.ResetKeyboardMapping();
  if (index == Temperaments::kEqual) return;
  std::istringstream text(Temperaments::ScaleText(index));
  importer.ReadSclText(text);
}

}  // namespace

const std::int32_t (&TuningState::TemperamentTable(int index))[kNotes] {
  struct Tables {
    std::int32_t table[Temperaments::kUser][kNotes] = {};
    Tables() {
      for (int n = 0; n < kNotes; ++n) table[Temperaments::kEqual][n] = n * kPitchUnitsPerSemitone;
      for (int index = 1; index < Temperaments::kUser; ++index) {
        TUN::CSCL_Import importer;
        ResetImporterTo(importer, index);
        TUN::CSingleScale scale;
        importer.ApplyTo(scale);
        BuildPitchTable(scale, table[index]);
      }
    }
  };
  static const Tables tables;
  if (static_cast<unsigned>(index) >= static_cast<unsigned>(Temperaments::kUser)) index = 0;
  return tables.table[index];
}

void TuningState::SetExactTuningPreferred(bool preferred) {
  gExactTuningPreferred.store(preferred, std::memory_order_relaxed);
}

bool TuningState::ExactTuningPreferred() { return gExactTuningPreferred.load(std::memory_order_relaxed); }

TuningState::TuningState() {
  SelectTuning(Temperaments::kEqual);
  active_.CopyTo(user_);
}

void TuningState::SelectTuning(int index) {
  if (static_cast<unsigned>(index) > static_cast<unsigned>(Temperaments::kUser)) index = 0;
  selection_.store(index, std::memory_order_relaxed);
  if (index == Temperaments::kUser) {
    active_.Assign(user_);
    return;
  }
  importerTemperament_.store(index, std::memory_order_release);
  active_.Assign(TemperamentTable(index));
}

void TuningState::SyncImporter() const {
  const int index = importerTemperament_.exchange(-1, std::memory_order_acq_rel);
  if (index >= 0) ResetImporterTo(importer_, index);
}

TuningState::FileLoad TuningState::ReadTuningFile(const std::string& path) const {
  FileLoad load;
  TUN::CSingleScale scale;
  scale.SetExactTuningPreferred(ExactTuningPreferred());
  load.nameChanges = true;
  const FileKind kind = KindOf(path);
  if (kind == FileKind::kTun) {
    load.ok = scale.ReadTun(path) == 1;
    load.name = scale.GetInfo().description;
  } else {
    // Read into a copy, so that a file that fails half-way does not leave the importer with a
    // partial scale or mapping for later loads and selections.
    SyncImporter();
    load.importer = importer_;
    load.ok = kind == FileKind::kScl ? load.importer.ReadScl(path) : load.importer.ReadKbm(path);
    load.importerChanges = true;
    if (load.ok) {
      load.importer.ApplyTo(scale);
      load.name = load.importer.ScaleName();
      load.nameChanges = kind == FileKind::kScl;
    }
  }
  if (load.ok) BuildPitchTable(scale, load.table);
  return load;
}

int TuningState::CommitTuningFile(FileLoad&& load) {
  if (load.importerChanges) {
    if (load.ok) {
      importerTemperament_.store(-1, std::memory_order_release);
      importer_ = std::move(load.importer);
    } else {
      SyncImporter();
      importer_.Err() = load.importer.Err();
    }
  }
  if (!load.ok) return 8;
  if (load.nameChanges) SetUserName(load.name);
  std::memcpy(user_, load.table, sizeof user_);
  return 0;
}

int TuningState::LoadTuningFile(const std::string& path) { return CommitTuningFile(ReadTuningFile(path)); }

void TuningState::SetUserName(const std::string& name) {
  const std::size_t n = name.size() < kNameSize - 1 ? name.size() : kNameSize - 1;
  std::memcpy(userName_, name.data(), n);
  std::memset(userName_ + n, 0, kNameSize - n);
}

std::string TuningState::GetTuningName(int index) const {
  if (static_cast<unsigned>(index) > static_cast<unsigned>(Temperaments::kUser)) index = Selection();
  if (index == Temperaments::kUser) return userName_;
  return Temperaments::Name(index);
}

bool TuningState::SerializeTuning(ChunkBuffer& chunk) const {
  chunk.Put<std::int32_t>(Selection());
  chunk.PutBytes(userName_, kNameSize);
  for (int n = 0; n < kNotes; ++n) chunk.PutBE<std::uint16_t>(static_cast<std::uint16_t>(user_[n]));
  return !chunk.Empty();
}

int TuningState::UnserializeTuning(const ChunkBuffer& chunk, int pos) {
  Block block;
  pos = ReadBlock(chunk, pos, &block);
  ApplyBlock(block);
  return pos;
}

int TuningState::ReadBlock(const ChunkBuffer& chunk, int pos, Block* block) {
  pos = chunk.Get(&block->selection, pos);
  block->hasSelection = pos >= 0;
  pos = chunk.GetBytes(block->name, kNameSize, pos);
  block->hasName = pos >= 0;
  block->tableCount = 0;
  for (int n = 0; n < kNotes; ++n) {
    pos = chunk.GetBE(&block->table[n], pos);
    if (pos < 0) break;
    block->tableCount = n + 1;
  }
  return pos;
}

void TuningState::ApplyBlock(const Block& block) {
  if (block.hasName) {
    std::memcpy(userName_, block.name, kNameSize);
    userName_[kNameSize - 1] = '\0';  // a name from outside is terminated within its buffer
  }
  for (int n = 0; n < block.tableCount && n < kNotes; ++n) {
    // Pitches outside the usable range never come from this instrument; keep voices inside it.
    user_[n] = block.table[n] > kPitchLimit ? kPitchLimit : block.table[n];
  }
  SelectTuning(block.hasSelection ? block.selection : Selection());
}
