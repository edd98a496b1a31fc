#pragma once

#include <string>
#include <vector>

#include "MidiSequence.h"
#include "Renderer.h"

class HostedPlugin;

// Short musical phrases that show what each program of a bank is for, rendered one WAV per program
// with an index of names and levels.
//
// The phrase follows the program's category, the word before ':' in its name: chords for pads,
// keys and synths (keys at several velocities), a bass line, a melody for leads, sixteenth-note
// patterns for arpeggios and sequences, hits for drums, one long note for effects. A program whose
// name mentions the modulation wheel ("MW") gets a wheel sweep.
namespace Previews {

// The note list (NoteList.h) of the phrase for a program name.
std::string PhraseFor(const std::string& programName);
// The phrase as a sequence at bpm, with the wheel sweep where the name asks for it.
bool SequenceFor(const std::string& programName, double bpm, MidiSequence* sequence, std::string* error);
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
