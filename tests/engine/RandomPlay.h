#pragma once

// Random patches, MIDI and automation for tests that compare or soak whole renders. The same number
// always draws the same play.

#include <cstdint>
#include <random>
#include <vector>

#include "EngineHarness.h"

namespace engine_test {

struct PlayEvent {
  int block = 0;  // the host block before which it happens
  enum Kind { kMidi, kParameter } kind = kMidi;
  int offset = 0;
  int status = 0, data1 = 0, data2 = 0;
  int index = 0;
  double normalised = 0.0;
};

struct RandomPlay {
  std::vector<int> blocks;  // host block sizes
  std::vector<PlayEvent> events;
  std::vector<double> patch;  // normalised value per parameter before playing
};

// A sounding patch: random values for every parameter, with wave tables among the built-in ones and
// envelopes that let notes be heard. automate: parameters also change between blocks (any of 153).
inline RandomPlay MakeRandomPlay(std::uint32_t draw, int totalFrames, int maxBlock, bool automate) {
  std::mt19937 rng(draw);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  RandomPlay play;
  play.patch.resize(param::kCount);
  for (int i = 0; i < param::kCount; ++i) play.patch[static_cast<std::size_t>(i)] = unit(rng);
  for (int o : {param::kWaveTable1, param::kWaveTable2, param::kWaveTable3}) {
    play.patch[static_cast<std::size_t>(o)] = std::uniform_int_distribution<int>(0, 37)(rng) / 65535.0;
  }
  play.patch[param::kAmpEgAttack] *= 0.5;
  play.patch[param::kAmpEgRelease] *= 0.5;
  play.patch[param::kVolume] = 0.3 + 0.4 * unit(rng);
  // The amplifier follows its envelope at full level, so that the notes are heard.
  play.patch[param::kAmpEgModAmount] = 1.0;
  play.patch[param::kAmpEgModSource] = 1.0 / 20.0;
  std::uniform_int_distribution<int> blockSize(1, maxBlock);
  for (int done = 0; done < totalFrames;) {
    const int n = std::min(blockSize(rng), totalFrames - done);
    play.blocks.push_back(n);
    done += n;
  }
  const int blockCount = static_cast<int>(play.blocks.size());
  std::uniform_int_distribution<int> whichBlock(0, blockCount - 1);
  const int midiCount = std::max(8, totalFrames / 600);
  for (int k = 0; k < midiCount; ++k) {
    PlayEvent e;
    e.block = whichBlock(rng);
    e.offset = std::uniform_int_distribution<int>(0, play.blocks[static_cast<std::size_t>(e.block)] - 1)(rng);
    const int r = std::uniform_int_distribution<int>(0, 99)(rng);
    const int note = std::uniform_int_distribution<int>(24, 100)(rng);
    const int value = std::uniform_int_distribution<int>(0, 127)(rng);
    if (r < 45) e.status = 0x90, e.data1 = note, e.data2 = 1 + value % 127;
    else if (r < 80) e.status = 0x80, e.data1 = note, e.data2 = 0;
    else if (r < 85) e.status = 0xE0, e.data1 = value, e.data2 = std::uniform_int_distribution<int>(0, 127)(rng);
    else if (r < 89) e.status = 0xB0, e.data1 = 1, e.data2 = value;
    else if (r < 92) e.status = 0xB0, e.data1 = 64, e.data2 = value < 64 ? 0 : 127;
    else if (r < 95) e.status = 0xD0, e.data1 = value;
    else e.status = 0xA0, e.data1 = note, e.data2 = value;
    play.events.push_back(e);
  }
  if (automate) {
    const int changes = std::max(4, totalFrames / 300);
    for (int k = 0; k < changes; ++k) {
      PlayEvent e;
      e.kind = PlayEvent::kParameter;
      e.block = whichBlock(rng);
      e.index = std::uniform_int_distribution<int>(0, param::kCount - 1)(rng);
      e.normalised = unit(rng);
      if (e.index == param::kWaveTable1 || e.index == param::kWaveTable2 || e.index == param::kWaveTable3) {
        // Any identifier: built-in tables, the (empty) user slots, and numbers that name nothing.
        const int pick = std::uniform_int_distribution<int>(0, 40)(rng);
        e.normalised = (pick <= 37 ? pick : 65531 + pick - 38) / 65535.0;
      }
      play.events.push_back(e);
    }
  }
  std::stable_sort(play.events.begin(), play.events.end(),
                   [](const PlayEvent& a, const PlayEvent& b) { return a.block < b.block; });
  return play;
}

// Plays it through h; calls sink(block output) after each block.
template <typename Sink>
void Play(Harness& h, const RandomPlay& play, Sink sink) {
  for (int i = 0; i < param::kCount; ++i) h.plug->SetParameterFromEditor(i, play.patch[static_cast<std::size_t>(i)]);
  std::size_t next = 0;
  for (std::size_t b = 0; b < play.blocks.size(); ++b) {
    for (; next < play.events.size() && play.events[next].block == static_cast<int>(b); ++next) {
      const PlayEvent& e = play.events[next];
      if (e.kind == PlayEvent::kMidi) h.Midi(e.offset, e.status, e.data1, e.data2);
      else h.plug->SetParameterFromEditor(e.index, e.normalised);
    }
    sink(h.Block(play.blocks[b]));
  }
}

}  // namespace engine_test
