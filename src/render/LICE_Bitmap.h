#pragma once

#include <cairo.h>

#include <cstdint>

// A 32-bit raster bitmap: a cairo image surface in ARGB32 (native-endian words, alpha in the top
// byte, colours premultiplied by alpha). Used for the editor's drawing surface, whose pixels are
// copied to the window, and for decoded images.
//
// Every drawing operation on a bitmap (LICE_Draw.h, LICE_Font.h) stays inside its clip rectangle,
// which is the whole bitmap unless set otherwise.
class LICE_Bitmap {
 public:
  // A bitmap of width x height transparent black pixels; a size that cannot be had (zero, negative,
  // beyond cairo's limits, out of memory) gives an invalid bitmap that every operation ignores.
  LICE_Bitmap(int width, int height);
  ~LICE_Bitmap();
  LICE_Bitmap(const LICE_Bitmap&) = delete;
  LICE_Bitmap& operator=(const LICE_Bitmap&) = delete;

  bool IsValid() const { return surface_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes from one row to the next.
  int RowSpan() const { return stride_; }
  // The premultiplied pixel at (x, y); 0 outside the bitmap. After writing pixels directly, call
  // MarkDirty so that cairo sees them.
  std::uint32_t Pixel(int x, int y) const;
  std::uint32_t* Row(int y);
  const std::uint32_t* Row(int y) const;
  void MarkDirty();

  // The clip rectangle (left, top, right, bottom; right and bottom exclusive), limited to the bitmap.
  void SetClip(int left, int top, int right, int bottom);
  void ClearClip() { SetClip(0, 0, width_, height_); }
  int ClipLeft() const { return clipL_; }
  int ClipTop() const { return clipT_; }
  int ClipRight() const { return clipR_; }
  int ClipBottom() const { return clipB_; }
  bool ClipIsEmpty() const { return clipL_ >= clipR_ || clipT_ >= clipB_; }

  cairo_surface_t* Surface() const { return surface_; }
  // A drawing context on the bitmap with the clip applied (null for an invalid bitmap); destroy it
  // with cairo_destroy.
  cairo_t* CreateContext() const;

 private:
  cairo_surface_t* surface_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  int clipL_ = 0, clipT_ = 0, clipR_ = 0, clipB_ = 0;
};
