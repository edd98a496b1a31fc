#pragma once

#include "editor/IControl.h"
#include "editor/IImageStrip.h"

// A control that shows one frame of an image strip, chosen by its value.
class IBitmapControl : public IControl {
 public:
  // rect = (x, y, x + frame width, y + frame height).
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& bitmap,
                 int blendMethod = IBlendMode::kNone);

  // Frame 1 on a strip of fewer than two frames; otherwise trunc((N - 1) * value + 0.5) + 1,
  // limited to 1 ... N.
  bool Draw(IGraphics& graphics) override;

  const IImageStrip& Bitmap() const { return bitmap_; }
  void SetBitmap(const IImageStrip& bitmap) { bitmap_ = bitmap; }
  // The frame the current value shows.
  int FrameForValue() const;

 protected:
  IImageStrip bitmap_;
};
