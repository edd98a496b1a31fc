#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiSequence.h"

class HostedPlugin;

// Plays a sequence through a hosted plug-in block by block, as a DAW does: events at their sample
// offsets, transport and tempo for every block, two output channels collected.
struct RenderJob {
  double sampleRate = 44100.0;
  int blockSize = 512;
  double tailSeconds = 2.0;
  double maxSeconds = 3600.0;
  int repeats = 1;  // renders after the first only measure time
};

struct RenderResult {
  std::vector<float> interleaved;  // stereo
  std::int64_t frames = 0;
  double seconds = 0.0;
  std::size_t events = 0;
  double cpuSeconds = 0.0;
  double wallSeconds = 0.0;
};

struct Levels {
  double peak[2] = {0.0, 0.0};
  double rms[2] = {0.0, 0.0};
  double peakAll = 0.0;
  double rmsAll = 0.0;
};

// Answers false with a message when the piece is longer than the job allows.
bool RenderSequence(HostedPlugin& plug, const MidiSequence& sequence, const RenderJob& job, RenderResult* result,
                    std::string* error);
Levels MeasureLevels(const std::vector<float>& interleaved);
// "-6.0 dBFS", or "-inf dBFS" for silence.
std::string Decibels(double level);
// format: "float", "24" or "16".
bool WriteWav(const std::string& path, const std::vector<float>& interleaved, int rate, const std::string& format,
              std::string* error);
