#pragma once

class IGraphics;
class Tarvolin;

// What the editor's action buttons do to the instrument: program steps, the program clipboard and
// initialisation (each with its question), and stepping an oscillator through the wave tables.
namespace EditorActions {

// Utility action codes, shared with the utility menu.
enum UtilityAction : int { kCopyProgram = 0, kPasteProgram = 1, kInitProgram = 2 };

// The next program (64 wraps to 0) or the previous one (-1 wraps to 63).
void StepProgram(Tarvolin& synth, bool previous);
// Runs a utility action; the paste and initialise actions ask first and act only on Yes.
void RunUtilityAction(Tarvolin& synth, IGraphics& graphics, int code);
// Oscillator 0 ... 2 moves to the next or previous wave table of the catalogue that has a name
// (user slots without samples are skipped), wrapping at either end; nothing happens while its
// value names no table of the catalogue.
void StepWaveTable(Tarvolin& synth, IGraphics& graphics, int oscillator, bool previous);

}  // namespace EditorActions
