#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Growable byte array used for host chunks, program states, FXP/FXB files, the clipboard, the
// tuning block and user wave-table slots.
//
// Values are stored little-endian unless a *BE operation is used. Appends grow the array. Reads take
// a position and answer the position after the item, or -1: a read at a negative position or one
// that would pass the end fails and leaves its target unchanged.
class ChunkBuffer {
 public:
  ChunkBuffer() = default;

  int Size() const { return static_cast<int>(bytes_.size()); }
  bool Empty() const { return bytes_.empty(); }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t* Data() { return bytes_.data(); }
  void Clear() { bytes_.clear(); }
  // Keeps the allocation, so that refilling a buffer of the same size does not allocate.
  void Resize(int size) { bytes_.resize(size > 0 ? static_cast<std::size_t>(size) : 0); }
  void Reserve(int size) { if (size > 0) bytes_.reserve(static_cast<std::size_t>(size)); }
  void Assign(const void* data, int size);

  // Appends raw bytes; answers the new size.
  int PutBytes(const void* data, int size);
  // Appends a little-endian arithmetic value.
  template <typename T>
  int Put(T value) {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) Reverse(raw, sizeof(T));
    return PutBytes(raw, sizeof(T));
  }
  // Appends a big-endian arithmetic value (FXP/FXB headers).
  template <typename T>
  int PutBE(T value) {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::little) Reverse(raw, sizeof(T));
    return PutBytes(raw, sizeof(T));
  }
  // Appends an int32 byte count followed by the bytes, without a terminator.
  int PutStr(std::string_view text);

  // Reads size raw bytes at pos into out.
  int GetBytes(void* out, int size, int pos) const;
  template <typename T>
  int Get(T* out, int pos) const {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t raw[sizeof(T)];
    const int next = GetBytes(raw, sizeof(T), pos);
    if (next < 0) return -1;
    if constexpr (std::endian::native == std::endian::big) Reverse(raw, sizeof(T));
    std::memcpy(out, raw, sizeof(T));
    return next;
  }
  template <typename T>
  int GetBE(T* out, int pos) const {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t raw[sizeof(T)];
    const int next = GetBytes(raw, sizeof(T), pos);
    if (next < 0) return -1;
    if constexpr (std::endian::native == std::endian::little) Reverse(raw, sizeof(T));
    std::memcpy(out, raw, sizeof(T));
    return next;
  }
  // Reads an int32 byte count L and L bytes. L <= 0 gives "". When the bytes do not fit, out is left
  // unchanged and the answer lies beyond the end, so that every later read fails.
  int GetStr(std::string* out, int pos) const;

  // The position after skipping size bytes at pos, or -1 when they do not fit.
  int Skip(int size, int pos) const;

 private:
  static void Reverse(std::uint8_t* raw, std::size_t n) {
    for (std::size_t i = 0; i < n / 2; ++i) std::swap(raw[i], raw[n - 1 - i]);
  }

  std::vector<std::uint8_t> bytes_;
};
