#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>

#include "render/LICE_Bitmap.h"
#include "render/LICE_Draw.h"

// How glyph edges are smoothed.
enum class LICE_FontQuality {
  kDefault = 0,         // the platform's choice (grey anti-aliasing on a bitmap)
  kNonAntialiased = 1,  // every pixel fully in or out
  kAntialiased = 2,     // grey anti-aliasing
  kClearType = 3,       // sub-pixel anti-aliasing
};

enum class LICE_TextAlign { kLeft = 0, kCentre = 1, kRight = 2 };

// A font as a desktop font description names it.
struct LICE_FontDescription {
  // Cell height in pixels (ascent plus descent) when positive, em height when negative, 12 when 0.
  int height = 12;
  // Angle of the baseline in tenths of a degree, counter-clockwise.
  int escapement = 0;
  // 400 normal, 700 bold (anything from 600 on is drawn bold).
  int weight = 400;
  bool italic = false;
  // Family name ("Verdana", "Arial"); the closest installed face is used.
  std::string face;
  LICE_FontQuality quality = LICE_FontQuality::kDefault;

  bool operator==(const LICE_FontDescription&) const = default;
};

// A font resolved through fontconfig to the closest installed face and drawn with cairo and
// FreeType. Safe to draw with from several threads.
class LICE_Font {
 public:
  // Null when no face at all can be had (no fonts installed, or the matched file cannot be read).
  static std::unique_ptr<LICE_Font> Create(const LICE_FontDescription& description);
  ~LICE_Font();
  LICE_Font(const LICE_Font&) = delete;
  LICE_Font& operator=(const LICE_Font&) = delete;

  const LICE_FontDescription& Description() const { return description_; }
  // The family of the face fontconfig chose ("DejaVu Sans" for "Verdana" on a plain system).
  const std::string& ResolvedFamily() const { return family_; }
  int Ascent() const { return ascent_; }
  int CellHeight() const { return cellHeight_; }

  // Advance width of one line of text in pixels.
  int TextWidth(std::string_view text) const;
  // Draws text as one line in the rectangle (left, top, right, bottom): its cell starts at the top,
  // aligned left, centred or right. Nothing is clipped to the rectangle (only to the bitmap's clip).
  // The colour's alpha is honoured. Text that is not UTF-8 is read as Windows-1252.
  void DrawText(LICE_Bitmap& dest, std::string_view text, int left, int top, int right, int bottom,
                LICE_TextAlign align, LICE_pixel colour) const;

 private:
  LICE_Font() = default;

  LICE_FontDescription description_;
  std::string family_;
  cairo_scaled_font_t* font_ = nullptr;
  int ascent_ = 0;
  int cellHeight_ = 0;
  double angle_ = 0.0;
};

// The text as valid UTF-8: unchanged when it is, else every byte read as Windows-1252.
std::string LICE_TextToUtf8(std::string_view text);
