#include "shell/ChunkBuffer.h"

#include <climits>

void ChunkBuffer::Assign(const void* data, int size) {
  bytes_.clear();
  if (data != nullptr && size > 0) PutBytes(data, size);
}

int ChunkBuffer::PutBytes(const void* data, int size) {
  if (data != nullptr && size > 0) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  return Size();
}

int ChunkBuffer::PutStr(std::string_view text) {
  const int length = static_cast<int>(text.size());
  Put<std::int32_t>(length);
  return PutBytes(text.data(), length);
}

int ChunkBuffer::GetBytes(void* out, int size, int pos) const {
  if (pos < 0 || size < 0) return -1;
  const long long end = static_cast<long long>(pos) + size;
  if (end > static_cast<long long>(bytes_.size())) return -1;
  if (size > 0) std::memcpy(out, bytes_.data() + pos, static_cast<std::size_t>(size));
  return static_cast<int>(end);
}

int ChunkBuffer::GetStr(std::string* out, int pos) const {
  std::int32_t length = 0;
  pos = Get(&length, pos);
  if (pos < 0) return -1;
  if (length <= 0) {
    out->clear();
    return pos;
  }
  const long long end = static_cast<long long>(pos) + length;
  if (end > static_cast<long long>(bytes_.size())) {
    // Beyond the end (and never negative), so every later read fails.
    return end > INT_MAX ? INT_MAX : static_cast<int>(end);
  }
  out->assign(reinterpret_cast<const char*>(bytes_.data()) + pos, static_cast<std::size_t>(length));
  return static_cast<int>(end);
}

int ChunkBuffer::Skip(int size, int pos) const {
  if (pos < 0 || size < 0) return -1;
  const long long end = static_cast<long long>(pos) + size;
  if (end > static_cast<long long>(bytes_.size())) return -1;
  return static_cast<int>(end);
}
