#pragma once

// Snapshot of the host's transport, as far as the host tells it. Callers pre-fill the defaults they
// want for whatever the host leaves out.
struct TimeInfo {
  double tempo = 120.0;
  double samplePosition = -1.0;
  double ppqPosition = -1.0;
  double lastBarStart = -1.0;
  double cycleStart = -1.0;
  double cycleEnd = -1.0;
  int numerator = 4;
  int denominator = 4;
  bool transportPlaying = false;
  bool cycleActive = false;
};
