#include "render/LICE_BitmapCache.h"

LICE_BitmapCache& LICE_BitmapCache::Instance() {
  // Destroyed when the library unloads.
  static LICE_BitmapCache cache;
  return cache;
}

std::shared_ptr<LICE_Bitmap> LICE_BitmapCache::Find(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = bitmaps_.find(id);
  return it != bitmaps_.end() ? it->second : nullptr;
}

std::shared_ptr<LICE_Bitmap> LICE_BitmapCache::Add(int id, std::shared_ptr<LICE_Bitmap> bitmap) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bitmap == nullptr) return nullptr;
  return bitmaps_.try_emplace(id, std::move(bitmap)).first->second;
}

int LICE_BitmapCache::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(bitmaps_.size());
}
