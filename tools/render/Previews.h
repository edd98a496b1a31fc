#pragma once

#include <string>
#include <vector>

#include "MidiSequence.h"
#include "PreviewPhrases.h"
#include "Renderer.h"

class HostedPlugin;

// Renders one WAV per program of a bank, each playing its preview phrase (PreviewPhrases.h), with
// an index of names and levels.
namespace Previews {

// A file name for a program: its number and name with characters that do not belong in file names
// left out.
std::string FileNameFor(int program, const std::string& programName);

struct Entry {
  int program = 0;
  std::string name;
  std::string file;
  Levels levels;
};

// Renders every program into folder (created if missing) and writes folder/index.txt. Answers
// false with a message when the folder or a file cannot be written.
bool RenderAll(HostedPlugin& plug, const RenderJob& job, double bpm, const std::string& format,
               const std::string& folder, std::vector<Entry>* entries, std::string* error);

}  // namespace Previews
