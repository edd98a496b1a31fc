// PNG decoding from memory: premultiplied for cairo, and nothing but a valid PNG gets through.
#include "render/LICE_PNG.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace {

// Encodes straight-alpha RGBA pixels as a PNG in memory.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) == 0) return {};
  std::vector<std::uint8_t> out(size);
  if (png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr) == 0) return {};
  out.resize(size);
  return out;
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

TEST(LicePng, DecodesToPremultipliedArgb) {
  const std::vector<std::uint8_t> rgba = {
      255, 0,   0,  255,  // opaque red
      0,   255, 0,  128,  // half green
      10,  20,  30, 0,    // transparent: colour gone
      200, 100, 50, 51,   // a fifth: 40, 20, 10
  };
  const auto png = EncodePng(2, 2, rgba);
  ASSERT_FALSE(png.empty());
  const auto bitmap = LICE_LoadPNGFromMemory(png.data(), png.size());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 2);
  EXPECT_EQ(bitmap->Height(), 2);
  EXPECT_EQ(bitmap->Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(bitmap->Pixel(1, 0), 0x80008000u);
  EXPECT_EQ(bitmap->Pixel(0, 1), 0x00000000u);
  EXPECT_EQ(bitmap->Pixel(1, 1), 0x3328140Au);
}

TEST(LicePng, AnythingButAValidPngGivesNone) {
  std::vector<std::uint8_t> rgba(16 * 16 * 4, 0x7F);
  const auto png = EncodePng(16, 16, rgba);
  ASSERT_GT(png.size(), 40u);
  ASSERT_NE(LICE_LoadPNGFromMemory(png.data(), png.size()), nullptr);

  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 0), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 7), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 8), nullptr);  // the signature alone
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 33), nullptr);  // the header, no image data
  // Cut inside the image data. (With every row there and only the end missing, the image is
  // accepted: nothing of it is lost.)
  for (std::size_t cut : {std::size_t{40}, png.size() / 2}) {
    // A copy of exactly the shortened length, so that a read past it would be caught.
    std::vector<std::uint8_t> shortened(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(LICE_LoadPNGFromMemory(shortened.data(), shortened.size()), nullptr) << cut;
  }
  const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00";
  EXPECT_EQ(LICE_LoadPNGFromMemory(reinterpret_cast<const std::uint8_t*>(gif), sizeof gif), nullptr);

  // Damaged image data fails its checksum.
  std::vector<std::uint8_t> damaged = png;
  damaged[damaged.size() - 20] ^= 0x55;
  EXPECT_EQ(LICE_LoadPNGFromMemory(damaged.data(), damaged.size()), nullptr);

  // A header claiming an enormous image (with a correct checksum) is refused before anything is
  // allocated for it, and so is one of zero width.
  for (auto [w, h] : {std::pair{100000u, 100000u}, {20000u, 10u}, {0u, 16u}}) {
    std::vector<std::uint8_t> huge = png;
    PutBigEndian(&huge[16], w);
    PutBigEndian(&huge[20], h);
    PutBigEndian(&huge[29], Crc32(&huge[12], 17));
    EXPECT_EQ(LICE_LoadPNGFromMemory(huge.data(), huge.size()), nullptr) << w;
  }
}
