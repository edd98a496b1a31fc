#pragma once

// Fuzz targets that create instances run with a configuration folder of their own: an instance
// reads, and creates, the per-user configuration file.
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "engine/Tarvolin.h"

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

// One instrument for the whole run, created on first use with its own configuration folder.
inline Tarvolin& FuzzInstrument() {
  static Tarvolin* plug = [] {
    UseOwnConfigurationFolder();
    return new Tarvolin(nullptr);
  }();
  return *plug;
}

// Whatever was read, every parameter stays within its range.
inline void RequireParametersInRange(Tarvolin& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const Parameter& p = *plug.GetParam(i);
    if (!(p.Value() >= p.Min() && p.Value() <= p.Max())) std::abort();
  }
}
