#pragma once

#include <atomic>
#include <cstdint>

// The multiplicative congruential sequence state = state * 16807 (32-bit wrap-around), scaled to
// about -1 ... 1. Each sequence is process-wide and meant to be drawn from in order; the state is a
// relaxed atomic so that two instances drawing at once on different threads stay well defined (they
// then merely interleave their draws).
class RandomSequence {
 public:
  constexpr explicit RandomSequence(std::int32_t state) : state_(state) {}
  RandomSequence(const RandomSequence&) = delete;
  RandomSequence& operator=(const RandomSequence&) = delete;

  double Next() {
    const std::uint32_t next =
        static_cast<std::uint32_t>(state_.load(std::memory_order_relaxed)) * 16807u;
    const auto value = static_cast<std::int32_t>(next);
    state_.store(value, std::memory_order_relaxed);
    return static_cast<double>(value) * 4.6566129e-10;
  }

  std::int32_t State() const { return state_.load(std::memory_order_relaxed); }
  // Continues the sequence from a state seen before (a render that must repeat exactly).
  void SetState(std::int32_t state) { state_.store(state, std::memory_order_relaxed); }

  // The next count values, as count calls of Next give them.
  void Fill(double* values, int count);
  // Moves on as count calls of Next would, without their values: the state times 16807^count.
  void Skip(int count) {
    std::uint32_t factor = 1u;
    std::uint32_t power = 16807u;
    for (auto n = static_cast<std::uint32_t>(count > 0 ? count : 0); n != 0; n >>= 1) {
      if ((n & 1u) != 0) factor *= power;
      power *= power;
    }
    const auto state = static_cast<std::uint32_t>(state_.load(std::memory_order_relaxed));
    state_.store(static_cast<std::int32_t>(state * factor), std::memory_order_relaxed);
  }

 private:
  std::atomic<std::int32_t> state_;
};
