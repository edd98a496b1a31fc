#include "editor/ISMUtilityKick.h"

#include "editor/EditorActions.h"
#include "editor/EditorLayout.h"
#include "editor/IGraphics.h"
#include "engine/Tarvolin.h"

ISMUtilityKick::ISMUtilityKick(Tarvolin* synth, int x, int y, int actionId, const IImageStrip& bitmap)
    : IContactControl(synth, x, y, actionId, bitmap), synth_(synth) {}

bool ISMUtilityKick::Draw(IGraphics& graphics) {
  if (paramIdx_ == kPasteProgram && synth_ != nullptr) {
    // Through the bitmap cache, which hands out the decoded image again.
    const int id = synth_->ClipboardHoldsProgram() ? editor_layout::kButtonWhiteOnBitmap
                                                    : editor_layout::kButtonWhiteOffBitmap;
    bitmap_ = graphics.LoadBitmap(id, editor_layout::FindBitmap(id)->file, 2);
  }
  return IContactControl::Draw(graphics);
}

void ISMUtilityKick::OnMouseDown(int, int, const IMouseState&) {
  Step();
  MarkDirty(false);
  RunAction();
}

void ISMUtilityKick::RunAction() {
  IGraphics* graphics = GetGUI();
  if (synth_ == nullptr || graphics == nullptr) return;
  const IMouseState none;
  switch (paramIdx_) {
    case kNextProgram:
      EditorActions::StepProgram(*synth_, false);
      break;
    case kPreviousProgram:
      EditorActions::StepProgram(*synth_, true);
      break;
    case kCopyProgram:
      EditorActions::RunUtilityAction(*synth_, *graphics, EditorActions::kCopyProgram);
      break;
    case kPasteProgram:
      if (!synth_->ClipboardHoldsProgram()) break;
      EditorActions::RunUtilityAction(*synth_, *graphics, EditorActions::kPasteProgram);
      // Released at once: the question took the mouse.
      OnMouseUp(0, 0, none);
      break;
    case kInitProgram:
      EditorActions::RunUtilityAction(*synth_, *graphics, EditorActions::kInitProgram);
      OnMouseUp(0, 0, none);
      break;
    case kWaveTable1Next:
    case kWaveTable1Previous:
    case kWaveTable2Next:
    case kWaveTable2Previous:
    case kWaveTable3Next:
    case kWaveTable3Previous: {
      const int oscillator = paramIdx_ >= kWaveTable1Next ? 0 : (paramIdx_ >= kWaveTable2Next ? 1 : 2);
      const bool previous = paramIdx_ == kWaveTable1Previous || paramIdx_ == kWaveTable2Previous ||
                            paramIdx_ == kWaveTable3Previous;
      EditorActions::StepWaveTable(*synth_, *graphics, oscillator, previous);
      break;
    }
    default:
      break;
  }
}
