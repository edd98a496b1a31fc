#include "editor/IKnobControl.h"

void IKnobControl::OnMouseDrag(int, int, int, int dY, const IMouseState& mouse) {
  const double gearing = (mouse.C || mouse.S) ? gearing_ * 10.0 : gearing_;
  const int height = rect_.B - rect_.T;
  if (height == 0 || gearing == 0.0) return;
  // Up (negative dY) raises the value.
  value_ += static_cast<double>(dY) / static_cast<double>(-height) / gearing;
  MarkDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, const IMouseState& mouse, int d) {
  value_ += ((mouse.C || mouse.S) ? 0.001 : 0.01) * d;
  MarkDirty(true);
}
