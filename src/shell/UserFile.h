#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Opening and reading the files a user names (presets, tunings, wave tables, the configuration).
// Only regular files are read, and only up to a size the caller gives: a named pipe without a writer
// would hang the open, and a device such as /dev/zero never ends. Opening never blocks.
namespace UserFile {

enum class Result {
  kRead,     // the file was read (or opened)
  kMissing,  // there is no such file
  kRefused,  // it exists but is no regular file, is larger than allowed, or cannot be read
};

// Opens path for reading when it is a regular file of at most maxSize bytes; null otherwise, with
// the reason in *result when result is not null.
std::FILE* Open(const std::string& path, std::uint64_t maxSize, Result* result = nullptr);

// Reads the whole of path into out (emptied first) under the same rules. A file that grows past
// maxSize while it is read is refused.
Result ReadWhole(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* out);
Result ReadWhole(const std::string& path, std::uint64_t maxSize, std::string* out);

}  // namespace UserFile
