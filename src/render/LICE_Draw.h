#pragma once

#include <cstdint>

#include "render/LICE_Bitmap.h"

// The drawing operations beneath the editor, all on cairo: blits between bitmaps and filled shapes
// and lines. Every operation draws only inside the destination's clip rectangle and ignores an
// invalid bitmap.

// A colour as drawn: alpha, red, green, blue packed A << 24 | R << 16 | G << 8 | B, not premultiplied.
using LICE_pixel = std::uint32_t;

constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
  return (static_cast<LICE_pixel>(a & 255) << 24) | (static_cast<LICE_pixel>(r & 255) << 16) |
         (static_cast<LICE_pixel>(g & 255) << 8) | static_cast<LICE_pixel>(b & 255);
}
constexpr int LICE_GETA(LICE_pixel p) { return static_cast<int>(p >> 24) & 255; }
constexpr int LICE_GETR(LICE_pixel p) { return static_cast<int>(p >> 16) & 255; }
constexpr int LICE_GETG(LICE_pixel p) { return static_cast<int>(p >> 8) & 255; }
constexpr int LICE_GETB(LICE_pixel p) { return static_cast<int>(p) & 255; }

// How a blit combines source and destination pixels. All but kCopy weigh the source by its alpha.
enum class LICE_BlitMode {
  kCopy,    // the source pixels as they are, alpha included
  kAlpha,   // the source over the destination
  kAdd,     // the source added to the destination
  kDodge,   // colour dodge: the destination brightened by the source
};

// Copies the source rectangle (srcX, srcY, width x height) of src to (dstX, dstY) of dest with an
// opacity of 0 ... 1. Parts of the source rectangle outside src count as transparent and leave the
// destination unchanged.
void LICE_Blit(LICE_Bitmap& dest, const LICE_Bitmap& src, int dstX, int dstY, int srcX, int srcY, int width,
               int height, float opacity, LICE_BlitMode mode);

// Fills the rectangle (x, y, width x height) with colour at an opacity, over what is there.
void LICE_FillRect(LICE_Bitmap& dest, int x, int y, int width, int height, LICE_pixel colour, float opacity);

// Fills the circle around the centre of pixel (cx, cy) reaching radius pixels out, so that it
// covers pixels cx - radius ... cx + radius in each direction.
void LICE_FillCircle(LICE_Bitmap& dest, float cx, float cy, float radius, LICE_pixel colour, float opacity,
                     bool antialias);

// A one pixel wide line from pixel (x1, y1) to pixel (x2, y2), both ends included.
void LICE_Line(LICE_Bitmap& dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity,
               bool antialias);
