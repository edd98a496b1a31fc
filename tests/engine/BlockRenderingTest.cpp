// The block renderer (voice after voice over a stretch of samples) must give exactly the samples of
// the reference order (sample after sample, voice after voice): it is the optimised form of the
// same arithmetic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "EngineHarness.h"
#include "RandomPlay.h"
#include "engine/ModulationGenerator.h"
#include "engine/NoiseSource.h"
#include "engine/VoiceLanes.h"

using namespace engine_test;

namespace {

// seen (if given) collects how many voices sound after each block.
Stereo RenderPlay(const RandomPlay& play, bool reference, double rate, std::set<int>* seen = nullptr) {
  Harness h(rate, 1024);
  h.plug->SetReferenceRendering(reference);
  Stereo all;
  Play(h, play, [&](const Stereo& block) {
    all.Append(block);
    if (seen == nullptr) return;
    int sounding = 0;
    for (int i = 0; i < 64; ++i) sounding += h.plug->GetVoice(i).Active() ? 1 : 0;
    seen->insert(sounding);
  });
  return all;
}

// A random patch (all 64 voices, no unison) whose notes come in one by one until 17 sound, every
// start and end inside a host block, then leave one by one with a short release: every count of
// sounding voices from 1 to 17, each for a while, and groups that gain or lose a voice mid-block.
RandomPlay MakeVoiceLadder(std::uint32_t draw) {
  RandomPlay play = MakeRandomPlay(draw, 10000, 120, false);
  play.events.clear();
  play.patch[param::kNumberOfVoices] = 1.0;
  play.patch[param::kUnisonMode] = 0.0;
  play.patch[param::kAmpEgRelease] *= 0.1;
  // The cutoff follows linear envelope 1 through its release too, while the voices fade.
  play.patch[param::kFilterCfmAmount] = 0.9;
  play.patch[param::kFilterCfmSource] = 19.0 / 20.0;
  play.patch[param::kLinEg1Release] = 0.15;
  const auto at = [&](int frame, int status, int note) {
    PlayEvent e;
    int block = 0;
    while (frame >= play.blocks[static_cast<std::size_t>(block)]) frame -= play.blocks[static_cast<std::size_t>(block++)];
    e.block = block;
    e.offset = frame;
    e.status = status;
    e.data1 = note;
    e.data2 = status == 0x90 ? 100 : 0;
    play.events.push_back(e);
  };
  constexpr int kNotes = 17;
  for (int k = 0; k < kNotes; ++k) at(37 + 250 * k, 0x90, 40 + 2 * k);
  for (int k = 0; k < kNotes; ++k) at(37 + 250 * kNotes + 200 * k, 0x80, 40 + 2 * ((k * 5) % kNotes));
  std::stable_sort(play.events.begin(), play.events.end(),
                   [](const PlayEvent& a, const PlayEvent& b) { return a.block < b.block; });
  return play;
}

}  // namespace

// Every path the processor runs: the voices' own render in groups, and the voices side by side in
// vector lanes (four or eight to a register, two registers at a time). Random patches cover hard
// sync, linear FM, AM, X-Mode, envelope-driven modulation, and levels, pans, gains and generators
// moving in straight lines while notes sound (automation, re-struck notes, per-sample readers of the
// generators), in patches with every source in the middle or panned; random voice counts and notes that start, steal and end at any sample, and voice
// ladders that pass through every count from 1 to 17, give groups of every size and voices that
// start or stop inside a stretch.
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
    constexpr std::uint32_t kLadders = 3;
    for (std::uint32_t trial = 1; trial <= trials + kLadders; ++trial) {
      const bool ladder = trial > trials;
      const double rate = trial % 3 == 0 ? 48000.0 : 44100.0;
      RandomPlay play =
          ladder ? MakeVoiceLadder(trial) : MakeRandomPlay(trial, 24000, trial % 2 == 0 ? 700 : 64, trial > 4);
      // Automation of a parameter at a fraction of the way through.
      const auto automate = [&play](int index, int num, int den, double normalised) {
        PlayEvent change;
        change.kind = PlayEvent::kParameter;
        change.block = static_cast<int>(play.blocks.size()) * num / den;
        change.index = index;
        change.normalised = normalised;
        play.events.push_back(change);
      };
      // Half of the patches keep every source in the middle, where both channels are the same until
      // automation pans one.
      if (trial % 2 == 1) {
        for (int p : {param::kPanOsc1, param::kPanOsc2, param::kPanOsc3, param::kPanNoise}) play.patch[p] = 0.5;
        // Oscillator 2 panned halfway through, and back in the middle later: its voices' channels
        // then differ though every source is in the middle again.
        automate(param::kPanOsc2, 2, 4, 0.3);
        automate(param::kPanOsc2, 3, 4, 0.5);
      }
      // Every fourth patch has the noise silent (its values are then passed over) until automation
      // raises it a third of the way through, and silences it again later.
      if (trial % 4 == 1) {
        play.patch[param::kLevelNoise] = 0.0;
        automate(param::kLevelNoise, 1, 3, 0.6);
        automate(param::kLevelNoise, 2, 3, 0.0);
      }
      std::stable_sort(play.events.begin(), play.events.end(),
                       [](const PlayEvent& a, const PlayEvent& b) { return a.block < b.block; });
      RandomSequence& noise = NoiseSource::Sequence();
      RandomSequence& held = ModulationGenerator::SampleHoldSequence();
      const std::int32_t noiseState = noise.State();
      const std::int32_t heldState = held.State();
      const Stereo reference = RenderPlay(play, true, rate);
      noise.SetState(noiseState);
      held.SetState(heldState);
      VoiceLanes::Force(path);
      std::set<int> counts;
      const Stereo fast = RenderPlay(play, false, rate, &counts);
      VoiceLanes::Force(best);
      if (ladder) {
        for (int n = 1; n <= 17; ++n) EXPECT_EQ(counts.count(n), 1u) << "ladder " << trial << " never had " << n << " voices";
      }
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
    EXPECT_GE(sounding, static_cast<int>(trials + kLadders) - 1) << VoiceLanes::Name(path);
  }
  EXPECT_GE(pathsRun, 2);
}
