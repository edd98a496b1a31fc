#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "render/LICE_Bitmap.h"

// The process-wide bitmap cache: decoded images by resource id, each decoded once per process and
// kept until the library unloads, shared by all instances. Its own lock guards it.
class LICE_BitmapCache {
 public:
  static LICE_BitmapCache& Instance();

  // The bitmap cached for id, or null.
  std::shared_ptr<LICE_Bitmap> Find(int id);
  // Caches bitmap for id unless another thread was first; answers the bitmap now cached.
  std::shared_ptr<LICE_Bitmap> Add(int id, std::shared_ptr<LICE_Bitmap> bitmap);
  int Size();

 private:
  LICE_BitmapCache() = default;

  std::mutex mutex_;
  std::map<int, std::shared_ptr<LICE_Bitmap>> bitmaps_;
};
