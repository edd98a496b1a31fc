#pragma once

#include "editor/IKnobMultiControl.h"

// The editor's knob, placed by doubled coordinates. While the pointer is over a continuous knob
// (gearing above 1) it shows the parameter's value as text in its middle; stepped knobs show only
// their position.
class ISMKnobControl : public IKnobMultiControl {
 public:
  // At (x2 / 2, y2 / 2).
  ISMKnobControl(IPlugBase* plug, int x2, int y2, const IImageStrip& bitmap, int paramIdx, double gearing);

  bool Draw(IGraphics& graphics) override;
  void OnMouseOver(int x, int y, const IMouseState& mouse) override;
  void OnMouseOut() override;

  bool MouseIsOver() const { return mouseOver_; }
  // The middle 32 x 16 of the knob, where the read-out goes.
  const IBounds& ValueRect() const { return valueRect_; }
  // The read-out for the current value: the parameter's display text ("" without a parameter).
  void ValueText(char* out, int capacity) const;

 private:
  bool mouseOver_ = false;
  IBounds valueRect_;
};
