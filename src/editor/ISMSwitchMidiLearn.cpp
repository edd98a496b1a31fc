#include "editor/ISMSwitchMidiLearn.h"

#include "editor/EditorLayout.h"
#include "editor/IGraphics.h"
#include "synth/Synth.h"

ISMSwitchMidiLearn::ISMSwitchMidiLearn(Synth* synth, int x, int y, const IImageStrip& bitmap)
    : ISwitchControl(synth, x, y, kActionId, bitmap), synth_(synth) {}

void ISMSwitchMidiLearn::OnMouseDown(int, int, const IMouseState& mouse) {
  if (mouse.L) {
    // Whatever an earlier learn step left for this switch is older than this click.
    switchOffRequested_.store(false, std::memory_order_relaxed);
    Step();
    MarkDirty(true);
    if (synth_ != nullptr) synth_->ArmLearn(value_, !learnMode_);
  } else if (mouse.R && value_ == 0.0) {
    learnMode_ = !learnMode_;
    if (IGraphics* graphics = GetGUI()) {
      const int id = learnMode_ ? editor_layout::kLearnBitmap : editor_layout::kUnlearnBitmap;
      const editor_layout::BitmapInfo* info = editor_layout::FindBitmap(id);
      bitmap_ = graphics->LoadBitmap(id, info->file, info->frames);
    }
    MarkDirty(false);
  }
}

void ISMSwitchMidiLearn::SwitchOff() {
  switchOffRequested_.store(true, std::memory_order_release);
  if (IGraphics* graphics = GetGUI()) graphics->RequestHandOver();
}

void ISMSwitchMidiLearn::ApplySwitchOff() {
  if (!switchOffRequested_.exchange(false, std::memory_order_acquire)) return;
  SetValueFromPlugin(0.0);
  MarkDirty(false);
}
