// Every factory program is heard the way a musician first tries it: a four-note chord at velocity
// 100 (a single note for basses and leads), held, then released. Each must sound and none may clip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "EngineHarness.h"

namespace {

using engine_test::Harness;
using engine_test::Peak;
using engine_test::Rms;

constexpr double kRate = 44100.0;
constexpr int kHold = static_cast<int>(kRate * 2.5);
constexpr int kTail = static_cast<int>(kRate * 1.0);

std::vector<int> NotesFor(const std::string& name) {
  if (name.rfind("BASS", 0) == 0) return {36};
  if (name.rfind("LEAD", 0) == 0) return {60};
  return {48, 52, 55, 60};
}

TEST(FactoryBankSound, EveryProgramSoundsAndNoneClips) {
  Harness h(kRate, 512, false);
  ASSERT_EQ(h.plug->NPrograms(), 64);
  double loudest = 0.0;
  std::string loudestName;
  for (int program = 0; program < 64; ++program) {
    ASSERT_TRUE(h.plug->RecallProgram(program));
    const std::string name = h.plug->ProgramName(program);
    const std::vector<int> notes = NotesFor(name);
    for (int note : notes) h.NoteOn(0, note, 100);
    engine_test::Stereo out = h.Render(kHold);
    for (int note : notes) h.NoteOff(0, note);
    out.Append(h.Render(kTail));
    const double peak = std::max(Peak(out.left), Peak(out.right));
    const double rms = std::max(Rms(out.left), Rms(out.right));
    if (peak > loudest) {
      loudest = peak;
      loudestName = name;
    }
    EXPECT_LT(peak, 1.0) << name;
    EXPECT_GT(rms, 0.003) << name << " is (nearly) silent";
    // Nothing rings into the next program.
    h.plug->KillAllVoices();
    h.Render(2048);
  }
  std::printf("loudest program: %s, peak %.1f dBFS\n", loudestName.c_str(), 20.0 * std::log10(loudest));
}

}  // namespace
