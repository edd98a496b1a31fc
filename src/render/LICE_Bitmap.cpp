#include "render/LICE_Bitmap.h"

#include <algorithm>

namespace {

// cairo's own limit for image surfaces.
constexpr int kMaxSide = 32767;

}  // namespace

LICE_Bitmap::LICE_Bitmap(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return;
  }
  surface_ = s;
  width_ = width;
  height_ = height;
  stride_ = cairo_image_surface_get_stride(s);
  ClearClip();
}

LICE_Bitmap::~LICE_Bitmap() {
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

std::uint32_t LICE_Bitmap::Pixel(int x, int y) const {
  if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  cairo_surface_flush(surface_);
  return Row(y)[x];
}

std::uint32_t* LICE_Bitmap::Row(int y) {
  if (surface_ == nullptr || y < 0 || y >= height_) return nullptr;
  return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface_) +
                                          static_cast<std::ptrdiff_t>(y) * stride_);
}

const std::uint32_t* LICE_Bitmap::Row(int y) const {
  return const_cast<LICE_Bitmap*>(this)->Row(y);
}

void LICE_Bitmap::MarkDirty() {
  if (surface_ != nullptr) cairo_surface_mark_dirty(surface_);
}

void LICE_Bitmap::SetClip(int left, int top, int right, int bottom) {
  clipL_ = std::clamp(left, 0, width_);
  clipT_ = std::clamp(top, 0, height_);
  clipR_ = std::clamp(right, clipL_, width_);
  clipB_ = std::clamp(bottom, clipT_, height_);
}

cairo_t* LICE_Bitmap::CreateContext() const {
  if (surface_ == nullptr) return nullptr;
  cairo_t* cr = cairo_create(surface_);
  cairo_rectangle(cr, clipL_, clipT_, clipR_ - clipL_, clipB_ - clipT_);
  cairo_clip(cr);
  return cr;
}
