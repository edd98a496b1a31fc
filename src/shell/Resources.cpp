#include "shell/Resources.h"

#include <dlfcn.h>

#include "shell/ResourceTable.h"

namespace {

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == 0) return true;
  }
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindResource(const char* type, const char* name) {
  if (type == nullptr || name == nullptr) return std::nullopt;
  for (const auto* e = tarvolin::resources::Entries(); e->type != nullptr; ++e) {
    if (EqualsIgnoringCase(e->type, type) && EqualsIgnoringCase(e->name, name)) {
      return std::span<const std::uint8_t>(e->begin, static_cast<std::size_t>(e->end - e->begin));
    }
  }
  return std::nullopt;
}

std::string GetModulePath() {
  Dl_info info{};
  // Any symbol of this library identifies it; this function is one.
  if (dladdr(reinterpret_cast<const void*>(&GetModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}

std::string GetModuleFolder() {
  std::string path = GetModulePath();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}
