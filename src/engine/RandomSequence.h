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

  // The next count values, as count calls of Next give them. Four draws apart, the sequence steps
  // by 16807^4: four interleaved chains give the same values without waiting on each product.
  void Fill(double* values, int count) {
    constexpr std::uint32_t kStep = 16807u;
    constexpr std::uint32_t kStep2 = kStep * kStep;
    constexpr std::uint32_t kStep3 = kStep2 * kStep;
    constexpr std::uint32_t kStep4 = kStep3 * kStep;
    auto state = static_cast<std::uint32_t>(state_.load(std::memory_order_relaxed));
    int i = 0;
    if (count >= 4) {
      std::uint32_t s[4] = {state * kStep, state * kStep2, state * kStep3, state * kStep4};
      for (; i + 4 <= count; i += 4) {
        for (int k = 0; k < 4; ++k) {
          values[i + k] = static_cast<double>(static_cast<std::int32_t>(s[k])) * 4.6566129e-10;
        }
        state = s[3];
        for (int k = 0; k < 4; ++k) s[k] *= kStep4;
      }
    }
    for (; i < count; ++i) {
      state *= kStep;
      values[i] = static_cast<double>(static_cast<std::int32_t>(state)) * 4.6566129e-10;
    }
    state_.store(static_cast<std::int32_t>(state), std::memory_order_relaxed);
  }

 private:
  std::atomic<std::int32_t> state_;
};
