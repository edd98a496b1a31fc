#pragma once

#include "editor/IBitmapControl.h"

// A bitmap on the row of the oscillator panels' title bars (the oscillator indicators), placed by a
// doubled x coordinate.
class ISMBitmapControl : public IBitmapControl {
 public:
  static constexpr int kTop = 60;

  // rect = (x2 / 2, 60, x2 / 2 + frame width, 60 + frame height).
  ISMBitmapControl(IPlugBase* plug, int x2, const IImageStrip& bitmap, int paramIdx)
      : IBitmapControl(plug, x2 / 2, kTop, paramIdx, bitmap, IBlendMode::kNone) {}
};
