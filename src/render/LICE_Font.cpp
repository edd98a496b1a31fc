#include "render/LICE_Font.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <cmath>

namespace {

// Windows-1252 in 0x80 ... 0x9F (0 where the code page leaves a hole); Latin-1 elsewhere.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int n = 0;
    char32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
    else return false;
    if (i + static_cast<std::size_t>(n) >= s.size()) return false;
    for (int k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      return false;
    }
    i += static_cast<std::size_t>(n) + 1;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

cairo_antialias_t AntialiasFor(LICE_FontQuality quality) {
  switch (quality) {
    case LICE_FontQuality::kNonAntialiased: return CAIRO_ANTIALIAS_NONE;
    case LICE_FontQuality::kAntialiased: return CAIRO_ANTIALIAS_GRAY;
    case LICE_FontQuality::kClearType: return CAIRO_ANTIALIAS_SUBPIXEL;
    case LICE_FontQuality::kDefault: break;
  }
  return CAIRO_ANTIALIAS_DEFAULT;
}

cairo_scaled_font_t* MakeScaledFont(cairo_font_face_t* face, double em, double angle, LICE_FontQuality quality,
                                    cairo_hint_metrics_t hintMetrics) {
  cairo_matrix_t fontMatrix;
  cairo_matrix_init_scale(&fontMatrix, em, em);
  // Counter-clockwise on screen is clockwise in cairo's y-down space.
  if (angle != 0.0) cairo_matrix_rotate(&fontMatrix, -angle);
  cairo_matrix_t ctm;
  cairo_matrix_init_identity(&ctm);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, AntialiasFor(quality));
  if (quality == LICE_FontQuality::kClearType) cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_RGB);
  cairo_font_options_set_hint_metrics(options, hintMetrics);
  cairo_scaled_font_t* font = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
  cairo_font_options_destroy(options);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(font);
    return nullptr;
  }
  return font;
}

}  // namespace

std::string LICE_TextToUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    char32_t cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80] != 0 ? kCp1252High[c - 0x80] : U'?';
    AppendUtf8(out, cp);
  }
  return out;
}

std::unique_ptr<LICE_Font> LICE_Font::Create(const LICE_FontDescription& description) {
  FcPattern* wanted = FcPatternCreate();
  if (wanted == nullptr) return nullptr;
  FcPatternAddString(wanted, FC_FAMILY, reinterpret_cast<const FcChar8*>(description.face.c_str()));
  FcPatternAddInteger(wanted, FC_WEIGHT, description.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(wanted, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  const int height = description.height == 0 ? 12 : description.height;
  FcPatternAddDouble(wanted, FC_PIXEL_SIZE, std::abs(height));
  // The current configuration is made on first use; it is never torn down here, because the host
  // and other plug-ins in this process may use fontconfig too.
  FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
  FcDefaultSubstitute(wanted);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, wanted, &result);
  FcPatternDestroy(wanted);
  if (match == nullptr) return nullptr;
  // Smoothing follows the description, not the desktop's preference stored in the match.
  FcPatternDel(match, FC_ANTIALIAS);
  FcPatternDel(match, FC_RGBA);
  std::unique_ptr<LICE_Font> font(new LICE_Font());
  font->description_ = description;
  FcChar8* family = nullptr;
  if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
    font->family_ = reinterpret_cast<const char*>(family);
  }
  cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
  FcPatternDestroy(match);
  if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(face);
    return nullptr;
  }
  font->angle_ = description.escapement / 10.0 * M_PI / 180.0;
  double em = std::abs(height);
  if (height > 0) {
    // A positive height is the whole cell: scale the em so that ascent plus descent fill it.
    cairo_scaled_font_t* probe = MakeScaledFont(face, em, 0.0, description.quality, CAIRO_HINT_METRICS_OFF);
    if (probe == nullptr) {
      cairo_font_face_destroy(face);
      return nullptr;
    }
    cairo_font_extents_t e;
    cairo_scaled_font_extents(probe, &e);
    cairo_scaled_font_destroy(probe);
    if (e.ascent + e.descent > 0.0) em = em * em / (e.ascent + e.descent);
  }
  font->font_ = MakeScaledFont(face, em, font->angle_, description.quality, CAIRO_HINT_METRICS_ON);
  cairo_font_face_destroy(face);  // the scaled font keeps its own reference
  if (font->font_ == nullptr) return nullptr;
  cairo_font_extents_t e;
  cairo_scaled_font_extents(font->font_, &e);
  if (font->angle_ != 0.0) {
    // Extents of a rotated font are in device space; the upright metrics are what alignment needs.
    cairo_scaled_font_t* upright = MakeScaledFont(cairo_scaled_font_get_font_face(font->font_), em, 0.0,
                                                  description.quality, CAIRO_HINT_METRICS_ON);
    if (upright != nullptr) {
      cairo_scaled_font_extents(upright, &e);
      cairo_scaled_font_destroy(upright);
    }
  }
  font->ascent_ = static_cast<int>(std::lround(e.ascent));
  font->cellHeight_ = static_cast<int>(std::lround(e.ascent + e.descent));
  return font;
}

LICE_Font::~LICE_Font() {
  if (font_ != nullptr) cairo_scaled_font_destroy(font_);
}

int LICE_Font::TextWidth(std::string_view text) const {
  if (text.empty()) return 0;
  const std::string utf8 = LICE_TextToUtf8(text);
  cairo_text_extents_t e;
  cairo_scaled_font_text_extents(font_, utf8.c_str(), &e);
  return static_cast<int>(std::lround(std::hypot(e.x_advance, e.y_advance)));
}

void LICE_Font::DrawText(LICE_Bitmap& dest, std::string_view text, int left, int top, int right, int /*bottom*/,
                         LICE_TextAlign align, LICE_pixel colour) const {
  if (!dest.IsValid() || text.empty()) return;
  const std::string utf8 = LICE_TextToUtf8(text);
  if (utf8.empty() || utf8[0] == '\0') return;
  cairo_text_extents_t e;
  cairo_scaled_font_text_extents(font_, utf8.c_str(), &e);
  // Along the baseline (dx, dy) and towards the glyphs' bottoms (-dy, dx), in y-down space.
  const double dx = std::cos(angle_);
  const double dy = -std::sin(angle_);
  const double advance = std::hypot(e.x_advance, e.y_advance);
  double along = 0.0;
  double anchorX = left;
  if (align == LICE_TextAlign::kCentre) {
    anchorX = (left + right) / 2.0;
    along = -std::round(advance / 2.0);
  } else if (align == LICE_TextAlign::kRight) {
    anchorX = right;
    along = -advance;
  }
  const double x = anchorX + along * dx - ascent_ * dy;
  const double y = top + along * dy + ascent_ * dx;
  cairo_t* cr = dest.CreateContext();
  cairo_set_scaled_font(cr, font_);
  cairo_set_source_rgba(cr, LICE_GETR(colour) / 255.0, LICE_GETG(colour) / 255.0, LICE_GETB(colour) / 255.0,
                        LICE_GETA(colour) / 255.0);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, utf8.c_str());
  cairo_destroy(cr);
}
