#include "PreviewPhrases.h"

#include <algorithm>
#include <cmath>

#include "NoteList.h"

namespace Previews {

namespace {

std::string Category(const std::string& name) {
  const auto colon = name.find(':');
  if (colon == std::string::npos) return {};
  std::string category = name.substr(0, colon);
  for (char& c : category) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return category;
}

}  // namespace

std::string PhraseFor(const std::string& programName) {
  const std::string category = Category(programName);
  if (category == "PAD") return "C3+G3+E4+B4:6 A2+E3+C4+G4:6";
  if (category == "KEY") return "C4@50 E4@75 G4@100 C5@127:2 C3+E4+G4+C5:3 F3+A4+C5+E5@60:3";
  if (category == "SYNTH") return "C3+G3+C4+E4:2 r:0.5 A2+E3+A3+C4:1.5 F2+C3+F3+A3:3";
  if (category == "BASS") return "C2:0.5 C2:0.5 C3:0.5 C2:0.5 D#2:1 F2:0.5 G1:1.5 A#1:0.5 C2:2";
  if (category == "LEAD" || category == "LED") return "C4:1 E4:0.5 G4:0.5 C5:2 B4:0.5 G4:0.5 E4:1 D4:0.5 C4:3";
  if (category == "ARP" || category == "SEQ") {
    std::string notes;
    for (int bar = 0; bar < 2; ++bar) {
      for (const char* n : {"C3", "G3", "C4", "D#4", "G4", "D#4", "C4", "G3"}) notes += std::string(n) + ":0.25 ";
      for (const char* n : {"G#2", "D#3", "G#3", "C4", "D#4", "C4", "G#3", "D#3"}) notes += std::string(n) + ":0.25 ";
    }
    return notes;
  }
  if (category == "DRUM") return "C2:1 C2@70:1 C2:0.5 C2@90:0.5 C2:1 D2:1 C2:2";
  if (category == "SFX") return "C3:8";
  return "C4:2 C4+E4+G4:4";
}

bool SequenceFor(const std::string& programName, double bpm, MidiSequence* sequence, std::string* error) {
  if (!ParseNoteList(PhraseFor(programName), 100, bpm, 0, sequence, error)) return false;
  if (programName.find("MW") == std::string::npos) return true;
  // Sweep the modulation wheel up over the first half of the phrase and back down over the second.
  const std::int64_t end = std::max<std::int64_t>(sequence->LastTick(), 1);
  const int steps = 64;
  for (int i = 0; i <= steps; ++i) {
    const double x = static_cast<double>(i) / steps;
    SequenceEvent e;
    e.tick = static_cast<std::int64_t>(std::llround(x * static_cast<double>(end) * 0.95));
    e.status = 0xB0;
    e.data1 = 1;
    e.data2 = static_cast<std::uint8_t>(std::lround(127.0 * (x < 0.5 ? 2 * x : 2 * (1 - x))));
    sequence->events.push_back(e);
  }
  std::stable_sort(sequence->events.begin(), sequence->events.end(),
                   [](const SequenceEvent& a, const SequenceEvent& b) { return a.tick < b.tick; });
  return true;
}

}  // namespace Previews
