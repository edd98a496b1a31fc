#pragma once

#include <string>

#include "MidiSequence.h"

// Short musical phrases that show what each program of a bank is for, shared by
// the preview renderer and the bank meter, so that the loudness the bank is matched by is the
// loudness of what a musician hears first.
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

}  // namespace Previews
