#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "render/LICE_Font.h"

// The process-wide font cache: every distinct description is resolved and created once and lives
// until the library unloads, shared by all instances. Its own lock guards it.
class LICE_FontCache {
 public:
  static LICE_FontCache& Instance();

  // The font for the description, created on first use; null when it cannot be created (not
  // remembered, so a later call tries again).
  LICE_Font* Get(const LICE_FontDescription& description);
  int Size();

 private:
  LICE_FontCache() = default;

  std::mutex mutex_;
  std::vector<std::unique_ptr<LICE_Font>> fonts_;
};
