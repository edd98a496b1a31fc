#pragma once

#include "editor/ISwitchControl.h"

// A push button that is on only while held: the press steps it as a switch, the release returns it
// to 0.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;

  void OnMouseUp(int x, int y, const IMouseState& mouse) override;
};
