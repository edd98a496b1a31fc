#pragma once

// A small host for engine tests: one instrument at a chosen rate and block size, parameters set by
// plain value, MIDI by sample offset, a transport the test controls, and renders into vectors.

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace engine_test {

struct Transport {
  VstTimeInfo info{};
  bool answer = false;
  int automations = 0;  // parameter changes reported to the host
  // Renders as a host bouncing offline does, so that a wave table chosen is heard from the sample
  // it was chosen at; a live host (false) hears it once the worker has built it.
  bool offline = true;
};

inline Transport*& CurrentTransport() {
  static Transport* transport = nullptr;
  return transport;
}

inline VstIntPtr TransportHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  Transport* t = CurrentTransport();
  if (opcode == audioMasterAutomate && t != nullptr) ++t->automations;
  if (opcode == audioMasterGetTime && t != nullptr && t->answer) return reinterpret_cast<VstIntPtr>(&t->info);
  if (opcode == audioMasterGetCurrentProcessLevel) {
    return t == nullptr || t->offline ? kProcessLevelOffline : kProcessLevelRealtime;
  }
  return 0;
}

struct Stereo {
  std::vector<double> left;
  std::vector<double> right;
  std::size_t size() const { return left.size(); }
  void Append(const Stereo& more) {
    left.insert(left.end(), more.left.begin(), more.left.end());
    right.insert(right.end(), more.right.begin(), more.right.end());
  }
};

class Harness {
 public:
  // defaultSound: measurements start from the default sound rather than the factory bank's first
  // program.
  explicit Harness(double rate = 44100.0, int block = 512, bool defaultSound = true) : block_(block) {
    CurrentTransport() = &transport;
    plug = std::make_unique<Tarvolin>(&TransportHost);
    if (defaultSound) plug->InitCurrentProgram();
    plug->ChangeSampleRate(rate);
    plug->ChangeBlockSize(block);
    plug->OnReset();
    plug->OnActivation(true);
  }
  ~Harness() {
    if (CurrentTransport() == &transport) CurrentTransport() = nullptr;
  }

  // Sets parameter index to a plain value, as a program load or a host text entry would.
  void Set(int index, double plain) {
    plug->GetParam(index)->SetPlainClamped(plain);
    plug->OnParameterChanged(index);
  }
  // A plain sound to measure: one sine oscillator, no noise, filter open, instant envelopes.
  void PlainSine() {
    using namespace param;
    Set(kWaveTable1, 4);  // "Sine"
    Set(kOsc2On, 0);
    Set(kOsc3On, 0);
    Set(kAmpEgSustain, 1.0);
    Set(kAmpEgRelease, 0.0);
  }

  void Midi(int offset, int status, int data1, int data2) {
    MidiMessage m;
    m.offset = offset;
    m.status = static_cast<std::uint8_t>(status);
    m.data1 = static_cast<std::uint8_t>(data1);
    m.data2 = static_cast<std::uint8_t>(data2);
    plug->HandleMidiMessage(m);
  }
  void NoteOn(int offset, int note, int velocity = 100) { Midi(offset, 0x90, note, velocity); }
  void NoteOff(int offset, int note) { Midi(offset, 0x80, note, 0); }

  // Renders frames samples in host blocks of the harness's block size.
  Stereo Render(int frames) {
    Stereo out;
    out.left.assign(static_cast<std::size_t>(frames), 0.0);
    out.right.assign(static_cast<std::size_t>(frames), 0.0);
    for (int done = 0; done < frames;) {
      const int n = std::min(block_, frames - done);
      double* outs[2] = {out.left.data() + done, out.right.data() + done};
      plug->ProcessBuffersDouble(nullptr, outs, n);
      done += n;
    }
    return out;
  }
  // One host block of exactly frames samples (MIDI offsets of the block are relative to it).
  Stereo Block(int frames) {
    Stereo out;
    out.left.assign(static_cast<std::size_t>(frames), 0.0);
    out.right.assign(static_cast<std::size_t>(frames), 0.0);
    double* outs[2] = {out.left.data(), out.right.data()};
    plug->ProcessBuffersDouble(nullptr, outs, frames);
    return out;
  }

  Transport transport;
  std::unique_ptr<Tarvolin> plug;

 private:
  int block_;
};

// Frequency of a periodic signal from its rising zero crossings (linearly interpolated) between
// sample first and the end.
inline double MeasureFrequency(const std::vector<double>& x, double rate, std::size_t first = 0) {
  double firstCrossing = -1.0;
  double lastCrossing = -1.0;
  int crossings = 0;
  for (std::size_t i = first + 1; i < x.size(); ++i) {
    if (x[i - 1] < 0.0 && x[i] >= 0.0) {
      const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (firstCrossing < 0.0) firstCrossing = t;
      else ++crossings;
      lastCrossing = t;
    }
  }
  if (crossings == 0) return 0.0;
  return crossings * rate / (lastCrossing - firstCrossing);
}

inline double Peak(const std::vector<double>& x, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  double peak = 0.0;
  for (std::size_t i = from; i < x.size() && i < to; ++i) peak = std::max(peak, std::fabs(x[i]));
  return peak;
}

inline double Rms(const std::vector<double>& x, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  double sum = 0.0;
  std::size_t n = 0;
  for (std::size_t i = from; i < x.size() && i < to; ++i, ++n) sum += x[i] * x[i];
  return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

// Index of the first sample whose magnitude exceeds threshold, or SIZE_MAX.
inline std::size_t FirstAbove(const std::vector<double>& x, double threshold, std::size_t from = 0) {
  for (std::size_t i = from; i < x.size(); ++i) {
    if (std::fabs(x[i]) > threshold) return i;
  }
  return SIZE_MAX;
}

}  // namespace engine_test
