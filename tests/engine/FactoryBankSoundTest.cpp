// Every factory program is heard the way a musician first tries it: on its preview phrase (chords,
// a bass line, a melody, a pattern or hits, after its category), then stepping on to the next
// program. Each must sound, none may clip, all but Init lie within 3 dB of one loudness, and a
// program sounds as loud whatever was played before it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "engine/ParameterTable.h"
#include "LoudnessMeter.h"
#include "MidiSequence.h"
#include "PreviewPhrases.h"

namespace {

using engine_test::Harness;
using engine_test::IntegratedLoudness;
using engine_test::Peak;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr double kTarget = -16.0;  // LUFS
constexpr double kSampleHold = 5.0;  // the generators' last waveform

struct Heard {
  double loudness = -HUGE_VAL;
  double peak = 0.0;
};

// Recalls the program and plays its phrase at 120 bpm and two seconds of release; whatever the
// instrument played before stays in it.
Heard Play(Harness& h, int program) {
  EXPECT_TRUE(h.plug->RecallProgram(program));
  h.plug->FinishWaveTables();
  MidiSequence sequence;
  std::string error;
  EXPECT_TRUE(Previews::SequenceFor(h.plug->ProgramName(program), 120.0, &sequence, &error)) << error;
  const TempoMap map(sequence, kRate);
  std::vector<std::int64_t> frames;
  for (const SequenceEvent& e : sequence.events) frames.push_back(std::llround(map.TickToFrame(e.tick)));
  const std::int64_t total = (frames.empty() ? 0 : frames.back()) + static_cast<std::int64_t>(2.0 * kRate);
  engine_test::Stereo out;
  std::size_t next = 0;
  for (std::int64_t start = 0; start < total; start += kBlock) {
    const int n = static_cast<int>(std::min<std::int64_t>(kBlock, total - start));
    for (; next < frames.size() && frames[next] < start + n; ++next) {
      const SequenceEvent& e = sequence.events[next];
      h.Midi(static_cast<int>(frames[next] - start), e.status, e.data1, e.data2);
    }
    out.Append(h.Block(n));
  }
  h.plug->SilenceAllVoices();
  return {IntegratedLoudness(out.left, out.right, kRate), std::max(Peak(out.left), Peak(out.right))};
}

// Each program on an instrument that played nothing else, and the loudest and quietest of them.
const std::vector<Heard>& Fresh() {
  static const std::vector<Heard> heard = [] {
    std::vector<Heard> all;
    for (int program = 0; program < 64; ++program) {
      Harness h(kRate, kBlock, false);
      all.push_back(Play(h, program));
    }
    return all;
  }();
  return heard;
}

TEST(FactoryBankSound, EveryProgramSoundsWithinThreeDecibelsOfOneLoudnessAndNoneClips) {
  Harness h(kRate, kBlock, false);
  ASSERT_EQ(h.plug->NPrograms(), 64);
  const std::vector<Heard>& heard = Fresh();
  double quietest = HUGE_VAL;
  double loudest = -HUGE_VAL;
  for (int program = 0; program < 64; ++program) {
    const std::string name = h.plug->ProgramName(program);
    const Heard& p = heard[static_cast<std::size_t>(program)];
    EXPECT_LT(p.peak, 0.95) << name << " clips";
    EXPECT_GT(p.loudness, -40.0) << name << " is (nearly) silent";
    if (name == "Init") continue;
    EXPECT_NEAR(p.loudness, kTarget, 3.0) << name;
    quietest = std::min(quietest, p.loudness);
    loudest = std::max(loudest, p.loudness);
  }
  std::printf("factory bank: %.1f ... %.1f LUFS\n", quietest, loudest);
}

TEST(FactoryBankSound, ProgramsSoundAlikeWhateverWasPlayedBefore) {
  // Two instruments step through the whole bank, one forwards and one backwards, so that every
  // program is heard after a different history than on a fresh instrument.
  const std::vector<Heard>& fresh = Fresh();
  Harness forwards(kRate, kBlock, false);
  Harness backwards(kRate, kBlock, false);
  for (int k = 0; k < 64; ++k) {
    for (Harness* h : {&forwards, &backwards}) {
      const int program = h == &forwards ? k : 63 - k;
      const Heard after = Play(*h, program);
      // Init is the parameter defaults, three oscillators free-running at one pitch: how they
      // meet is left to chance on purpose.
      if (h->plug->ProgramName(program) == "Init") continue;
      // A sample-and-hold generator draws its steps from a sequence that goes on from whatever was
      // played before, so such a program meets different steps after each history.
      const bool randomSteps = h->plug->GetParam(param::kMg1Waveform)->Value() == kSampleHold ||
                               h->plug->GetParam(param::kMg2Waveform)->Value() == kSampleHold;
      EXPECT_NEAR(after.loudness, fresh[static_cast<std::size_t>(program)].loudness, randomSteps ? 1.5 : 1.0)
          << h->plug->ProgramName(program) << (h == &forwards ? " after the programs below it" : " after those above it");
    }
  }
}

}  // namespace
