#pragma once

#include <cstdint>

class Voice;

// Sounding voices rendered side by side: each lane of a vector of doubles carries one voice through
// its envelopes, oscillators (table reads, two-read modes, hard sync, linear FM and its smoother,
// AM), noise, mixer, ladder filter and amplifier, sample by sample. Every lane does the arithmetic of
// the voice's own render in the same order, without fused multiply-add, so the samples are the same
// bit for bit; only the rare events (a hard-sync restart, a new filter cutoff) leave the vector for
// their lanes.
//
// Paths: eight lanes in one AVX-512 register, four in one AVX2 register, or four in two SSE2
// registers (the baseline of both libraries, 64 and 32 bits); the scalar path is the voices' own
// render, group by group. The wide paths take two registers' worth of voices at once where there are
// that many: the ladder's feedback is one long chain of dependent operations per sample, and two
// independent chains keep the processor busy while each waits. When the library loads, the fastest
// path the processor runs is chosen (the SSE2 lanes give the same samples but are not yet faster than
// the scalar path, so they are only used when forced).
class VoiceLanes {
 public:
  // Most voices one call renders (two registers of eight).
  static constexpr int kMaxVoices = 16;
  enum class Path : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };
  static constexpr Path kPaths[] = {Path::kScalar, Path::kSse2, Path::kAvx2, Path::kAvx512};

  // Whether this processor and build can run path.
  static bool CanRun(Path path);
  // The path in use: the best one at load, or the one forced since.
  static Path Current();
  // For tests and measurements: use path from now on (a path the processor cannot run falls back to
  // the best one it can). Not for use while another thread renders.
  static void Force(Path path);
  static const char* Name(Path path);

  // Renders voiceCount (1 ... kMaxVoices) sounding voices over count samples with the current path
  // (not kScalar), adding voice k before voice k + 1 into each sample's sum: exactly what the voices'
  // own render gives. noise[k] holds voice k's noise values at a distance of noiseStride.
  static void Render(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                     const double* const* noise, int noiseStride);

 private:
  // The lanes' record is private to the implementation (one per register width); these reach into
  // the voices.
  template <int kWidth>
  static void Gather(void* lanes, Voice* const* voices, int voiceCount);
  template <int kWidth>
  static void Scatter(const void* lanes, Voice* const* voices, int voiceCount);
  static void RenderAvx512(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                           const double* const* noise, int noiseStride);
  static void RenderAvx2(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                         const double* const* noise, int noiseStride);
  static void RenderSse2(Voice* const* voices, int voiceCount, double* left, double* right, int count,
                         const double* const* noise, int noiseStride);
};
