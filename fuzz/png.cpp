// The editor's PNG decoder on arbitrary bytes: a bitmap of sane size or none, never a crash.
#include <cstdint>
#include <cstdlib>

#include "render/LICE_PNG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bitmap = LICE_LoadPNGFromMemory(data, size);
  if (bitmap == nullptr) return 0;
  if (bitmap->Width() <= 0 || bitmap->Height() <= 0 || !bitmap->IsValid()) std::abort();
  // Every pixel is readable and premultiplied: no colour exceeds its alpha.
  for (int y = 0; y < bitmap->Height(); ++y) {
    const std::uint32_t* row = bitmap->Row(y);
    for (int x = 0; x < bitmap->Width(); ++x) {
      const std::uint32_t p = row[x];
      const std::uint32_t a = p >> 24;
      if (((p >> 16) & 255) > a || ((p >> 8) & 255) > a || (p & 255) > a) std::abort();
    }
  }
  return 0;
}
