// Large files must be measured correctly on 32-bit builds too.
#define _FILE_OFFSET_BITS 64

#include "shell/UserFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace UserFile {

namespace {

// A descriptor of path when it is a regular file of at most maxSize bytes, else -1 (and *result);
// *size is the size the file system tells.
int OpenRegular(const std::string& path, std::uint64_t maxSize, Result* result, std::uint64_t* size) {
  *result = Result::kRefused;
  *size = 0;
  if (path.empty()) {
    *result = Result::kMissing;
    return -1;
  }
  // Without O_NONBLOCK, opening a pipe that nobody writes to waits forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) *result = Result::kMissing;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::uint64_t>(info.st_size) > maxSize) {
    ::close(fd);
    return -1;
  }
  // Reads of a regular file never block; clearing the flag keeps them ordinary all the same.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  *result = Result::kRead;
  *size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

template <typename Bytes>
Result ReadInto(const std::string& path, std::uint64_t maxSize, Bytes* out) {
  out->clear();
  Result result = Result::kRefused;
  std::uint64_t size = 0;
  const int fd = OpenRegular(path, maxSize, &result, &size);
  if (fd < 0) return result;
  try {
    // One byte more than the file holds, so that a file that grew since it was measured (or one
    // whose size the file system does not tell, as in /proc) is seen to go on, and is still read
    // no further than the limit.
    out->resize(static_cast<std::size_t>(size) + 1);
    std::uint64_t done = 0;
    for (;;) {
      if (done == out->size()) out->resize(out->size() + 65536);
      const ssize_t n = ::read(fd, out->data() + done, out->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // A read error, or a file that ends before its measured size: it is being rewritten.
        if (n < 0 || done < size) result = Result::kRefused;
        break;
      }
      done += static_cast<std::uint64_t>(n);
      if (done > maxSize) {
        result = Result::kRefused;
        break;
      }
    }
    out->resize(result == Result::kRead ? static_cast<std::size_t>(done) : 0);
  } catch (const std::bad_alloc&) {
    out->clear();
    result = Result::kRefused;
  }
  ::close(fd);
  return result;
}

}  // namespace

std::FILE* Open(const std::string& path, std::uint64_t maxSize, Result* result) {
  Result r = Result::kRefused;
  std::uint64_t size = 0;
  const int fd = OpenRegular(path, maxSize, &r, &size);
  std::FILE* file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (fd >= 0 && file == nullptr) {
    ::close(fd);
    r = Result::kRefused;
  }
  if (result != nullptr) *result = r;
  return file;
}

Result ReadWhole(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* out) {
  return ReadInto(path, maxSize, out);
}

Result ReadWhole(const std::string& path, std::uint64_t maxSize, std::string* out) {
  return ReadInto(path, maxSize, out);
}

}  // namespace UserFile
