#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Resources of the library's own module: the factory bank, the built-in wave samples and the
// editor's bitmaps, addressed by (type, name) as a desktop resource compiler would address them.
// Type and name are matched without regard to ASCII letter case.

// The bytes of the resource, or std::nullopt when the library carries no such resource.
std::optional<std::span<const std::uint8_t>> FindResource(const char* type, const char* name);

// Full path of the loaded plug-in library (found with dladdr), or "" when it cannot be told.
std::string GetModulePath();

// Folder holding the plug-in library, without a trailing slash, or "".
std::string GetModuleFolder();
