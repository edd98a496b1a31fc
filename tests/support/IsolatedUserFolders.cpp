// Every test program runs with a home and a configuration folder of its own, made fresh in the
// temporary folder and removed at exit: creating an instance reads (and creates) the per-user
// configuration file, and no test may touch the real user's.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "support/TestPaths.h"

namespace {

class IsolatedUserFolders {
 public:
  IsolatedUserFolders() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/tarvolin-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ::abort();
    root_ = pattern;
    std::filesystem::create_directories(root_ + "/config");
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
  }
  ~IsolatedUserFolders() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

const IsolatedUserFolders& Folders() {
  static const IsolatedUserFolders folders;
  return folders;
}

// Made before main, so before any test creates an instance.
[[maybe_unused]] const IsolatedUserFolders& g_made = Folders();

}  // namespace

std::string TestHomeFolder() { return Folders().Root(); }
