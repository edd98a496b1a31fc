#include "editor/ISMKnobControl.h"

#include "editor/IGraphics.h"
#include "shell/IPlugBase.h"

ISMKnobControl::ISMKnobControl(IPlugBase* plug, int x2, int y2, const IImageStrip& bitmap, int paramIdx,
                               double gearing)
    : IKnobMultiControl(plug, x2 / 2, y2 / 2, paramIdx, bitmap, gearing) {
  text_ = ITextStyle("Verdana", 12, IArgb(255, 64, 255, 64));
  valueRect_ = IBounds(rect_.L + 4, rect_.T + 12, rect_.R - 4, rect_.B - 12);
}

void ISMKnobControl::ValueText(char* out, int capacity) const {
  if (capacity <= 0) return;
  out[0] = '\0';
  const Parameter* p = plug_ != nullptr ? plug_->GetParam(paramIdx_) : nullptr;
  // From the control's value, which follows the parameter on this thread; the parameter's own value
  // belongs to the threads that hold the plug-in lock.
  if (p != nullptr) p->GetDisplay(value_, true, true, out, static_cast<std::size_t>(capacity));
}

bool ISMKnobControl::Draw(IGraphics& graphics) {
  const bool drawn = IKnobMultiControl::Draw(graphics);
  if (gearing_ > 1.0 && mouseOver_) {
    char text[64];
    ValueText(text, sizeof text);
    graphics.FillRoundedRect(IArgb(160, 64, 64, 64), valueRect_, &blend_);
    graphics.DrawStyledText(&text_, text, valueRect_);
  }
  return drawn;
}

void ISMKnobControl::OnMouseOver(int, int, const IMouseState&) {
  mouseOver_ = true;
  MarkDirty(true);
}

void ISMKnobControl::OnMouseOut() {
  mouseOver_ = false;
  MarkDirty(false);
}
