#include "Previews.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "HostedPlugin.h"
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

bool MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }
  return false;
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

std::string FileNameFor(int program, const std::string& programName) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d ", program);
  std::string name = number;
  for (char c : programName) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == ' ' || c == '-' || c == '+' || c == '(' || c == ')' || c == '!' || c == '.';
    if (keep) {
      name += c;
    } else if (c != ':') {
      name += '_';
    }
  }
  return name + ".wav";
}

bool RenderAll(HostedPlugin& plug, const RenderJob& job, double bpm, const std::string& format,
               const std::string& folder, std::vector<Entry>* entries, std::string* error) {
  if (!MakeFolder(folder)) {
    *error = "cannot make the folder " + folder;
    return false;
  }
  const int current = plug.CurrentProgram();
  for (int p = 0; p < plug.NumPrograms(); ++p) {
    plug.SetProgram(p);
    Entry entry;
    entry.program = p;
    entry.name = plug.ProgramName(p);
    entry.file = FileNameFor(p, entry.name);
    MidiSequence sequence;
    RenderResult result;
    if (!SequenceFor(entry.name, bpm, &sequence, error) || !RenderSequence(plug, sequence, job, &result, error) ||
        !WriteWav(folder + "/" + entry.file, result.interleaved, static_cast<int>(std::lround(job.sampleRate)),
                  format, error)) {
      return false;
    }
    entry.levels = MeasureLevels(result.interleaved);
    entries->push_back(entry);
  }
  plug.SetProgram(current);
  std::ofstream index(folder + "/index.txt");
  index << "# program\tname\tpeak\tRMS\tfile\n";
  for (const Entry& e : *entries) {
    index << e.program << '\t' << e.name << '\t' << Decibels(e.levels.peakAll) << '\t' << Decibels(e.levels.rmsAll)
          << '\t' << e.file << '\n';
  }
  index.close();
  if (!index) {
    *error = "cannot write " + folder + "/index.txt";
    return false;
  }
  return true;
}

}  // namespace Previews
