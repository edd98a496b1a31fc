#include "tuning/CSingleScale.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tuning/CStringParser.h"
#include "tuning/TunReader.h"

namespace TUN {

namespace {
constexpr bool InNoteRange(std::int64_t n) { return n >= 0 && n < CSingleScale::kNotes; }
}  // namespace

CSingleScale::CSingleScale() { Reset(); }

CSingleScale::~CSingleScale() = default;

double CSingleScale::Frequency(int index) const {
  return InNoteRange(index) ? frequencies_[index] : 0.0;
}

void CSingleScale::SetFrequency(int index, double hz) {
  if (InNoteRange(index)) frequencies_[index] = hz;
}

std::int32_t CSingleScale::KeyMapping(int note) const {
  return InNoteRange(note) ? keyMapping_[note] : 0;
}

void CSingleScale::SetKeyMapping(int note, std::int32_t index) {
  if (InNoteRange(note)) keyMapping_[note] = index;
}

void CSingleScale::Reset() {
  err_.SetError(nullptr);
  info_ = Info();
  channelRanges_.clear();
  FillEqualTemperament(69, 440.0);
  ResetKeyMapping();
}

void CSingleScale::FillEqualTemperament(std::int32_t baseNote, double baseFrequency) {
  baseNote_ = baseNote;
  baseFrequency_ = baseFrequency;
  for (int i = 0; i < kNotes; ++i) {
    // In double: a base note far outside the range must not overflow the difference.
    const double steps = static_cast<double>(i) - static_cast<double>(baseNote);
    frequencies_[i] = baseFrequency * std::exp2(steps / 12.0);
  }
}

void CSingleScale::ResetKeyMapping() {
  for (int i = 0; i < kNotes; ++i) keyMapping_[i] = i;
  loopSize_ = 0;
}

bool CSingleScale::ApplyFormula(const CFormula& f) {
  const std::int64_t first = f.note;
  const std::int64_t span = std::llabs(static_cast<std::int64_t>(f.repeat));
  const std::int64_t step = f.repeat < 0 ? -1 : 1;
  const bool direct = f.directFrequency > 0.0;

  // The notes the walk visits: the formula's own note, then on while |b| < |repeat|, ending without
  // error where the note range ends.
  auto walk = [&](auto&& visit) {
    for (std::int64_t b = 0; b == 0 || std::llabs(b) < span; b += step) {
      const std::int64_t t = first + b;
      if (!InNoteRange(t)) return true;
      if (!visit(static_cast<int>(t))) return false;
    }
    return true;
  };
  auto referenceOk = [](const SRVParam& p, int t) {
    if (p.kind == SRVParam::kAbsoluteNote) return InNoteRange(p.note);
    if (p.kind == SRVParam::kRelativeNote) return InNoteRange(std::int64_t{t} + p.note);
    return true;
  };
  if (!direct) {
    const bool allInRange =
        walk([&](int t) { return referenceOk(f.base, t) && referenceOk(f.addend, t); });
    if (!allInRange) return false;
  }

  auto resolve = [this](const SRVParam& p, int t) {
    if (p.kind == SRVParam::kAbsoluteNote) return frequencies_[p.note];
    if (p.kind == SRVParam::kRelativeNote) return frequencies_[t + p.note];
    return p.value;
  };
  walk([&](int t) {
    if (direct) {
      const double factor = f.directFrequency / frequencies_[t];
      for (double& hz : frequencies_) hz *= factor;
    } else {
      const double baseHz = resolve(f.base, t);
      const double addHz = resolve(f.addend, t);
      frequencies_[t] = std::exp2(f.cents / 1200.0) * (baseHz * f.multiplier / f.divisor) + addHz;
    }
    return true;
  });
  return true;
}

double CSingleScale::NoteFrequency(int note) const {
  const std::int64_t n = note < 0 ? 0 : (note >= kNotes ? kNotes - 1 : note);
  std::int64_t index = 0;
  if (loopSize_ > 0) {
    const std::int64_t loop = loopSize_;
    index = std::int64_t{keyMapping_[n % loop]} + loop * (n / loop);
  } else {
    index = keyMapping_[n];
  }
  if (index < 0) index = 0;
  if (index >= kNotes) index = kNotes - 1;
  return frequencies_[index];
}

int CSingleScale::ReadTun(const std::string& path) {
  std::istringstream in;
  if (!CStringParser::Open(path, in)) {
    err_.SetError("Error opening the file.");
    return 0;
  }
  return ReadTunText(in);
}

int CSingleScale::ReadTunText(std::istream& in) { return TunReader(*this).Read(in); }

}  // namespace TUN
