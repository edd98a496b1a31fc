#include "support/TestPaths.h"

#include <cstdlib>

std::string TestDataPath(const std::string& relative) {
  return std::string(TARVOLIN_TESTDATA_DIR) + "/" + relative;
}

std::string SourcePath(const std::string& relative) {
  return std::string(TARVOLIN_SOURCE_DIR) + "/" + relative;
}

std::string PluginPath() {
  // CI may test a library built elsewhere (the 32-bit build).
  if (const char* p = std::getenv("TARVOLIN_PLUGIN"); p != nullptr && *p != '\0') return p;
  return TARVOLIN_PLUGIN_PATH;
}
