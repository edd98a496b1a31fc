#include "NoteList.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

bool ParseInt(const std::string& text, int* out) {
  if (text.empty()) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(*out);
}

std::vector<std::string> Split(const std::string& text, const std::string& separators) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (separators.find(c) != std::string::npos) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

}  // namespace

int NoteNumber(const std::string& name) {
  int number = 0;
  if (ParseInt(name, &number)) return number >= 0 && number <= 127 ? number : -1;
  if (name.empty()) return -1;
  static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  const char letter = static_cast<char>(name[0] & ~0x20);
  if (letter < 'A' || letter > 'G') return -1;
  int semitone = kSteps[letter - 'A'];
  std::size_t i = 1;
  while (i < name.size() && (name[i] == '#' || name[i] == 'b')) semitone += name[i++] == '#' ? 1 : -1;
  int octave = 0;
  if (!ParseInt(name.substr(i), &octave) || octave < -1 || octave > 9) return -1;
  const int note = (octave + 1) * 12 + semitone;
  return note >= 0 && note <= 127 ? note : -1;
}

bool ParseNoteList(const std::string& text, int defaultVelocity, double bpm, int channel,
                   MidiSequence* s, std::string* error) {
  *s = MidiSequence{};
  s->ticksPerQuarter = 480;
  s->tempos.push_back({0, static_cast<std::int64_t>(std::llround(60e6 / bpm))});
  const std::uint8_t on = static_cast<std::uint8_t>(0x90 | (channel & 0x0F));
  const std::uint8_t off = static_cast<std::uint8_t>(0x80 | (channel & 0x0F));
  std::int64_t tick = 0;
  std::vector<SequenceEvent> events;
  for (const std::string& item : Split(text, " \t\n,")) {
    std::string notes = item;
    double beats = 1.0;
    int velocity = defaultVelocity;
    if (const auto colon = notes.find(':'); colon != std::string::npos) {
      if (!ParseNumber(notes.substr(colon + 1), &beats) || beats <= 0 || beats > 10000) {
        *error = "bad length in '" + item + "'";
        return false;
      }
      notes.resize(colon);
    }
    if (const auto at = notes.find('@'); at != std::string::npos) {
      if (!ParseInt(notes.substr(at + 1), &velocity) || velocity < 1 || velocity > 127) {
        *error = "bad velocity in '" + item + "'";
        return false;
      }
      notes.resize(at);
    }
    const std::int64_t length = std::max<std::int64_t>(1, std::llround(beats * s->ticksPerQuarter));
    if (notes != "r" && notes != "rest") {
      const std::vector<std::string> chord = Split(notes, "+");
      if (chord.empty()) {
        *error = "empty item '" + item + "'";
        return false;
      }
      for (const std::string& name : chord) {
        const int note = NoteNumber(name);
        if (note < 0) {
          *error = "unknown note '" + name + "'";
          return false;
        }
        events.push_back({tick, on, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(velocity)});
        events.push_back({tick + length, off, static_cast<std::uint8_t>(note), 0});
      }
    }
    tick += length;
  }
  if (events.empty()) {
    *error = "no notes given";
    return false;
  }
  // Note-offs before note-ons at the same tick, so a repeated note is released first.
  std::stable_sort(events.begin(), events.end(), [](const SequenceEvent& a, const SequenceEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    return (a.status & 0xF0) < (b.status & 0xF0);
  });
  s->events = std::move(events);
  return true;
}
