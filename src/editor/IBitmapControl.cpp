#include "editor/IBitmapControl.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& bitmap,
                               int blendMethod)
    : IControl(plug, IBounds(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx, blendMethod),
      bitmap_(bitmap) {}

int IBitmapControl::FrameForValue() const {
  if (bitmap_.N < 2) return 1;
  const double i = std::trunc((bitmap_.N - 1) * value_ + 0.5);
  if (!(i >= 0.0)) return 1;
  return std::min(static_cast<int>(std::min(i, 1e6)) + 1, bitmap_.N);
}

bool IBitmapControl::Draw(IGraphics& graphics) {
  return graphics.BlitBitmap(bitmap_, rect_, FrameForValue(), &blend_);
}
