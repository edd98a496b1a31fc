#include "wavetable/UserWaveSlot.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "shell/ChunkBuffer.h"

const std::string& UserWaveSlot::Name() const {
  static const std::string kNone;
  return content_ ? content_->Name() : kNone;
}

std::shared_ptr<const UserWaveContent> UserWaveSlot::MakeContent(const float* values, int count,
                                                                 const std::string& name) {
  std::vector<std::int16_t> samples;
  try {
    samples.resize(count > 0 && values != nullptr ? static_cast<std::size_t>(count) : 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const float v = values[i];
    // A float file may carry NaN; a NaN converted to an integer is undefined, so it becomes 0.
    const float clamped = std::isnan(v) ? 0.0f : std::clamp(v, -1.0f, 1.0f);
    samples[i] = static_cast<std::int16_t>(clamped * 32767.0f);
  }
  return UserWaveContent::Make(std::move(samples), name);
}

bool UserWaveSlot::Set(const float* values, int count, const std::string& name) {
  if (count <= 0 || values == nullptr) {
    content_.reset();
    return true;
  }
  auto content = MakeContent(values, count, name);
  if (!content) return false;
  content->Build();
  content_ = std::move(content);
  return true;
}

void UserWaveSlot::Write(ChunkBuffer& chunk) const { Write(content_.get(), chunk); }

void UserWaveSlot::Write(const UserWaveContent* content, ChunkBuffer& chunk) {
  const std::uint32_t length = content != nullptr ? content->Length() : 0u;
  chunk.Put<std::uint32_t>(length);
  for (std::uint32_t i = 0; i < length; ++i) chunk.Put<std::int16_t>(content->Samples()[i]);
  chunk.PutStr(content != nullptr ? std::string_view(content->Name()) : std::string_view());
}

int UserWaveSlot::Read(const ChunkBuffer& chunk, int pos) { return Read(chunk, pos, &content_); }

int UserWaveSlot::Read(const ChunkBuffer& chunk, int pos, std::shared_ptr<const UserWaveContent>* content) {
  content->reset();
  std::uint32_t length = 0;
  pos = chunk.Get(&length, pos);
  if (pos < 0) return -1;
  // Check the samples fit before allocating: the length comes from outside.
  const std::uint64_t bytes = static_cast<std::uint64_t>(length) * 2u;
  if (bytes > static_cast<std::uint64_t>(chunk.Size() - pos)) return -1;
  std::vector<std::int16_t> samples;
  try {
    samples.resize(length);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    pos = chunk.Get(&samples[i], pos);
  }
  std::int32_t nameLength = 0;
  pos = chunk.Get(&nameLength, pos);
  if (pos < 0 || nameLength > chunk.Size() - pos) return -1;
  std::string name;
  if (nameLength > 0) {
    name.assign(reinterpret_cast<const char*>(chunk.Data()) + pos, static_cast<std::size_t>(nameLength));
    pos += nameLength;
  }
  // A slot of no samples holds nothing, whatever name came with it.
  if (length > 0) *content = UserWaveContent::Make(std::move(samples), std::move(name));
  return pos;
}
