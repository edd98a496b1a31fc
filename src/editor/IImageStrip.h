#pragma once

#include <memory>

#include "render/LICE_Bitmap.h"

// A decoded image (owned by the process-wide bitmap cache) seen as a strip of N equal frames, one
// below the other (vertical) or side by side. Every bitmap of this editor is a vertical strip.
struct IImageStrip {
  std::shared_ptr<LICE_Bitmap> image;  // null when the image could not be had
  int W = 0, H = 0;                    // the whole image
  int N = 1;                           // frames
  bool framesAreHorizontal = false;

  int FrameWidth() const { return framesAreHorizontal && N > 0 ? W / N : W; }
  int FrameHeight() const { return !framesAreHorizontal && N > 0 ? H / N : H; }
  // Offset of frame i (counting from 1) along the strip: whole length * (i - 1) / N + 0.5,
  // truncated, for i >= 2 on a strip of two or more frames; 0 otherwise.
  int FrameOffset(int i) const {
    if (N < 2 || i < 2) return 0;
    const int length = framesAreHorizontal ? W : H;
    return static_cast<int>(static_cast<double>(length) * (i - 1) / N + 0.5);
  }
};
