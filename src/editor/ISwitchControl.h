#pragma once

#include "editor/IBitmapControl.h"

// A switch of N positions shown by an N-frame strip: every press moves it one position on, and
// from the last position back to the first.
class ISwitchControl : public IBitmapControl {
 public:
  ISwitchControl(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& bitmap,
                 int blendMethod = IBlendMode::kNone)
      : IBitmapControl(plug, x, y, paramIdx, bitmap, blendMethod) {}

  // Any button: one step (1 / (N - 1), or 1 on a strip of one frame), past 1 back to 0; pushed.
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;
  // A double click is a second press.
  void OnMouseDoubleClick(int x, int y, const IMouseState& mouse) override { OnMouseDown(x, y, mouse); }

 protected:
  // The step of OnMouseDown without the push.
  void Step();
};
