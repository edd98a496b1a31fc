#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

// One oscillator's wave table: up to 64 single-cycle waves of 2048 samples, stored as ten
// band-limited levels (level L keeps the harmonics below 1024 >> L).
//
// This is the read side the oscillators use on the audio thread; building and selecting tables is
// done by the wave-table store.

constexpr int kWaveLength = 2048;
constexpr int kWaveLevelCount = 10;
constexpr int kMaxWaveCount = 64;

// Leaves new elements uninitialised: every sample of a level is written by the build anyway, and
// zeroing 2.5 MiB first would cost a noticeable part of it.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using LevelSamples = std::vector<std::int16_t, UninitialisedAllocator<std::int16_t>>;

// The ten level arrays of one built table. Immutable once built, so that a built-in table can be
// shared read-only by every oscillator of every instance in the process.
//
// The ten levels live in one allocation: a 64-wave table needs 2.5 MiB, and as one block the C
// library keeps it for the next build once it is released, where ten smaller blocks are handed back
// to the kernel and every build pays for fresh pages again.
struct WaveLevels {
  std::int32_t waveCount = 0;
  LevelSamples storage;
  // Views into storage: level L holds waveCount * 2048 samples.
  std::array<std::span<std::int16_t>, kWaveLevelCount> level{};

  WaveLevels() = default;
  WaveLevels(const WaveLevels&) = delete;
  WaveLevels& operator=(const WaveLevels&) = delete;

  // Sizes the storage for waveCount waves per level (contents left unwritten).
  void Allocate(std::int32_t count) {
    waveCount = count;
    const std::size_t perLevel = static_cast<std::size_t>(count) * kWaveLength;
    storage.resize(perLevel * kWaveLevelCount);
    for (std::size_t l = 0; l < kWaveLevelCount; ++l) level[l] = {storage.data() + l * perLevel, perLevel};
  }
};

class WaveTable {
 public:
  bool IsValid() const { return valid_; }
  // The built-in table identifier it was built from (0 ... 37), or -1 when built from a user slot.
  std::int32_t Identifier() const { return identifier_; }
  std::int32_t WaveCount() const { return waveCount_; }
  std::uint32_t TotalSamples() const { return totalSamples_; }
  // waveCount * 2048 samples of level L (wave w at w * 2048), or nullptr when the level has no array.
  const std::int16_t* Level(int level) const { return levelData_[static_cast<std::size_t>(level)]; }
  // The shared level block the table reads from (nullptr while it was never built).
  const std::shared_ptr<const WaveLevels>& Levels() const { return levels_; }

  // Write side, used by the wave-table store (and by tests that need a table of known content).
  // Clears valid and stores the wave count clamped to 1 ... 64 with its total samples.
  void SetWaveCount(std::int32_t count);
  // Takes a built level block (nullptr: no levels); the wave count follows the block. Clears
  // valid, which the caller sets once the table is complete.
  void SetLevels(std::shared_ptr<const WaveLevels> levels);
  void SetIdentifier(std::int32_t identifier) { identifier_ = identifier; }
  void SetValid(bool valid) { valid_ = valid; }

 protected:
  bool valid_ = false;
  std::int32_t identifier_ = 0;
  std::int32_t waveCount_ = 1;
  std::uint32_t totalSamples_ = kWaveLength;
  std::shared_ptr<const WaveLevels> levels_;
  // Raw views into levels_, so that the audio path needs no indirection through the shared pointer.
  std::array<const std::int16_t*, kWaveLevelCount> levelData_{};
};
