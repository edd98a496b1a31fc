// The block renderer (voice after voice over a stretch of samples) must give exactly the samples of
// the reference order (sample after sample, voice after voice): it is the optimised form of the
// same arithmetic.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "EngineHarness.h"
#include "RandomPlay.h"
#include "engine/ModulationGenerator.h"
#include "engine/NoiseSource.h"
#include "engine/VoiceLanes.h"

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

// Every path the processor runs: the voices' own render in groups, and the voices side by side in
// vector lanes (two or four to a register). Random patches cover hard sync, linear FM, AM, X-Mode,
// envelope-driven modulation, and levels, pans, gains and generators moving in straight lines while
// notes sound (automation, re-struck notes, per-sample readers of the generators); random voice
// counts and notes that start, steal and end at any sample give groups of every size from 1 to 4 and
// voices that stop inside a stretch.
TEST(BlockRendering, MatchesTheReferenceOrderBitForBit) {
  const VoiceLanes::Path best = VoiceLanes::Current();
  struct Restore {
    VoiceLanes::Path path;
    ~Restore() { VoiceLanes::Force(path); }
  } restore{best};
  int pathsRun = 0;
  for (VoiceLanes::Path path : VoiceLanes::kPaths) {
    if (!VoiceLanes::CanRun(path)) {
      std::printf("this processor cannot run the %s path\n", VoiceLanes::Name(path));
      continue;
    }
    ++pathsRun;
    int sounding = 0;
    const std::uint32_t trials = path == VoiceLanes::Path::kScalar ? 8 : 16;
    for (std::uint32_t trial = 1; trial <= trials; ++trial) {
      const double rate = trial % 3 == 0 ? 48000.0 : 44100.0;
      const RandomPlay play = MakeRandomPlay(trial, 24000, trial % 2 == 0 ? 700 : 64, trial > 4);
      RandomSequence& noise = NoiseSource::Sequence();
      RandomSequence& held = ModulationGenerator::SampleHoldSequence();
      const std::int32_t noiseState = noise.State();
      const std::int32_t heldState = held.State();
      const Stereo reference = RenderPlay(play, true, rate);
      noise.SetState(noiseState);
      held.SetState(heldState);
      VoiceLanes::Force(path);
      const Stereo fast = RenderPlay(play, false, rate);
      VoiceLanes::Force(best);
      ASSERT_EQ(reference.size(), fast.size());
      double energy = 0.0;
      for (std::size_t i = 0; i < reference.size(); ++i) {
        ASSERT_EQ(std::memcmp(&reference.left[i], &fast.left[i], sizeof(double)), 0)
            << VoiceLanes::Name(path) << " trial " << trial << " sample " << i << ": " << reference.left[i] << " vs "
            << fast.left[i];
        ASSERT_EQ(std::memcmp(&reference.right[i], &fast.right[i], sizeof(double)), 0)
            << VoiceLanes::Name(path) << " trial " << trial << " sample " << i;
        energy += reference.left[i] * reference.left[i];
      }
      sounding += energy > 0.0 ? 1 : 0;
    }
    EXPECT_GE(sounding, static_cast<int>(trials) - 1) << VoiceLanes::Name(path);
  }
  EXPECT_GE(pathsRun, 2);
}
