#include "synth/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace UserFolders {

namespace {

// user-dirs.dirs is a few lines; anything larger is not that file.
constexpr std::streamsize kMaxUserDirsSize = 1 << 20;

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ReadSmallFile(const std::string& path) {
  if (!IsFile(path)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text;
  text.resize(static_cast<std::size_t>(kMaxUserDirsSize));
  in.read(text.data(), kMaxUserDirsSize);
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::string UserDir(const char* key, const char* fallbackName) {
  const std::string home = HomeFolder();
  const std::string configuration = ConfigurationFolder();
  if (!configuration.empty()) {
    const std::string dir = UserDirFromText(ReadSmallFile(configuration + "/user-dirs.dirs"), key, home);
    if (!dir.empty()) return dir;
  }
  if (home.empty()) return {};
  const std::string fallback = home + "/" + fallbackName;
  return IsFolder(fallback) ? fallback : home;
}

}  // namespace

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  if (!home.empty()) return WithoutTrailingSlashes(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr) {
    home = result->pw_dir;
  }
  return WithoutTrailingSlashes(home);
}

std::string ConfigurationFolder() {
  // Relative values are invalid by the base-directory rules and are ignored.
  const std::string configured = EnvironmentValue("XDG_CONFIG_HOME");
  if (!configured.empty() && configured.front() == '/') return WithoutTrailingSlashes(configured);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

std::string DocumentsFolder() { return UserDir("XDG_DOCUMENTS_DIR", "Documents"); }

std::string DesktopFolder() { return UserDir("XDG_DESKTOP_DIR", "Desktop"); }

std::string UserDirFromText(const std::string& text, const std::string& key, const std::string& home) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, key.size()) != key) continue;
    line.remove_prefix(key.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '=') continue;
    line.remove_prefix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '"') continue;
    line.remove_prefix(1);
    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (line[i] == '"') {
        closed = true;
        break;
      } else {
        value += line[i];
      }
    }
    if (!closed) continue;
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    }
    if (value.empty() || value.front() != '/') continue;
    return WithoutTrailingSlashes(value);
  }
  return {};
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty() || folder.front() != '/') return false;
  if (IsFolder(folder)) return true;
  // Each missing level in turn, from the root down.
  for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
    const std::string part = folder.substr(0, at);
    if (!IsFolder(part) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (at == std::string::npos) break;
  }
  return IsFolder(folder);
}

}  // namespace UserFolders
