#include "editor/IKnobMultiControl.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& bitmap,
                                     double gearing)
    : IKnobControl(plug, IBounds(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx, gearing),
      bitmap_(bitmap) {}

int IKnobMultiControl::FrameForValue() const {
  const double i = std::trunc((bitmap_.N - 1) * value_ + 0.5);
  if (!(i >= 0.0)) return 1;
  return std::max(1, std::min(bitmap_.N, static_cast<int>(std::min(i, 1e6)) + 1));
}

bool IKnobMultiControl::Draw(IGraphics& graphics) {
  return graphics.BlitBitmap(bitmap_, rect_, FrameForValue(), &blend_);
}
