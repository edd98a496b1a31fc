// Text through fontconfig, FreeType and cairo: faces, height, alignment, colour and smoothing.
#include "render/LICE_Font.h"

#include <gtest/gtest.h>

#include "render/LICE_FontCache.h"

namespace {

struct Ink {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  int maxAlpha = 0;
  int partial = 0;  // pixels neither empty nor fully covered
  int pixels = 0;
};

Ink InkOf(const LICE_Bitmap& b) {
  Ink ink;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const int a = static_cast<int>(b.Pixel(x, y) >> 24);
      if (a == 0) continue;
      ++ink.pixels;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
      ink.maxAlpha = std::max(ink.maxAlpha, a);
      if (a < 255) ++ink.partial;
    }
  }
  return ink;
}

LICE_FontDescription Verdana(int height, LICE_FontQuality quality = LICE_FontQuality::kDefault) {
  LICE_FontDescription d;
  d.height = height;
  d.face = "Verdana";
  d.quality = quality;
  return d;
}

}  // namespace

TEST(LiceFont, FacesResolveToTheClosestInstalledOne) {
  // Whatever the system has, a face comes back, also for a name nothing carries.
  for (const char* face : {"Verdana", "Arial", "No Such Face At All 1234", ""}) {
    LICE_FontDescription d = Verdana(12);
    d.face = face;
    const auto font = LICE_Font::Create(d);
    ASSERT_NE(font, nullptr) << face;
    EXPECT_FALSE(font->ResolvedFamily().empty()) << face;
    LICE_Bitmap b(80, 20);
    font->DrawText(b, "Abc", 0, 0, 80, 20, LICE_TextAlign::kLeft, 0xFF000000);
    EXPECT_GT(InkOf(b).pixels, 10) << face;
  }
  // The height is the cell: ascent and descent together.
  for (int h : {9, 12, 24}) {
    const auto font = LICE_Font::Create(Verdana(h));
    ASSERT_NE(font, nullptr);
    EXPECT_NEAR(font->CellHeight(), h, 1) << h;
    EXPECT_LT(font->Ascent(), font->CellHeight());
  }
  // Bold is heavier than normal.
  LICE_FontDescription bold = Verdana(16);
  bold.weight = 700;
  LICE_Bitmap normalInk(120, 24), boldInk(120, 24);
  LICE_Font::Create(Verdana(16))->DrawText(normalInk, "Heavy", 0, 0, 120, 24, LICE_TextAlign::kLeft, 0xFF000000);
  LICE_Font::Create(bold)->DrawText(boldInk, "Heavy", 0, 0, 120, 24, LICE_TextAlign::kLeft, 0xFF000000);
  EXPECT_GT(InkOf(boldInk).pixels, InkOf(normalInk).pixels);
}

TEST(LiceFont, AlignedInTheRectOnOneLineAndNotClippedToIt) {
  const auto font = LICE_Font::Create(Verdana(12));
  ASSERT_NE(font, nullptr);
  const int width = font->TextWidth("MMMM");
  ASSERT_GT(width, 20);
  const auto drawn = [&](LICE_TextAlign align, int left, int right) {
    LICE_Bitmap b(200, 30);
    font->DrawText(b, "MMMM", left, 5, right, 17, align, 0xFF000000);
    return InkOf(b);
  };
  const Ink left = drawn(LICE_TextAlign::kLeft, 20, 180);
  EXPECT_NEAR(left.left, 20, 2);
  EXPECT_NEAR(left.right, 20 + width, 3);
  EXPECT_GE(left.top, 5);  // the cell starts at the rect's top
  EXPECT_LE(left.bottom, 5 + font->CellHeight());
  const Ink right = drawn(LICE_TextAlign::kRight, 20, 180);
  EXPECT_NEAR(right.right, 179, 3);
  const Ink centre = drawn(LICE_TextAlign::kCentre, 20, 180);
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 100.0, 2.0);
  // A rect narrower than the text: it runs past it.
  const Ink narrow = drawn(LICE_TextAlign::kLeft, 20, 25);
  EXPECT_GT(narrow.right, 40);
  // The bitmap's clip still holds.
  LICE_Bitmap clipped(200, 30);
  clipped.SetClip(0, 0, 30, 30);
  font->DrawText(clipped, "MMMM", 20, 5, 25, 17, LICE_TextAlign::kLeft, 0xFF000000);
  EXPECT_LT(InkOf(clipped).right, 30);
  // Newlines do not start a second line; empty text draws nothing.
  LICE_Bitmap lines(200, 60);
  font->DrawText(lines, "MM\nMM", 0, 0, 200, 60, LICE_TextAlign::kLeft, 0xFF000000);
  EXPECT_LE(InkOf(lines).bottom, font->CellHeight() + 1);
  LICE_Bitmap none(20, 20);
  font->DrawText(none, "", 0, 0, 20, 20, LICE_TextAlign::kLeft, 0xFF000000);
  EXPECT_EQ(InkOf(none).pixels, 0);
}

TEST(LiceFont, ColourAlphaAndSmoothing) {
  LICE_Bitmap sharp(120, 24), smooth(120, 24), faint(120, 24);
  LICE_Font::Create(Verdana(14, LICE_FontQuality::kNonAntialiased))
      ->DrawText(sharp, "Wave 3", 0, 0, 120, 24, LICE_TextAlign::kLeft, 0xFF000000);
  LICE_Font::Create(Verdana(14, LICE_FontQuality::kAntialiased))
      ->DrawText(smooth, "Wave 3", 0, 0, 120, 24, LICE_TextAlign::kLeft, 0xFF000000);
  LICE_Font::Create(Verdana(14, LICE_FontQuality::kAntialiased))
      ->DrawText(faint, "Wave 3", 0, 0, 120, 24, LICE_TextAlign::kLeft, 0x80000000);
  EXPECT_GT(InkOf(sharp).pixels, 20);
  EXPECT_EQ(InkOf(sharp).partial, 0);
  EXPECT_GT(InkOf(smooth).partial, 10);
  EXPECT_EQ(InkOf(smooth).maxAlpha, 255);
  EXPECT_NEAR(InkOf(faint).maxAlpha, 128, 1);
  // Rotated text runs upwards.
  LICE_FontDescription up = Verdana(12);
  up.escapement = 900;
  LICE_Bitmap rotated(40, 120);
  LICE_Font::Create(up)->DrawText(rotated, "Rotate", 0, 100, 40, 120, LICE_TextAlign::kLeft, 0xFF000000);
  const Ink r = InkOf(rotated);
  EXPECT_GT(r.bottom - r.top, r.right - r.left);
}

TEST(LiceFont, TextThatIsNotUtf8IsReadAsWindows1252) {
  EXPECT_EQ(LICE_TextToUtf8("plain"), "plain");
  EXPECT_EQ(LICE_TextToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");                 // valid: unchanged
  EXPECT_EQ(LICE_TextToUtf8("Caf\xE9"), "Caf\xC3\xA9");                     // Latin-1 e acute
  EXPECT_EQ(LICE_TextToUtf8("\x80 5"), "\xE2\x82\xAC 5");                   // the euro sign
  EXPECT_EQ(LICE_TextToUtf8("x\xC3"), "x\xC3\x83");                         // a cut-off sequence
  EXPECT_EQ(LICE_TextToUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");               // overlong form
  EXPECT_EQ(LICE_TextToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // a surrogate
  EXPECT_EQ(LICE_TextToUtf8("\x81"), "?");                                  // a hole of the code page
  // Such text draws (cairo would refuse it and stop drawing on that context).
  const auto font = LICE_Font::Create(Verdana(12));
  LICE_Bitmap b(100, 20);
  font->DrawText(b, "Caf\xE9 \xFF\xFE", 0, 0, 100, 20, LICE_TextAlign::kLeft, 0xFF000000);
  font->DrawText(b, "after", 50, 0, 100, 20, LICE_TextAlign::kLeft, 0xFF000000);
  EXPECT_GT(InkOf(b).right, 55);
}

TEST(LiceFont, TheCacheMakesEachDescriptionOnce) {
  LICE_FontCache& cache = LICE_FontCache::Instance();
  LICE_Font* a = cache.Get(Verdana(13));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(cache.Get(Verdana(13)), a);
  EXPECT_NE(cache.Get(Verdana(13, LICE_FontQuality::kNonAntialiased)), a);
  LICE_FontDescription italic = Verdana(13);
  italic.italic = true;
  EXPECT_NE(cache.Get(italic), a);
  const int size = cache.Size();
  cache.Get(italic);
  EXPECT_EQ(cache.Size(), size);
}
