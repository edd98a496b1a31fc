#pragma once

#include "editor/IContactControl.h"

class Tarvolin;

// An action button: its id names what it does (program steps, copy, paste and initialise program,
// wave-table steps). It shows its pressed frame while held; the paste button is lit while the
// program clipboard holds a program.
class ISMUtilityKick : public IContactControl {
 public:
  static constexpr int kNextProgram = -160;
  static constexpr int kPreviousProgram = -159;
  static constexpr int kCopyProgram = -176;
  static constexpr int kPasteProgram = -177;
  static constexpr int kInitProgram = -178;
  static constexpr int kWaveTable1Next = -163;
  static constexpr int kWaveTable1Previous = -162;
  static constexpr int kWaveTable2Next = -166;
  static constexpr int kWaveTable2Previous = -165;
  static constexpr int kWaveTable3Next = -169;
  static constexpr int kWaveTable3Previous = -168;

  ISMUtilityKick(Tarvolin* synth, int x, int y, int actionId, const IImageStrip& bitmap);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;

 private:
  void RunAction();

  Tarvolin* synth_;
};
