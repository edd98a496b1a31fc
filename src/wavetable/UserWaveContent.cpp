#include "wavetable/UserWaveContent.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "wavetable/BandLimiter.h"
#include "wavetable/WaveTableWorker.h"

namespace {

// Contents whose tables are built, by a hash of their samples, so that a content equal to one of
// them takes its table instead of building another. Only the contents are remembered, weakly: a
// table lives as long as some content that plays it.
struct BuiltContents {
  std::mutex mutex;
  std::unordered_multimap<std::uint64_t, std::weak_ptr<const UserWaveContent>> byHash;
};

BuiltContents& TheBuiltContents() {
  static BuiltContents contents;
  return contents;
}

std::uint64_t HashOf(const std::vector<std::int16_t>& samples) {
  // FNV-1a over the sample bytes and the length; equal hashes are confirmed by comparing samples.
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&h](std::uint8_t byte) {
    h ^= byte;
    h *= 1099511628211ull;
  };
  for (const std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    mix(static_cast<std::uint8_t>(u & 0xFF));
    mix(static_cast<std::uint8_t>(u >> 8));
  }
  for (int i = 0; i < 8; ++i) mix(static_cast<std::uint8_t>(samples.size() >> (8 * i)));
  return h;
}

}  // namespace

UserWaveContent::UserWaveContent(std::vector<std::int16_t> samples, std::string name)
    : samples_(std::move(samples)), name_(std::move(name)), hash_(HashOf(samples_)) {}

std::shared_ptr<const UserWaveContent> UserWaveContent::Make(std::vector<std::int16_t> samples, std::string name) {
  if (samples.empty()) return nullptr;
  try {
    return std::shared_ptr<const UserWaveContent>(new UserWaveContent(std::move(samples), std::move(name)));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::int32_t UserWaveContent::WaveCount() const {
  const std::uint32_t length = Length();
  if (length >= 133120u) return kMaxWaveCount;
  if (length < 2048u) return 1;
  return static_cast<std::int32_t>(length >> 11);
}

bool UserWaveContent::Built() const { return state_.load(std::memory_order_acquire) == kReady; }

std::shared_ptr<const WaveLevels> UserWaveContent::Levels() const {
  if (state_.load(std::memory_order_acquire) != kReady) return nullptr;
  return levels_;
}

std::shared_ptr<const WaveLevels> UserWaveContent::FindEqualTable() const {
  BuiltContents& built = TheBuiltContents();
  std::lock_guard<std::mutex> lock(built.mutex);
  auto [first, last] = built.byHash.equal_range(hash_);
  for (auto it = first; it != last;) {
    const std::shared_ptr<const UserWaveContent> other = it->second.lock();
    if (!other) {
      it = built.byHash.erase(it);
      continue;
    }
    if (other.get() != this && other->Length() == Length() && other->Built() && other->levels_ &&
        std::memcmp(other->Samples(), Samples(), samples_.size() * sizeof(std::int16_t)) == 0) {
      return other->levels_;
    }
    ++it;
  }
  return nullptr;
}

void UserWaveContent::RememberTable() const {
  BuiltContents& built = TheBuiltContents();
  std::lock_guard<std::mutex> lock(built.mutex);
  built.byHash.emplace(hash_, weak_from_this());
}

bool UserWaveContent::Build() const {
  for (;;) {
    int state = state_.load(std::memory_order_acquire);
    if (state == kReady) return levels_ != nullptr;
    if (state == kBuilding) {
      state_.wait(kBuilding, std::memory_order_acquire);
      continue;
    }
    if (state_.compare_exchange_weak(state, kBuilding, std::memory_order_acq_rel)) break;
  }
  std::shared_ptr<const WaveLevels> levels = FindEqualTable();
  if (!levels) {
    std::shared_ptr<WaveLevels> built = BandLimiter::Allocate(WaveCount());
    // Samples beyond the slot's length (a slot shorter than one wave) count as 0; at most the
    // first 64 waves are used.
    if (built && BandLimiter::BuildFromSlotSamples(samples_.data(), samples_.size(), *built)) levels = std::move(built);
  }
  levels_ = levels;
  state_.store(kReady, std::memory_order_release);
  state_.notify_all();
  if (levels_) RememberTable();
  return levels_ != nullptr;
}

void UserWaveContent::RequestBuild(const std::shared_ptr<const UserWaveContent>& content) {
  if (!content) return;
  int state = kUnbuilt;
  if (!content->state_.compare_exchange_strong(state, kRequested, std::memory_order_acq_rel)) return;
  if (!WaveTableWorker::RequestUserTable(content)) {
    // The ring is full; the next control tick asks again.
    state = kRequested;
    content->state_.compare_exchange_strong(state, kUnbuilt, std::memory_order_acq_rel);
  }
}
