#pragma once

#include <algorithm>

// A rectangle of the editor in window pixels: left, top, right, bottom (right and bottom lie just
// outside). The rect with all four at 0 is the empty one.
struct IBounds {
  int L = 0, T = 0, R = 0, B = 0;

  constexpr IBounds() = default;
  constexpr IBounds(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  constexpr int W() const { return R - L; }
  constexpr int H() const { return B - T; }
  constexpr bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  constexpr bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // Whether the two share any pixel, counting this rect's right and bottom edges as touching.
  constexpr bool Overlaps(const IBounds& o) const {
    return !Empty() && !o.Empty() && R >= o.L && L < o.R && B >= o.T && T < o.B;
  }
  constexpr IBounds Intersect(const IBounds& o) const {
    if (!Overlaps(o)) return IBounds();
    return IBounds(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
  }
  constexpr IBounds Union(const IBounds& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return IBounds(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
  }
  constexpr bool operator==(const IBounds&) const = default;
};
