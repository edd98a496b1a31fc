#include "render/LICE_FontCache.h"

LICE_FontCache& LICE_FontCache::Instance() {
  // Destroyed when the library unloads.
  static LICE_FontCache cache;
  return cache;
}

LICE_Font* LICE_FontCache::Get(const LICE_FontDescription& description) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& font : fonts_) {
    if (font->Description() == description) return font.get();
  }
  std::unique_ptr<LICE_Font> font = LICE_Font::Create(description);
  if (font == nullptr) return nullptr;
  fonts_.push_back(std::move(font));
  return fonts_.back().get();
}

int LICE_FontCache::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(fonts_.size());
}
