#pragma once

#include <cstdint>

// A colour of the editor: alpha, red, green, blue, 0 ... 255 each.
struct IArgb {
  int A = 255, R = 0, G = 0, B = 0;

  constexpr IArgb() = default;
  constexpr IArgb(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

  // A * 2^24 + R * 2^16 + G * 2^8 + B, as drawn.
  constexpr std::uint32_t Packed() const {
    return (static_cast<std::uint32_t>(A & 255) << 24) | (static_cast<std::uint32_t>(R & 255) << 16) |
           (static_cast<std::uint32_t>(G & 255) << 8) | static_cast<std::uint32_t>(B & 255);
  }
  constexpr bool operator==(const IArgb&) const = default;
};
