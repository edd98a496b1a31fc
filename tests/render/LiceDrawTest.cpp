// Blits and shapes on known pixels.
#include "render/LICE_Draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

// One pixel of premultiplied ARGB.
LICE_Bitmap& Fill(LICE_Bitmap& b, std::uint32_t pixel) {
  cairo_surface_flush(b.Surface());
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) b.Row(y)[x] = pixel;
  }
  b.MarkDirty();
  return b;
}

int Channel(std::uint32_t p, int shift) { return static_cast<int>(p >> shift) & 255; }

void ExpectNear(std::uint32_t actual, std::uint32_t expected, int tolerance = 1) {
  for (int shift : {24, 16, 8, 0}) {
    EXPECT_LE(std::abs(Channel(actual, shift) - Channel(expected, shift)), tolerance)
        << std::hex << "actual " << actual << " expected " << expected << " channel " << std::dec << shift;
  }
}

std::uint32_t BlitOnePixel(std::uint32_t dst, std::uint32_t src, LICE_BlitMode mode, float opacity = 1.0f) {
  LICE_Bitmap d(1, 1), s(1, 1);
  Fill(d, dst);
  Fill(s, src);
  LICE_Blit(d, s, 0, 0, 0, 0, 1, 1, opacity, mode);
  return d.Pixel(0, 0);
}

}  // namespace

TEST(LiceDraw, BlitModesOnKnownPixels) {
  const std::uint32_t blue = 0xFF0000FF;
  const std::uint32_t halfRed = 0x80800000;  // red at alpha 128, premultiplied
  // Plain copy: the source as it is, alpha included; with opacity, between the two.
  EXPECT_EQ(BlitOnePixel(blue, halfRed, LICE_BlitMode::kCopy), halfRed);
  EXPECT_EQ(BlitOnePixel(blue, 0x00000000, LICE_BlitMode::kCopy), 0u);
  ExpectNear(BlitOnePixel(0xFF000000, 0xFFFFFFFF, LICE_BlitMode::kCopy, 0.5f), 0xFF808080);
  // Source alpha: red over blue.
  ExpectNear(BlitOnePixel(blue, halfRed, LICE_BlitMode::kAlpha), 0xFF80007F);
  ExpectNear(BlitOnePixel(blue, 0xFFFF0000, LICE_BlitMode::kAlpha, 0.25f), 0xFF4000BF);
  // Additive: the premultiplied source added, saturating.
  ExpectNear(BlitOnePixel(0xFF000080, halfRed, LICE_BlitMode::kAdd), 0xFF800080);
  ExpectNear(BlitOnePixel(0xFF808080, 0xFFC0C0C0, LICE_BlitMode::kAdd), 0xFFFFFFFF);
  ExpectNear(BlitOnePixel(0xFF202020, 0xFF404040, LICE_BlitMode::kAdd, 0.5f), 0xFF404040);
  // Colour dodge: grey 102 dodged by 128 gives 102 / (1 - 128/255) = 205; black stays black.
  ExpectNear(BlitOnePixel(0xFF666666, 0xFF808080, LICE_BlitMode::kDodge), 0xFFCDCDCD);
  ExpectNear(BlitOnePixel(0xFF000000, 0xFF808080, LICE_BlitMode::kDodge), 0xFF000000);
  // A transparent source leaves the destination unchanged in every mode that weighs by its alpha.
  for (LICE_BlitMode mode : {LICE_BlitMode::kAlpha, LICE_BlitMode::kAdd, LICE_BlitMode::kDodge}) {
    EXPECT_EQ(BlitOnePixel(0xFF336699, 0x00000000, mode), 0xFF336699u);
    EXPECT_EQ(BlitOnePixel(0xFF336699, 0xFFFFFFFF, mode, 0.0f), 0xFF336699u);
  }
  // Opacity out of range or not a number: clamped, never an error.
  EXPECT_EQ(BlitOnePixel(blue, 0xFFFF0000, LICE_BlitMode::kAlpha, 7.0f), 0xFFFF0000u);
  EXPECT_EQ(BlitOnePixel(blue, 0xFFFF0000, LICE_BlitMode::kAlpha, std::nanf("")), blue);
}

TEST(LiceDraw, BlitsCopyTheSourceRectInsideTheClip) {
  LICE_Bitmap src(4, 4);
  cairo_surface_flush(src.Surface());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) src.Row(y)[x] = 0xFF000000u | static_cast<std::uint32_t>(y * 4 + x);
  }
  src.MarkDirty();
  LICE_Bitmap dest(8, 8);
  Fill(dest, 0xFFFFFFFF);
  dest.SetClip(3, 0, 8, 8);
  // Source (1, 1, 3 x 3) to (2, 2): column 2 lies outside the clip.
  LICE_Blit(dest, src, 2, 2, 1, 1, 3, 3, 1.0f, LICE_BlitMode::kCopy);
  EXPECT_EQ(dest.Pixel(2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(dest.Pixel(3, 2), 0xFF000006u);
  EXPECT_EQ(dest.Pixel(4, 4), 0xFF00000Fu);
  EXPECT_EQ(dest.Pixel(5, 4), 0xFFFFFFFFu);
  // A source rect reaching past the source: only the part inside is drawn, even in copy mode.
  dest.ClearClip();
  Fill(dest, 0xFFFFFFFF);
  LICE_Blit(dest, src, 0, 0, -2, 2, 8, 8, 1.0f, LICE_BlitMode::kCopy);
  EXPECT_EQ(dest.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dest.Pixel(2, 0), 0xFF000008u);
  EXPECT_EQ(dest.Pixel(5, 1), 0xFF00000Fu);
  EXPECT_EQ(dest.Pixel(2, 2), 0xFFFFFFFFu);
  // Invalid bitmaps and empty rects do nothing.
  LICE_Bitmap invalid(0, 5);
  EXPECT_FALSE(invalid.IsValid());
  LICE_Blit(dest, invalid, 0, 0, 0, 0, 4, 4, 1.0f, LICE_BlitMode::kCopy);
  LICE_Blit(invalid, src, 0, 0, 0, 0, 4, 4, 1.0f, LICE_BlitMode::kCopy);
  LICE_Blit(dest, src, 0, 0, 0, 0, 0, 4, 1.0f, LICE_BlitMode::kCopy);
  LICE_FillRect(invalid, 0, 0, 1, 1, 0xFFFFFFFF, 1.0f);
  EXPECT_EQ(dest.Pixel(2, 0), 0xFF000008u);
  EXPECT_EQ(invalid.Pixel(0, 0), 0u);
  EXPECT_FALSE(LICE_Bitmap(40000, 1).IsValid());
}

TEST(LiceDraw, RectsCirclesAndLinesCoverTheirPixels) {
  LICE_Bitmap b(12, 12);
  LICE_FillRect(b, 1, 1, 3, 2, LICE_RGBA(255, 0, 0, 255), 1.0f);
  EXPECT_EQ(b.Pixel(1, 1), 0xFFFF0000u);
  EXPECT_EQ(b.Pixel(3, 2), 0xFFFF0000u);
  EXPECT_EQ(b.Pixel(4, 1), 0u);
  EXPECT_EQ(b.Pixel(1, 3), 0u);
  // Colour alpha and opacity multiply.
  LICE_FillRect(b, 8, 8, 1, 1, LICE_RGBA(0, 0, 255, 128), 0.5f);
  ExpectNear(b.Pixel(8, 8), 0x40000040);

  // Radius 2 around pixel (6, 6): pixels 4 ... 8 on the axes, not the square's corners.
  LICE_Bitmap c(12, 12);
  LICE_FillCircle(c, 6, 6, 2, LICE_RGBA(0, 255, 0, 255), 1.0f, false);
  for (int d = -2; d <= 2; ++d) {
    EXPECT_EQ(c.Pixel(6 + d, 6), 0xFF00FF00u) << d;
    EXPECT_EQ(c.Pixel(6, 6 + d), 0xFF00FF00u) << d;
  }
  EXPECT_EQ(c.Pixel(3, 6), 0u);
  EXPECT_EQ(c.Pixel(9, 6), 0u);
  EXPECT_EQ(c.Pixel(4, 4), 0u);
  LICE_FillCircle(c, 6, 6, -1, LICE_RGBA(0, 0, 255, 255), 1.0f, false);  // no circle
  LICE_FillCircle(c, std::nanf(""), 6, 2, LICE_RGBA(0, 0, 255, 255), 1.0f, false);
  EXPECT_EQ(c.Pixel(6, 6), 0xFF00FF00u);

  // Lines include both ends; without anti-aliasing every pixel is fully in or out.
  LICE_Bitmap l(12, 12);
  LICE_Line(l, 2, 3, 7, 3, LICE_RGBA(255, 255, 255, 255), 1.0f, false);
  for (int x = 2; x <= 7; ++x) EXPECT_EQ(l.Pixel(x, 3), 0xFFFFFFFFu) << x;
  EXPECT_EQ(l.Pixel(1, 3), 0u);
  EXPECT_EQ(l.Pixel(8, 3), 0u);
  EXPECT_EQ(l.Pixel(4, 2), 0u);
  EXPECT_EQ(l.Pixel(4, 4), 0u);
  LICE_Line(l, 1, 10, 9, 6, LICE_RGBA(255, 255, 255, 255), 1.0f, false);
  EXPECT_EQ(l.Pixel(1, 10), 0xFFFFFFFFu);
  EXPECT_EQ(l.Pixel(9, 6), 0xFFFFFFFFu);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const std::uint32_t a = l.Pixel(x, y) >> 24;
      EXPECT_TRUE(a == 0 || a == 255) << x << "," << y;
    }
  }
  LICE_Line(l, 10, 10, 10, 10, LICE_RGBA(255, 0, 0, 255), 1.0f, true);  // a single point
  EXPECT_EQ(l.Pixel(10, 10), 0xFFFF0000u);
  // The clip holds for shapes too.
  LICE_Bitmap clipped(12, 12);
  clipped.SetClip(0, 0, 5, 12);
  LICE_Line(clipped, 0, 0, 11, 0, LICE_RGBA(255, 255, 255, 255), 1.0f, false);
  EXPECT_EQ(clipped.Pixel(4, 0), 0xFFFFFFFFu);
  EXPECT_EQ(clipped.Pixel(5, 0), 0u);
  clipped.SetClip(20, 20, 10, 10);  // limited to the bitmap, empty
  EXPECT_TRUE(clipped.ClipIsEmpty());
  LICE_FillRect(clipped, 0, 0, 12, 12, LICE_RGBA(255, 255, 255, 255), 1.0f);
  EXPECT_EQ(clipped.Pixel(8, 8), 0u);
}
