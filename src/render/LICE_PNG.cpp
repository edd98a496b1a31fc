#include "render/LICE_PNG.h"

#include <png.h>

#include <cstring>

namespace {

// The editor's largest image is 1128 x 776; anything far beyond is refused before it is allocated.
constexpr png_uint_32 kMaxSide = 16384;
constexpr png_uint_32 kMaxPixels = 16u * 1024u * 1024u;

// Straight to premultiplied alpha, rounded to nearest.
inline std::uint32_t Premultiply(std::uint32_t c, std::uint32_t a) { return (c * a + 127u) / 255u; }

}  // namespace

std::unique_ptr<LICE_Bitmap> LICE_LoadPNGFromMemory(const std::uint8_t* data, std::size_t size) {
  // Eight bytes of signature; below that it cannot be a PNG.
  if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) return nullptr;
  // libpng's simplified interface keeps its error recovery (setjmp/longjmp) to itself: a failure
  // anywhere comes back as a zero result with the image's memory released.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, data, size) == 0) {
    png_image_free(&image);
    return nullptr;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide ||
      image.width * image.height > kMaxPixels) {
    png_image_free(&image);
    return nullptr;
  }
  // Straight-alpha sRGB bytes in the memory order of an ARGB32 word.
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  image.format = PNG_FORMAT_ARGB;
#else
  image.format = PNG_FORMAT_BGRA;
#endif
  auto bitmap = std::make_unique<LICE_Bitmap>(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!bitmap->IsValid()) {
    png_image_free(&image);
    return nullptr;
  }
  cairo_surface_flush(bitmap->Surface());
  std::uint8_t* pixels = reinterpret_cast<std::uint8_t*>(bitmap->Row(0));
  if (png_image_finish_read(&image, nullptr, pixels, bitmap->RowSpan(), nullptr) == 0) {
    png_image_free(&image);
    return nullptr;
  }
  // To cairo's native-endian premultiplied words.
  for (int y = 0; y < bitmap->Height(); ++y) {
    std::uint8_t* p = reinterpret_cast<std::uint8_t*>(bitmap->Row(y));
    std::uint32_t* out = bitmap->Row(y);
    for (int x = 0; x < bitmap->Width(); ++x, p += 4) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      const std::uint32_t a = p[0], r = p[1], g = p[2], b = p[3];
#else
      const std::uint32_t b = p[0], g = p[1], r = p[2], a = p[3];
#endif
      out[x] = a << 24 | Premultiply(r, a) << 16 | Premultiply(g, a) << 8 | Premultiply(b, a);
    }
  }
  bitmap->MarkDirty();
  return bitmap;
}

bool LICE_WritePNG(const LICE_Bitmap& bitmap, const std::string& path) {
  if (!bitmap.IsValid()) return false;
  return cairo_surface_write_to_png(bitmap.Surface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}
