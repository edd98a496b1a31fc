#pragma once

#include "editor/IControl.h"

// Holds the place of a display that is not built yet: it takes its rect and id, so that the controls
// after it keep their positions in the list, and neither draws nor answers the mouse.
class IPlaceholderControl : public IControl {
 public:
  IPlaceholderControl(IPlugBase* plug, const IBounds& rect, int paramIdx) : IControl(plug, rect, paramIdx) {}

  bool Draw(IGraphics&) override { return true; }
  // Never hit, so that a click there reaches the background beneath.
  bool HitTest(int, int) override { return false; }
};
