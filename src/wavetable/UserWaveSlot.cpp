#include "wavetable/UserWaveSlot.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "shell/ChunkBuffer.h"

void UserWaveSlot::Clear() {
  // Release the memory too: a slot may have held a long SysEx import.
  std::vector<std::int16_t>().swap(samples_);
  name_.clear();
}

bool UserWaveSlot::Set(const float* values, int count, const std::string& name) {
  std::vector<std::int16_t> samples;
  try {
    samples.resize(count > 0 && values != nullptr ? static_cast<std::size_t>(count) : 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const float v = values[i];
    // A float file may carry NaN; a NaN converted to an integer is undefined, so it becomes 0.
    const float clamped = std::isnan(v) ? 0.0f : std::clamp(v, -1.0f, 1.0f);
    samples[i] = static_cast<std::int16_t>(clamped * 32767.0f);
  }
  samples_.swap(samples);
  name_ = name;
  return true;
}

void UserWaveSlot::Write(ChunkBuffer& chunk) const {
  chunk.Put<std::uint32_t>(Length());
  for (const std::int16_t s : samples_) chunk.Put<std::int16_t>(s);
  chunk.PutStr(name_);
}

int UserWaveSlot::Read(const ChunkBuffer& chunk, int pos) {
  Clear();
  std::uint32_t length = 0;
  pos = chunk.Get(&length, pos);
  if (pos < 0) return -1;
  // Check the samples fit before allocating: the length comes from outside.
  const std::uint64_t bytes = static_cast<std::uint64_t>(length) * 2u;
  if (bytes > static_cast<std::uint64_t>(chunk.Size() - pos)) return -1;
  samples_.resize(length);
  for (std::uint32_t i = 0; i < length; ++i) {
    pos = chunk.Get(&samples_[i], pos);
  }
  std::int32_t nameLength = 0;
  pos = chunk.Get(&nameLength, pos);
  if (pos < 0 || nameLength > chunk.Size() - pos) {
    Clear();
    return -1;
  }
  if (nameLength > 0) {
    name_.assign(reinterpret_cast<const char*>(chunk.Data()) + pos, static_cast<std::size_t>(nameLength));
    pos += nameLength;
  }
  return pos;
}
