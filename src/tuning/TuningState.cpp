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

}  // namespace

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
  importer_.ResetScale();
  importer_.ResetKeyboardMapping();
  if (index == Temperaments::kEqual) {
    active_.FillEqual();
    return;
  }
  std::istringstream text(Temperaments::ScaleText(index));
  importer_.ReadSclText(text);
  TUN::CSingleScale scale;
  importer_.ApplyTo(scale);
  std::int32_t table[kNotes];
  BuildPitchTable(scale, table);
  active_.Assign(table);
}

int TuningState::LoadTuningFile(const std::string& path) {
  TUN::CSingleScale scale;
  scale.SetExactTuningPreferred(ExactTuningPreferred());
  bool ok = false;
  std::string name;
  bool nameChanges = true;
  const FileKind kind = KindOf(path);
  if (kind == FileKind::kTun) {
    ok = scale.ReadTun(path) == 1;
    name = scale.GetInfo().description;
  } else {
    // Read into a copy, so that a file that fails half-way does not leave the importer with a
    // partial scale or mapping for later loads and selections.
    TUN::CSCL_Import trial = importer_;
    ok = kind == FileKind::kScl ? trial.ReadScl(path) : trial.ReadKbm(path);
    if (ok) {
      importer_ = trial;
      importer_.ApplyTo(scale);
      name = importer_.ScaleName();
      nameChanges = kind == FileKind::kScl;
    } else {
      importer_.Err() = trial.Err();
    }
  }
  if (!ok) return 8;
  if (nameChanges) SetUserName(name);
  BuildPitchTable(scale, user_);
  return 0;
}

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
  std::int32_t selection = Selection();
  pos = chunk.Get(&selection, pos);
  char name[kNameSize];
  pos = chunk.GetBytes(name, kNameSize, pos);
  if (pos >= 0) {
    std::memcpy(userName_, name, kNameSize);
    userName_[kNameSize - 1] = '\0';  // a name from outside is terminated within its buffer
  }
  for (int n = 0; n < kNotes; ++n) {
    std::uint16_t pitch = 0;
    pos = chunk.GetBE(&pitch, pos);
    if (pos < 0) break;
    // Pitches outside the usable range never come from this instrument; keep voices inside it.
    user_[n] = pitch > kPitchLimit ? kPitchLimit : pitch;
  }
  SelectTuning(selection);
  return pos;
}
