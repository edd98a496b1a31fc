#pragma once

// Fuzz targets that create instances run with a configuration folder of their own: an instance
// reads, and creates, the per-user configuration file.
#include <stdlib.h>

#include <string>

inline void UseOwnConfigurationFolder() {
  static const bool done = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/tarvolin-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
      ::setenv("HOME", pattern.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    }
    return true;
  }();
  (void)done;
}
