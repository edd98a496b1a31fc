#pragma once

// How a control's drawing combines with what lies beneath it.
struct IBlendMode {
  enum Method : int {
    kNone = 0,     // over what lies beneath, by the source's alpha
    kClobber = 1,  // the pixels as they are
    kAdd = 2,      // added, by the source's alpha
    kDodge = 3,    // colour dodge, by the source's alpha
  };

  int method = kNone;
  // Opacity, 1.0 opaque.
  float weight = 1.0f;

  constexpr IBlendMode() = default;
  constexpr explicit IBlendMode(int m, float w = 1.0f) : method(m), weight(w) {}
};
