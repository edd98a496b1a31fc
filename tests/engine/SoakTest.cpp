// Random MIDI (including messages no keyboard sends) and random automation of all 153 parameters at
// the common sample rates and block sizes from 1 to 4096: every sample stays finite and within +-8.
//
// The CI run is short. For a long run by hand:
//   TARVOLIN_SOAK_SECONDS=600 build/tarvolin_tests --gtest_filter='Soak.*'
// (the number is the audio seconds rendered at each rate).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "EngineHarness.h"
#include "RandomPlay.h"

using namespace engine_test;

namespace {

double SoakSeconds() {
  const char* text = std::getenv("TARVOLIN_SOAK_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : 0.0;
  return seconds > 0.0 ? seconds : 0.6;
}

}  // namespace

TEST(Soak, EverySampleStaysFiniteAndBounded) {
  const double seconds = SoakSeconds();
  std::uint32_t trial = 1000;
  double loudest = 0.0;
  for (double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
    double rendered = 0.0;
    while (rendered < seconds) {
      ++trial;
      const int frames = static_cast<int>(rate * std::min(0.3, seconds));
      // Alternately small blocks (down to 1) and large ones (up to 4096).
      const int maxBlock = trial % 2 == 0 ? 64 : 4096;
      RandomPlay play = MakeRandomPlay(trial, frames, maxBlock, true);
      std::mt19937 rng(trial);
      for (PlayEvent& e : play.events) {
        const int r = static_cast<int>(rng() % 20);
        if (e.kind == PlayEvent::kParameter && r < 4) e.normalised = r % 2;  // the ends of the ranges
        if (e.kind == PlayEvent::kMidi && r == 5) e.status = static_cast<int>(rng() % 256);  // anything
        if (e.kind == PlayEvent::kMidi && r == 6) e.offset = static_cast<int>(rng() % 10000) - 5000;
      }
      Harness h(rate, 4096);
      double peak = 0.0;
      Play(h, play, [&](const Stereo& block) {
        for (std::size_t i = 0; i < block.size(); ++i) {
          const double l = block.left[i];
          const double r = block.right[i];
          ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << "trial " << trial << " rate " << rate;
          ASSERT_LE(std::fabs(l), 8.0) << "trial " << trial << " rate " << rate;
          ASSERT_LE(std::fabs(r), 8.0) << "trial " << trial << " rate " << rate;
          peak = std::max(peak, std::fabs(l));
        }
      });
      if (HasFatalFailure()) return;
      loudest = std::max(loudest, peak);
      rendered += static_cast<double>(frames) / rate;
    }
  }
  EXPECT_GT(loudest, 0.05);  // it did play
  std::printf("loudest sample %.3f\n", loudest);
}
