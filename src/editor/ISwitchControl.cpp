#include "editor/ISwitchControl.h"

void ISwitchControl::Step() {
  value_ += bitmap_.N < 2 ? 1.0 : 1.0 / (bitmap_.N - 1);
  // A little above 1, so that the rounding of the steps cannot skip the last position.
  if (value_ > 1.001) value_ = 0.0;
}

void ISwitchControl::OnMouseDown(int, int, const IMouseState&) {
  Step();
  MarkDirty(true);
}
