// The benchmarks create many instances, and each reads (and creates) the per-user configuration
// file: they run with a configuration folder of their own in the temporary folder.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

struct OwnConfigurationFolder {
  OwnConfigurationFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/tarvolin-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    ::setenv("HOME", root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  }
  ~OwnConfigurationFolder() {
    std::error_code ignored;
    if (!root.empty()) std::filesystem::remove_all(root, ignored);
  }
  std::string root;
};

const OwnConfigurationFolder g_folder;

}  // namespace
