#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define TARVOLIN_HAVE_MXCSR 1
#endif

// While one is alive, the calling thread treats subnormal numbers as zero, in operands and in
// results (the SSE unit's flush-to-zero and denormals-are-zero modes): decaying recursions in the
// engine (filters, smoothers, the chorus) then reach zero instead of crawling through subnormal
// arithmetic, which costs many times the normal time on most processors. The host's control word,
// exception flags included, is restored exactly when it ends: other plug-ins share the thread.
// The 32-bit library does its arithmetic in the SSE unit too, so the same word governs it there.
class DenormalGuard {
 public:
  static constexpr unsigned kFlushToZero = 0x8000u;
  static constexpr unsigned kDenormalsAreZero = 0x0040u;

#if defined(TARVOLIN_HAVE_MXCSR)
  DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
  ~DenormalGuard() { _mm_setcsr(saved_); }
#else
  DenormalGuard() = default;
#endif
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;

 private:
#if defined(TARVOLIN_HAVE_MXCSR)
  unsigned saved_;
#endif
};
