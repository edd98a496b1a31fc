// The block renderer (voice after voice over a stretch of samples) must give exactly the samples of
// the reference order (sample after sample, voice after voice): it is the optimised form of the
// same arithmetic.

#include <gtest/gtest.h>

#include <cstring>

#include "EngineHarness.h"
#include "RandomPlay.h"
#include "engine/ModulationGenerator.h"
#include "engine/NoiseSource.h"

using namespace engine_test;

namespace {

Stereo RenderPlay(const RandomPlay& play, bool reference, double rate) {
  Harness h(rate, 1024);
  h.plug->SetReferenceRendering(reference);
  Stereo all;
  Play(h, play, [&](const Stereo& block) { all.Append(block); });
  return all;
}

}  // namespace

TEST(BlockRendering, MatchesTheReferenceOrderBitForBit) {
  int sounding = 0;
  for (std::uint32_t trial = 1; trial <= 8; ++trial) {
    const double rate = trial % 3 == 0 ? 48000.0 : 44100.0;
    const RandomPlay play = MakeRandomPlay(trial, 24000, trial % 2 == 0 ? 700 : 64, trial > 4);
    RandomSequence& noise = NoiseSource::Sequence();
    RandomSequence& held = ModulationGenerator::SampleHoldSequence();
    const std::int32_t noiseState = noise.State();
    const std::int32_t heldState = held.State();
    const Stereo reference = RenderPlay(play, true, rate);
    noise.SetState(noiseState);
    held.SetState(heldState);
    const Stereo fast = RenderPlay(play, false, rate);
    ASSERT_EQ(reference.size(), fast.size());
    double energy = 0.0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
      ASSERT_EQ(std::memcmp(&reference.left[i], &fast.left[i], sizeof(double)), 0)
          << "trial " << trial << " sample " << i << ": " << reference.left[i] << " vs " << fast.left[i];
      ASSERT_EQ(std::memcmp(&reference.right[i], &fast.right[i], sizeof(double)), 0) << "trial " << trial << " sample " << i;
      energy += reference.left[i] * reference.left[i];
    }
    sounding += energy > 0.0 ? 1 : 0;
  }
  EXPECT_GE(sounding, 7);
}
