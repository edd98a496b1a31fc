#pragma once

// For the per-sample steps of the sound engine: the voice's render loop must see through every call
// of its units so that their state stays in registers and independent work overlaps.
#if defined(__GNUC__)
#define TARVOLIN_FORCE_INLINE inline __attribute__((always_inline))
#else
#define TARVOLIN_FORCE_INLINE inline
#endif

// The voices' render loop is also compiled for processors with AVX2, chosen when the library loads:
// wider instructions with the same arithmetic (no fused multiply-add), so the sound is identical.
// The choice is made by a resolver that runs while the library is being relocated, before a
// sanitizer's runtime is ready, so sanitizer builds keep the one baseline version.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__) && \
    !defined(__SANITIZE_ADDRESS__)
#define TARVOLIN_CPU_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVOLIN_CPU_CLONES
#endif
