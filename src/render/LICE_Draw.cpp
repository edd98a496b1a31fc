#include "render/LICE_Draw.h"

#include <algorithm>
#include <cmath>

namespace {

// NaN and values outside 0 ... 1 would put a cairo context into an error state.
double Opacity(float opacity) {
  if (!(opacity > 0.0f)) return 0.0;
  return opacity >= 1.0f ? 1.0 : static_cast<double>(opacity);
}

cairo_operator_t OperatorFor(LICE_BlitMode mode) {
  switch (mode) {
    case LICE_BlitMode::kCopy: return CAIRO_OPERATOR_SOURCE;
    case LICE_BlitMode::kAdd: return CAIRO_OPERATOR_ADD;
    case LICE_BlitMode::kDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case LICE_BlitMode::kAlpha: break;
  }
  return CAIRO_OPERATOR_OVER;
}

void SetColour(cairo_t* cr, LICE_pixel colour, double opacity) {
  cairo_set_source_rgba(cr, LICE_GETR(colour) / 255.0, LICE_GETG(colour) / 255.0, LICE_GETB(colour) / 255.0,
                        LICE_GETA(colour) / 255.0 * opacity);
}

}  // namespace

void LICE_Blit(LICE_Bitmap& dest, const LICE_Bitmap& src, int dstX, int dstY, int srcX, int srcY, int width,
               int height, float opacity, LICE_BlitMode mode) {
  if (!dest.IsValid() || !src.IsValid() || width <= 0 || height <= 0) return;
  // Only the part of the source rectangle that lies inside the source is drawn.
  const long long l = std::max<long long>(srcX, 0);
  const long long t = std::max<long long>(srcY, 0);
  const long long r = std::min<long long>(static_cast<long long>(srcX) + width, src.Width());
  const long long b = std::min<long long>(static_cast<long long>(srcY) + height, src.Height());
  if (l >= r || t >= b) return;
  const double a = Opacity(opacity);
  if (a <= 0.0) return;
  const double x = static_cast<double>(dstX) + static_cast<double>(l - srcX);
  const double y = static_cast<double>(dstY) + static_cast<double>(t - srcY);
  cairo_t* cr = dest.CreateContext();
  cairo_set_operator(cr, OperatorFor(mode));
  cairo_set_source_surface(cr, src.Surface(), x - static_cast<double>(l), y - static_cast<double>(t));
  cairo_rectangle(cr, x, y, static_cast<double>(r - l), static_cast<double>(b - t));
  cairo_clip(cr);
  if (a >= 1.0) cairo_paint(cr);
  else cairo_paint_with_alpha(cr, a);
  cairo_destroy(cr);
}

void LICE_FillRect(LICE_Bitmap& dest, int x, int y, int width, int height, LICE_pixel colour, float opacity) {
  if (!dest.IsValid() || width <= 0 || height <= 0) return;
  cairo_t* cr = dest.CreateContext();
  SetColour(cr, colour, Opacity(opacity));
  cairo_rectangle(cr, x, y, width, height);
  cairo_fill(cr);
  cairo_destroy(cr);
}

void LICE_FillCircle(LICE_Bitmap& dest, float cx, float cy, float radius, LICE_pixel colour, float opacity,
                     bool antialias) {
  if (!dest.IsValid() || !(radius >= 0.0f) || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) {
    return;
  }
  cairo_t* cr = dest.CreateContext();
  cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  SetColour(cr, colour, Opacity(opacity));
  cairo_arc(cr, cx + 0.5, cy + 0.5, radius + 0.5, 0.0, 2.0 * M_PI);
  cairo_fill(cr);
  cairo_destroy(cr);
}

void LICE_Line(LICE_Bitmap& dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity,
               bool antialias) {
  if (!dest.IsValid()) return;
  cairo_t* cr = dest.CreateContext();
  cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  SetColour(cr, colour, Opacity(opacity));
  cairo_set_line_width(cr, 1.0);
  if (x1 == x2 && y1 == y2) {
    cairo_rectangle(cr, x1, y1, 1.0, 1.0);
    cairo_fill(cr);
  } else {
    // Through the pixel centres; square caps take in both end pixels.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
    cairo_stroke(cr);
  }
  cairo_destroy(cr);
}
