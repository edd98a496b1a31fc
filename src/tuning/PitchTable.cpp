#include "tuning/PitchTable.h"

#include <cmath>

#include "engine/PitchFunction.h"

std::int32_t NearestPitch(int note, double h) {
  if (!(h >= kLowestTunedFrequency)) h = kLowestTunedFrequency;  // also catches NaN
  if (h > kHighestTunedFrequency) h = kHighestTunedFrequency;
  if (note < 0) note = 0;
  if (note > 127) note = 127;
  const int start = note * kPitchUnitsPerSemitone;
  int p = 0;
  int q = 0;
  if (PitchToFrequency(start) > h) {
    // Highest pitch below start whose frequency is at most h; pitch 0 always qualifies.
    int lo = 0;
    int hi = start;  // frequency above h
    while (hi - lo > 1) {
      const int mid = lo + (hi - lo) / 2;
      if (PitchToFrequency(mid) <= h) {
        lo = mid;
      } else {
        hi = mid;
      }
    }
    p = lo;
    q = p + 1;
  } else {
    // Lowest pitch above start whose frequency is at least h; kPitchLimit always qualifies.
    int hi = kPitchLimit;
    if (PitchToFrequency(start + 1) >= h) {
      hi = start + 1;
    } else {
      int lo = start + 1;  // frequency below h
      while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (PitchToFrequency(mid) >= h) {
          hi = mid;
        } else {
          lo = mid;
        }
      }
    }
    p = hi;
    q = p - 1;
  }
  const double dp = std::fabs(PitchToFrequency(p) - h);
  const double dq = std::fabs(PitchToFrequency(q) - h);
  return dq < dp ? q : p;
}

void BuildPitchTable(const TUN::CSingleScale& scale, std::int32_t (&table)[128]) {
  for (int i = 0; i < 128; ++i) table[i] = NearestPitch(i, scale.NoteFrequency(i));
}
