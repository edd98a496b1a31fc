#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "render/LICE_Bitmap.h"

// Decodes a PNG held in memory into a bitmap with premultiplied alpha, as cairo draws it. Anything
// that is not a complete, decodable PNG (too short, another format, a broken stream, an image too
// large to hold) gives null; it never crashes or reads outside the bytes given.
std::unique_ptr<LICE_Bitmap> LICE_LoadPNGFromMemory(const std::uint8_t* data, std::size_t size);

// Writes the bitmap to a PNG file; answers success.
bool LICE_WritePNG(const LICE_Bitmap& bitmap, const std::string& path);
