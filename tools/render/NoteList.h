#pragma once

#include <string>

#include "MidiSequence.h"

// Notes and chords written on the command line, played one after another:
//
//   "C4 E4 G4:2 C4+E4+G4@90:4 r:1 60"
//
// Each item is a note name (C4 is MIDI note 60; sharps '#', flats 'b'; octaves from -1 to 9) or a
// MIDI note number, several joined with '+' for a chord, or 'r' for a rest; '@velocity' and
// ':beats' are optional (defaults: the given velocity, one beat). Items are separated by spaces
// or commas.
bool ParseNoteList(const std::string& text, int defaultVelocity, double bpm, int channel,
                   MidiSequence* sequence, std::string* error);

// MIDI note number of a name such as "C#4", or -1.
int NoteNumber(const std::string& name);
