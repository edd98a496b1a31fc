#pragma once

#include "editor/IImageStrip.h"
#include "editor/IKnobControl.h"

// A knob drawn as one frame of a strip: the frame of a 65-frame knob shows the pointer's angle, the
// frame of a stepped knob its position.
class IKnobMultiControl : public IKnobControl {
 public:
  // rect = (x, y, x + frame width, y + frame height).
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& bitmap, double gearing = 4.0);

  bool Draw(IGraphics& graphics) override;

  const IImageStrip& Bitmap() const { return bitmap_; }
  // trunc((N - 1) * value + 0.5) + 1, at most N; frame 1 below 0.
  int FrameForValue() const;

 protected:
  IImageStrip bitmap_;
};
