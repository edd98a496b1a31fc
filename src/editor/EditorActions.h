#pragma once

#include <string>

class IGraphics;
class Tarvolin;

// What the editor's action buttons and its utility menu do to the instrument: program steps, the
// program clipboard and initialisation, program and bank files, the startup bank, the
// configuration file, the two MIDI options, the update check and the maker's web site, each with
// its question, file dialog and failure message; and stepping an oscillator through the wave tables.
namespace EditorActions {

// Utility action codes: the utility menu's entries carry them (the separators and the two submenu
// entries too, which do nothing); the copy, paste and initialise buttons use 0, 1 and 2.
enum UtilityAction : int {
  kCopyProgram = 0,
  kPasteProgram = 1,
  kInitProgram = 2,
  kLoadProgram = 4,
  kSaveProgram = 5,
  kLoadBank = 6,
  kSaveBank = 7,
  kSelectStartupBank = 9,
  kLoadStartupBank = 10,
  kUnselectStartupBank = 11,
  kProgramFilesFolder = 13,
  kGlobalMidiSettings = 14,
  kReloadConfiguration = 15,
  kSaveConfiguration = 16,
  kGoOnline = 18,
  kMidiThru = 19,
  kIgnoreProgramChange = 20,
  kCheckForUpdate = 21,
  kVisitWebSite = 22,
};

// The name a program file is proposed under: the program's name (at most 255 characters) with
// every character a file name cannot hold on some system (< > : " / \ | ? *) made an underscore.
std::string ProgramFileName(const std::string& programName);

// The next program (64 wraps to 0) or the previous one (-1 wraps to 63).
void StepProgram(Tarvolin& synth, bool previous);
// Runs a utility action: questions go on only on Yes, cancelled dialogs change nothing. Before the
// first action of the process the remembered folders are set up from this instance's
// configuration (RememberedFolders.h).
void RunUtilityAction(Tarvolin& synth, IGraphics& graphics, int code);
// Oscillator 0 ... 2 moves to the next or previous wave table of the catalogue that has a name
// (user slots without samples are skipped), wrapping at either end; nothing happens while its
// value names no table of the catalogue.
void StepWaveTable(Tarvolin& synth, IGraphics& graphics, int oscillator, bool previous);

}  // namespace EditorActions
