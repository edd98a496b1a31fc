#pragma once

#include <string>
#include <utility>
#include <vector>

// Changes a Tarvolin program chunk with the instrument's own import and state code, for the render
// host to hand back to the plug-in through effSetChunk: user wave tables loaded from WAV or SysEx
// files and played by their oscillator, a tuning file or a built-in temperament. The plug-in itself
// is never called from here; an offline instrument object reads and writes the state.
struct ProgramChanges {
  // (oscillator 1 ... 3, file): the file goes into user slot n, and oscillator n plays it.
  std::vector<std::pair<int, std::string>> waveTables;
  std::string tuningFile;   // TUN, SCL or KBM; selected as the user tuning
  std::string temperament;  // a built-in tuning by name (letter case ignored) or number 0 ... 13
  bool Empty() const { return waveTables.empty() && tuningFile.empty() && temperament.empty(); }
};

// chunk: a program chunk as the plug-in hands it out (version header, state, program name).
// Answers false with a message when the chunk is not a Tarvolin program or a file cannot be loaded;
// report receives one line per change made.
bool ApplyProgramChanges(std::vector<unsigned char>* chunk, const ProgramChanges& changes, std::string* error,
                         std::vector<std::string>* report);

// The built-in tuning names, 0 ... 13.
std::vector<std::string> TemperamentNames();
