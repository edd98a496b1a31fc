#pragma once

// For the per-sample steps of the sound engine: the voice's render loop must see through every call
// of its units so that their state stays in registers and independent work overlaps.
#if defined(__GNUC__)
#define TARVOLIN_FORCE_INLINE inline __attribute__((always_inline))
#else
#define TARVOLIN_FORCE_INLINE inline
#endif
