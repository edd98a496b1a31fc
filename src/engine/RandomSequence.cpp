#include "engine/RandomSequence.h"

#include "engine/ForceInline.h"

// Eight draws apart the sequence steps by 16807^8: eight interleaved chains give the same values
// without waiting on each product, in one register where the processor has AVX2.
TARVOLIN_CPU_CLONES void RandomSequence::Fill(double* values, int count) {
  using Chains = std::uint32_t __attribute__((vector_size(32)));
  using Draws = std::int32_t __attribute__((vector_size(32)));
  using Values = double __attribute__((vector_size(64)));
  constexpr std::uint32_t kStep = 16807u;
  auto state = static_cast<std::uint32_t>(state_.load(std::memory_order_relaxed));
  int i = 0;
  if (count >= 8) {
    Chains chains;
    std::uint32_t power = 1u;
    for (int k = 0; k < 8; ++k) {
      power *= kStep;
      chains[k] = state * power;
    }
    // power is now 16807^8.
    for (; i + 8 <= count; i += 8) {
      const Values v = __builtin_convertvector((Draws)chains, Values) * 4.6566129e-10;
      __builtin_memcpy(values + i, &v, sizeof v);
      state = chains[7];
      chains *= power;
    }
  }
  for (; i < count; ++i) {
    state *= kStep;
    values[i] = static_cast<double>(static_cast<std::int32_t>(state)) * 4.6566129e-10;
  }
  state_.store(static_cast<std::int32_t>(state), std::memory_order_relaxed);
}
