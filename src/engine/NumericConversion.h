#pragma once

#include <cstdint>
#include <limits>

// Conversions from real to integer values for the engine. A plain cast of a NaN or an out-of-range
// value is undefined behaviour; these saturate instead, and are exact wherever a cast would be
// defined.

// Integer part (truncation toward zero), saturated to the 32-bit range; NaN gives 0.
inline std::int32_t TruncateToInt32(double x) {
  if (!(x > -2147483649.0)) return x != x ? 0 : std::numeric_limits<std::int32_t>::min();
  if (!(x < 2147483648.0)) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(x);
}

// Integer part (truncation toward zero), saturated to the 64-bit range; NaN gives 0.
inline std::int64_t TruncateToInt64(double x) {
  if (!(x > -9223372036854775808.0)) return x != x ? 0 : std::numeric_limits<std::int64_t>::min();
  if (!(x < 9223372036854775808.0)) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(x);
}

// Nearest integer with halves rounded away from zero, saturated to the 32-bit range; NaN gives 0.
inline std::int32_t RoundHalfAwayToInt32(double x) {
  if (!(x > -2147483648.5)) return x != x ? 0 : std::numeric_limits<std::int32_t>::min();
  if (!(x < 2147483647.5)) return std::numeric_limits<std::int32_t>::max();
  // The truncated value is exact and so is the remaining fraction, so the comparison with 0.5 is too.
  // Without branches: the rounding direction of audio-rate values is unpredictable.
  const std::int64_t i = static_cast<std::int64_t>(x);
  const double fraction = x - static_cast<double>(i);
  return static_cast<std::int32_t>(i + static_cast<std::int64_t>(fraction >= 0.5) -
                                   static_cast<std::int64_t>(fraction <= -0.5));
}

// A sample rate that is not a positive finite number has no meaningful rate-dependent values; the
// engine then works as at 44100 Hz so that nothing becomes infinite or NaN.
inline double SanitizeSampleRate(double rate) {
  return (rate > 0.0 && rate < 1e300) ? rate : 44100.0;
}
