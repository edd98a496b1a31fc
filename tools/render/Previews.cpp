#include "Previews.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "HostedPlugin.h"

namespace Previews {

namespace {

bool MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }
  return false;
}

}  // namespace

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
