#include "MidiSequence.h"

#include <algorithm>
#include <cmath>

#include "shell/UserFile.h"

namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  std::size_t Left() const { return size_ - pos_; }
  std::size_t Pos() const { return pos_; }
  bool Byte(std::uint8_t* out) {
    if (pos_ >= size_) return false;
    *out = data_[pos_++];
    return true;
  }
  bool Peek(std::uint8_t* out) const {
    if (pos_ >= size_) return false;
    *out = data_[pos_];
    return true;
  }
  bool BigEndian(int bytes, std::uint32_t* out) {
    if (Left() < static_cast<std::size_t>(bytes)) return false;
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | data_[pos_++];
    *out = v;
    return true;
  }
  // Variable-length quantity: at most four bytes.
  bool Vlq(std::uint32_t* out) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!Byte(&b)) return false;
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) {
        *out = v;
        return true;
      }
    }
    return false;
  }
  bool Skip(std::size_t n) {
    if (Left() < n) return false;
    pos_ += n;
    return true;
  }
  const std::uint8_t* Here() const { return data_ + pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

int DataBytes(std::uint8_t status) {
  switch (status >> 4) {
    case 0xC:
    case 0xD:
      return 1;
    default:
      return 2;
  }
}

struct Tagged {
  SequenceEvent event;
  int track;
  std::size_t order;
};

// Reads one track; events, tempos and signatures get absolute ticks from start.
void ReadTrack(Reader& r, int track, std::int64_t start, std::vector<Tagged>* events,
               MidiSequence* s, std::int64_t* end) {
  std::int64_t tick = start;
  std::uint8_t running = 0;
  auto warn = [&](const std::string& what) {
    s->warnings.push_back("track " + std::to_string(track + 1) + ": " + what);
  };
  while (!r.AtEnd()) {
    std::uint32_t delta = 0;
    if (!r.Vlq(&delta)) {
      warn("broken delta time; the rest of the track is skipped");
      break;
    }
    tick += delta;
    std::uint8_t status = 0;
    if (!r.Peek(&status)) {
      warn("ends inside an event");
      break;
    }
    if (status & 0x80) {
      r.Byte(&status);
    } else if (running != 0) {
      status = running;
    } else {
      warn("data byte without a status; the rest of the track is skipped");
      break;
    }
    if (status == 0xFF) {
      running = 0;
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      if (!r.Byte(&type) || !r.Vlq(&length) || r.Left() < length) {
        warn("broken meta event; the rest of the track is skipped");
        break;
      }
      const std::uint8_t* d = r.Here();
      if (type == 0x2F) {
        r.Skip(length);
        break;  // end of track
      }
      if (type == 0x51 && length >= 3) {
        const std::int64_t micros = (d[0] << 16) | (d[1] << 8) | d[2];
        if (micros > 0) {
          s->tempos.push_back({tick, micros});
        } else {
          warn("tempo of zero ignored");
        }
      } else if (type == 0x58 && length >= 2) {
        if (d[1] <= 6 && d[0] > 0) {
          s->signatures.push_back({tick, d[0], 1 << d[1]});
        } else {
          warn("odd time signature ignored");
        }
      }
      r.Skip(length);
    } else if (status == 0xF0 || status == 0xF7) {
      running = 0;
      std::uint32_t length = 0;
      if (!r.Vlq(&length) || !r.Skip(length)) {
        warn("broken SysEx event; the rest of the track is skipped");
        break;
      }
    } else if (status >= 0xF0) {
      warn("system message in a file; the rest of the track is skipped");
      break;
    } else {
      running = status;
      SequenceEvent e;
      e.tick = tick;
      e.status = status;
      const int n = DataBytes(status);
      std::uint8_t b = 0;
      bool ok = r.Byte(&b) && (b & 0x80) == 0;
      e.data1 = b;
      if (ok && n == 2) {
        ok = r.Byte(&b) && (b & 0x80) == 0;
        e.data2 = b;
      }
      if (!ok) {
        warn("broken channel message; the rest of the track is skipped");
        break;
      }
      events->push_back({e, track, events->size()});
    }
  }
  *end = tick;
}

}  // namespace

bool ReadMidiFile(const std::vector<std::uint8_t>& bytes, MidiSequence* s, std::string* error) {
  *s = MidiSequence{};
  Reader r(bytes.data(), bytes.size());
  std::uint32_t magic = 0, length = 0, format = 0, tracks = 0, division = 0;
  if (!r.BigEndian(4, &magic) || magic != 0x4D546864 /* MThd */ || !r.BigEndian(4, &length) ||
      length < 6 || !r.BigEndian(2, &format) || !r.BigEndian(2, &tracks) ||
      !r.BigEndian(2, &division)) {
    *error = "not a Standard MIDI File";
    return false;
  }
  if (format > 2) {
    *error = "unknown MIDI file format " + std::to_string(format);
    return false;
  }
  if (!r.Skip(length - 6)) {
    *error = "truncated MIDI file header";
    return false;
  }
  if (division & 0x8000) {
    // Frames per second and ticks per frame: a fixed grid of ticks per second, played as
    // quarters of one second.
    const int fps = 256 - static_cast<int>(division >> 8);
    const int perFrame = static_cast<int>(division & 0xFF);
    s->ticksPerQuarter = std::max(1, fps * perFrame);
    s->tempos.push_back({0, 1000000});
  } else {
    s->ticksPerQuarter = division == 0 ? 480 : static_cast<int>(division);
    if (division == 0) s->warnings.push_back("division of zero; 480 ticks per quarter assumed");
  }
  std::vector<Tagged> events;
  std::int64_t start = 0;
  int trackIndex = 0;
  while (!r.AtEnd() && trackIndex < static_cast<int>(tracks)) {
    std::uint32_t chunk = 0, size = 0;
    if (!r.BigEndian(4, &chunk) || !r.BigEndian(4, &size)) {
      s->warnings.push_back("file ends inside a chunk header");
      break;
    }
    const std::size_t available = std::min<std::size_t>(size, r.Left());
    if (available < size) s->warnings.push_back("last chunk is cut short");
    if (chunk != 0x4D54726B /* MTrk */) {
      r.Skip(available);
      continue;
    }
    Reader track(r.Here(), available);
    std::int64_t end = 0;
    ReadTrack(track, trackIndex, format == 2 ? start : 0, &events, s, &end);
    if (format == 2) start = end;  // independent patterns play one after another
    r.Skip(available);
    ++trackIndex;
  }
  if (trackIndex == 0) {
    *error = "no track in the MIDI file";
    return false;
  }
  std::stable_sort(events.begin(), events.end(), [](const Tagged& a, const Tagged& b) {
    return a.event.tick < b.event.tick;
  });
  s->events.reserve(events.size());
  for (const Tagged& t : events) s->events.push_back(t.event);
  auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(s->tempos.begin(), s->tempos.end(), byTick);
  std::stable_sort(s->signatures.begin(), s->signatures.end(), byTick);
  return true;
}

bool ReadMidiFile(const std::string& path, MidiSequence* sequence, std::string* error) {
  // A Standard MIDI File of a whole album fits easily.
  constexpr std::uint64_t kMaxFileSize = 64u << 20;
  std::vector<std::uint8_t> bytes;
  if (UserFile::ReadWhole(path, kMaxFileSize, &bytes) != UserFile::Result::kRead) {
    *error = "cannot read " + path + " (a MIDI file of at most 64 MiB)";
    return false;
  }
  return ReadMidiFile(bytes, sequence, error);
}

TempoMap::TempoMap(const MidiSequence& sequence, double sampleRate)
    : signatures_(sequence.signatures), ticksPerQuarter_(std::max(1, sequence.ticksPerQuarter)) {
  auto framesPerTick = [&](std::int64_t micros) {
    return static_cast<double>(micros) * 1e-6 * sampleRate / ticksPerQuarter_;
  };
  segments_.push_back({0, 0.0, framesPerTick(500000), 120.0});
  for (const TempoChange& t : sequence.tempos) {
    Segment& last = segments_.back();
    const double frame = last.frame + static_cast<double>(t.tick - last.tick) * last.framesPerTick;
    const Segment next{t.tick, frame, framesPerTick(t.microsPerQuarter), 60e6 / static_cast<double>(t.microsPerQuarter)};
    if (t.tick == last.tick) {
      last = next;
    } else {
      segments_.push_back(next);
    }
  }
  if (signatures_.empty() || signatures_.front().tick > 0) signatures_.insert(signatures_.begin(), {0, 4, 4});
}

double TempoMap::TickToFrame(std::int64_t tick) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                             [](std::int64_t t, const Segment& s) { return t < s.tick; });
  const Segment& s = *(it - 1);
  return s.frame + static_cast<double>(tick - s.tick) * s.framesPerTick;
}

double TempoMap::FrameToPpq(double frame) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), frame,
                             [](double f, const Segment& s) { return f < s.frame; });
  const Segment& s = *(it == segments_.begin() ? it : it - 1);
  const double tick = static_cast<double>(s.tick) + (frame - s.frame) / s.framesPerTick;
  return tick / ticksPerQuarter_;
}

double TempoMap::TempoAt(double frame) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), frame,
                             [](double f, const Segment& s) { return f < s.frame; });
  return (it == segments_.begin() ? it : it - 1)->bpm;
}

double TempoMap::BarStart(double ppq, int* numerator, int* denominator) const {
  // Bars restart at every signature change.
  double barPpq = 0.0;
  double changePpq = 0.0;
  const TimeSignatureChange* current = &signatures_.front();
  for (std::size_t i = 0; i < signatures_.size(); ++i) {
    const double at = static_cast<double>(signatures_[i].tick) / ticksPerQuarter_;
    if (at > ppq) break;
    current = &signatures_[i];
    changePpq = at;
  }
  const double barLength = current->numerator * 4.0 / current->denominator;
  barPpq = changePpq + std::floor((ppq - changePpq) / barLength) * barLength;
  *numerator = current->numerator;
  *denominator = current->denominator;
  return barPpq;
}
