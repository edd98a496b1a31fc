#pragma once

#include "editor/IControl.h"

// A knob turned by moving the mouse up and down, or by the wheel. The gearing is how many times the
// knob's height the mouse travels for the whole range; Shift or Ctrl make it ten times finer.
class IKnobControl : public IControl {
 public:
  IKnobControl(IPlugBase* plug, const IBounds& rect, int paramIdx, double gearing = 4.0,
               int blendMethod = IBlendMode::kNone)
      : IControl(plug, rect, paramIdx, blendMethod), gearing_(gearing) {}

  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mouse) override;
  void OnMouseWheel(int x, int y, const IMouseState& mouse, int d) override;

  double Gearing() const { return gearing_; }

 protected:
  double gearing_;
};
