// The render loop: control ticks spanning host blocks, MIDI landing on its exact sample, the tempo
// clocks following the host, sample-rate changes and the chorus on the mix; and what it does
// against clicks and zipper noise without changing a steady sound.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "EngineHarness.h"
#include "engine/NoiseSource.h"

using namespace engine_test;
using namespace param;

namespace {

// Noise only, instant attack: a note is heard from the very sample it starts on.
void NoiseClick(Harness& h) {
  h.Set(kOsc1On, 0);
  h.Set(kOsc2On, 0);
  h.Set(kOsc3On, 0);
  h.Set(kLevelNoise, 1.0);
  h.Set(kAmpEgSustain, 1.0);
  h.Set(kAmpEgRelease, 0.0);
  h.Set(kNumberOfVoices, 3);
}

// Plays notes at absolute sample positions through host blocks of the given sizes (cycled).
Stereo PlayAt(const std::vector<int>& blockSizes, const std::vector<std::pair<int, int>>& notes, int frames,
              double rate = 44100.0) {
  Harness h(rate, 4096);
  NoiseClick(h);
  Stereo out;
  int position = 0;
  for (std::size_t b = 0; position < frames; ++b) {
    const int n = std::min(blockSizes[b % blockSizes.size()], frames - position);
    for (const auto& [at, note] : notes) {
      if (at >= position && at < position + n) {
        if (note > 0) h.NoteOn(at - position, note);
        else h.NoteOff(at - position, -note);
      }
    }
    out.Append(h.Block(n));
    position += n;
  }
  return out;
}

// The largest sample-to-sample step of x within [from, to).
double LargestStep(const std::vector<double>& x, std::size_t from = 1, std::size_t to = SIZE_MAX) {
  double step = 0.0;
  for (std::size_t i = std::max<std::size_t>(from, 1); i < x.size() && i < to; ++i) {
    step = std::max(step, std::fabs(x[i] - x[i - 1]));
  }
  return step;
}

// Energy of the second difference within [from, to): what lies far above the pitch, where a click is.
double Roughness(const std::vector<double>& x, std::size_t from, std::size_t to) {
  double sum = 0.0;
  for (std::size_t i = std::max<std::size_t>(from, 2); i < x.size() && i < to; ++i) {
    const double d = x[i] - 2.0 * x[i - 1] + x[i - 2];
    sum += d * d;
  }
  return sum;
}

// A low sine with a held envelope and a strong velocity response: its own steps are small, so a gain
// that jumps shows as a step far above them.
void SoftSine(Harness& h) {
  h.PlainSine();
  h.Set(kAmpVelocity, 0.9);
  h.Set(kNumberOfVoices, 3);  // 8 voices
}

}  // namespace

TEST(RenderLoop, NotesLandOnTheirSampleWhateverTheBlocks) {
  const std::vector<std::pair<int, int>> notes = {{5, 60}, {301, 61}, {302, 62}, {777, -60}, {1000, 63}, {1043, -61},
                                                  {2222, 64}, {3001, -62}, {3049, 65}};
  const int frames = 4000;
  RandomSequence& noise = NoiseSource::Sequence();
  const std::int32_t state = noise.State();
  const Stereo reference = PlayAt({4096}, notes, frames);
  EXPECT_EQ(FirstAbove(reference.left, 0.0), 5u);
  for (const std::vector<int>& blocks :
       std::vector<std::vector<int>>{{1}, {7}, {44}, {45}, {64, 3, 100}, {512}, {301, 1, 1}, {43, 88}}) {
    noise.SetState(state);
    const Stereo other = PlayAt(blocks, notes, frames);
    for (int i = 0; i < frames; ++i) {
      ASSERT_EQ(std::memcmp(&reference.left[static_cast<std::size_t>(i)], &other.left[static_cast<std::size_t>(i)],
                            sizeof(double)),
                0)
          << "blocks of " << blocks[0] << ", sample " << i;
    }
  }
}

TEST(RenderLoop, ANoteStartsExactlyAtItsOffset) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (int offset : {0, 1, 43, 44, 45, 100, 511}) {
      Harness h(rate, 512);
      NoiseClick(h);
      h.Render(37);  // leave the block boundary inside a control tick
      h.NoteOn(offset, 60);
      const Stereo out = h.Block(512);
      EXPECT_EQ(FirstAbove(out.left, 0.0), static_cast<std::size_t>(offset)) << rate << " " << offset;
    }
  }
}

TEST(RenderLoop, OffsetsOutsideTheBlock) {
  Harness h;
  NoiseClick(h);
  h.NoteOn(-50, 60);  // late: played at once
  EXPECT_EQ(FirstAbove(h.Block(100).left, 0.0), 0u);
  h.Midi(0, 0xB0, 123, 0);
  h.Set(kAmpEgRelease, 0.0);
  h.Render(2000);
  EXPECT_EQ(Peak(h.Render(100).left), 0.0);
  h.Render(12);  // a block boundary inside a tick
  h.NoteOn(700, 62);  // beyond this block: played in a later one, at its sample
  EXPECT_EQ(Peak(h.Block(256).left), 0.0);
  EXPECT_EQ(Peak(h.Block(256).left), 0.0);
  EXPECT_EQ(FirstAbove(h.Block(256).left, 0.0), static_cast<std::size_t>(700 - 512));
}

TEST(RenderLoop, ThousandsOfEventsInOneBlock) {
  Harness h(44100.0, 256);
  std::mt19937 rng(3);
  for (int k = 0; k < 6000; ++k) {
    const int status = 0x80 + static_cast<int>(rng() % 0x80);
    h.Midi(static_cast<int>(rng() % 300) - 20, status, static_cast<int>(rng() % 256), static_cast<int>(rng() % 256));
  }
  double peak = 0.0;
  for (int b = 0; b < 40; ++b) {
    const Stereo out = h.Block(256);
    for (double x : out.left) {
      ASSERT_TRUE(std::isfinite(x));
      peak = std::max(peak, std::fabs(x));
    }
  }
  EXPECT_GT(peak, 0.0);
  EXPECT_LE(peak, 8.0);
  EXPECT_TRUE(h.plug->MidiQueue().Empty());
}

TEST(RenderLoop, TempoSyncedGeneratorFollowsTheHostBeat) {
  // MG 1 as a rising saw synced to quarter notes at 120 beats per minute: its cycle restarts on
  // every beat of the host, 22050 samples apart, whatever the blocks.
  Harness h(44100.0, 441);
  h.Set(kMg1Waveform, 3);
  h.Set(kMg1SyncToHost, 1);
  h.Set(kMg1SyncRate, 9);  // 1/4
  VstTimeInfo& t = h.transport.info;
  t.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
  t.tempo = 120.0;
  const double start = 0.75;  // the host starts three quarters into a beat
  h.transport.answer = true;
  std::vector<int> restarts;
  double previous = 0.0;
  for (int b = 0; b < 300; ++b) {
    t.samplePos = b * 441.0;
    t.ppqPos = start + b * 441.0 / 22050.0;
    h.Block(441);
    // One block is ten control ticks; look at the generator after each block. A rising saw only
    // falls where its cycle restarts.
    const double value = h.plug->Generator(0).Output();
    if (b > 0 && value < previous) restarts.push_back(b);
    previous = value;
  }
  ASSERT_GE(restarts.size(), 4u);
  // The first beat boundary is a quarter beat (5512.5 samples) after the start, the next ones follow
  // every 22050 samples (50 blocks). (The cycle that the transport start cut short restarts there
  // too, from where its countdown had got to.)
  EXPECT_NEAR(restarts[0] * 441.0, 5512.5, 441.0);
  for (std::size_t k = 1; k < restarts.size(); ++k) EXPECT_EQ(restarts[k] - restarts[k - 1], 50) << k;
  EXPECT_EQ(h.plug->Clocks().RoundedLength(9), 22050);
}

TEST(RenderLoop, SampleRateChangeInTheMiddleOfAStream) {
  Harness h(44100.0, 512);
  h.PlainSine();
  h.NoteOn(0, 69);
  h.Render(8000);
  AEffect* e = h.plug->GetAEffect();
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(h.plug->ControlInterval(), 48);
  EXPECT_FALSE(h.plug->GetVoice(0).Active());  // notes are cut
  EXPECT_EQ(Peak(h.Render(512).left), 0.0);
  h.NoteOn(0, 69);
  const Stereo out = h.Render(48000);
  EXPECT_NEAR(MeasureFrequency(out.left, 48000.0, 2000), 440.0, 0.1);
  for (double x : out.left) ASSERT_TRUE(std::isfinite(x));
  EXPECT_EQ(h.plug->GetChorus().SlotCount(), 960);
  // Back to the same rate: nothing is rebuilt and the note keeps sounding.
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_TRUE(h.plug->GetVoice(0).Active());
}

TEST(RenderLoop, ChorusDelaySpansTwoAndAHalfToTwentyMilliseconds) {
  const auto onset = [](double delay, double mix) {
    NoiseSource::Sequence().SetState(1);  // the same noise burst each time
    Harness h;
    NoiseClick(h);
    h.Set(kChorusOn, 1);
    h.Set(kChorusMix, mix);
    h.Set(kChorusDepth, 0.0);
    h.Set(kChorusDelay, delay);
    h.Render(100);
    h.NoteOn(0, 60);
    return static_cast<double>(FirstAbove(h.Render(2000).left, 1e-3));
  };
  // 882 slots, emptied once per sample at delay 1, eight times per sample at delay 0; the band
  // limits at both ends of the line add a few samples.
  const double dry = onset(1.0, 0.0);
  EXPECT_LE(dry, 2.0);
  EXPECT_NEAR(onset(1.0, 1.0) - dry, 882.0, 8.0);
  EXPECT_NEAR(onset(0.0, 1.0) - dry, 882.0 / 8.0, 8.0);
  // A full sweep stays within the two.
  Harness h;
  h.Set(kChorusOn, 1);
  h.Set(kChorusDelay, 0.0);
  h.Set(kChorusDepth, 1.0);
  h.Set(kChorusSpeed, 2.0);
  double shortest = 1e9, longest = 0.0;
  for (int b = 0; b < 1000; ++b) {
    h.Render(44);
    shortest = std::min(shortest, h.plug->GetChorus().DelaySamples());
    longest = std::max(longest, h.plug->GetChorus().DelaySamples());
  }
  EXPECT_NEAR(shortest, 0.0025 * 44100.0, 4.0);
  EXPECT_NEAR(longest, 0.02 * 44100.0, 4.0);
}

// After the last note the chorus's lines and filters decay; in a host that leaves flush-to-zero
// off, that decay must still end at zero rather than in subnormal numbers (slow on every processor
// and passed on to the host). The host's floating-point mode, flags included, is as it was after
// each audio call: other plug-ins share the thread.
TEST(RenderLoop, AnIdleChorusPutsOutNoSubnormalsAndTheHostsFloatingPointModeIsKept) {
  Harness h;
  h.Set(kChorusOn, 1);
  h.Set(kChorusFeedback, 0.6);
  h.Set(kLinearFm2Depth, 0.5);
  h.Set(kAmpEgRelease, 0.05);
  h.NoteOn(0, 60);
  h.Render(4410);
  h.NoteOff(0, 60);
  h.Render(44100);
  ASSERT_FALSE(h.plug->GetVoice(0).Active());
#if defined(__SSE__) || defined(__x86_64__)
  // Flush-to-zero and denormals-are-zero off (as many hosts leave them), a sticky inexact flag set.
  const unsigned host = (_mm_getcsr() & ~0x8040u) | 0x0020u;
  _mm_setcsr(host);
#endif
  std::vector<float> floatLeft(512), floatRight(512);
  int subnormal = 0;
  for (int b = 0; b < 8; ++b) {
    const Stereo out = h.Render(512);
    for (std::size_t i = 0; i < out.size(); ++i) {
      subnormal += std::fpclassify(out.left[i]) == FP_SUBNORMAL ? 1 : 0;
      subnormal += std::fpclassify(out.right[i]) == FP_SUBNORMAL ? 1 : 0;
    }
    float* outs[2] = {floatLeft.data(), floatRight.data()};
    h.plug->ProcessBuffersFloat(nullptr, outs, 512, false);
    for (int i = 0; i < 512; ++i) {
      subnormal += std::fpclassify(floatLeft[static_cast<std::size_t>(i)]) == FP_SUBNORMAL ? 1 : 0;
      subnormal += std::fpclassify(floatRight[static_cast<std::size_t>(i)]) == FP_SUBNORMAL ? 1 : 0;
    }
#if defined(__SSE__) || defined(__x86_64__)
    ASSERT_EQ(_mm_getcsr(), host) << "block " << b;
#endif
  }
  EXPECT_EQ(subnormal, 0);
#if defined(__SSE__) || defined(__x86_64__)
  _mm_setcsr(host & ~0x0020u);
#endif
}

// The chorus's 7 kHz band filter and the 2 kHz FM smoother have no design at or above half the
// sample rate; at the lowest rates a host may choose, they must still leave the output finite.
TEST(RenderLoop, LowSampleRatesStayFiniteWithChorusAndLinearFm) {
  for (double rate : {1000.0, 3000.0, 8000.0, 11025.0}) {
    Harness h(rate, 256);
    h.Set(kChorusOn, 1);
    h.Set(kChorusFeedback, 0.5);
    h.Set(kLinearFm2Depth, 0.8);
    for (int note : {48, 72, 108}) h.NoteOn(0, note);
    const Stereo out = h.Render(static_cast<int>(rate));
    double peak = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << rate << " Hz, sample " << i;
      peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    }
    EXPECT_GT(peak, 0.01) << rate;
    EXPECT_LT(peak, 8.0) << rate;
  }
}

// A note-off waiting for its sample inside a control tick when the host lowers the sample rate (and
// with it the tick length) must not linger and release a key played after the rate goes back up.
TEST(RenderLoop, ANoteOffWaitingAcrossARateDropDoesNotLinger) {
  Harness h(48000.0, 512);
  h.PlainSine();
  h.NoteOn(0, 69);
  h.Render(48 * 10 + 30);  // 30 samples into a 48-sample tick
  h.NoteOff(10, 69);       // due 40 samples into the tick
  h.plug->ChangeSampleRate(8000.0);  // ticks of 8 samples from now on
  h.plug->OnReset();
  h.Render(800);
  h.plug->ChangeSampleRate(48000.0);  // back to long ticks (the rate change also stops every voice)
  h.plug->OnReset();
  h.NoteOn(0, 69);  // the key is played again and held
  h.Render(4800);
  int held = 0;
  for (int i = 0; i < Tarvolin::kVoices; ++i) {
    const Voice& v = h.plug->GetVoice(i);
    held += v.Active() && v.Gate() ? 1 : 0;
  }
  EXPECT_EQ(held, 1);
}

TEST(RenderLoop, ReStrikesStoppedVoicesAndVolumeJumpsMoveWithoutAStep) {
  constexpr int kSettle = 4410;
  constexpr std::size_t kEvent = kSettle;
  // A sounding key struck again at another velocity reaches its new level in a couple of
  // milliseconds; its high-frequency burst is no larger than that of a re-strike at the same velocity.
  const auto restrike = [](int velocity) {
    Harness h;
    SoftSine(h);
    h.NoteOn(0, 48, 110);
    Stereo out = h.Render(kSettle);
    h.NoteOn(0, 48, velocity);
    out.Append(h.Render(2000));
    return out;
  };
  const Stereo same = restrike(110);
  const Stereo softer = restrike(50);
  const double own = LargestStep(same.left, 2000, kEvent);
  ASSERT_GT(own, 0.0);
  EXPECT_LT(LargestStep(softer.left, kEvent - 10), 1.05 * own);
  EXPECT_LT(Roughness(softer.left, kEvent - 10, kEvent + 400), 2.0 * Roughness(same.left, kEvent - 10, kEvent + 400));
  EXPECT_NEAR(Peak(softer.left, kEvent + 1500), Peak(same.left, kEvent + 1500) * (1.0 + 0.9 * (50.0 / 127 - 1)) /
                                                    (1.0 + 0.9 * (110.0 / 127 - 1)), 0.02 * own);

  // A program change under a held chord, and a change of the number of voices, fade the chord out
  // in about 2 ms; the voices are free at once and nothing is heard after the fade.
  for (int change = 0; change < 2; ++change) {
    Harness h;
    SoftSine(h);
    for (int note : {48, 52, 55}) h.NoteOn(0, note, 100);
    const Stereo before = h.Render(kSettle);
    if (change == 0) ASSERT_TRUE(h.plug->RecallProgram(1));
    else h.Set(kNumberOfVoices, 4);
    for (int v = 0; v < Tarvolin::kVoices; ++v) EXPECT_FALSE(h.plug->GetVoice(v).Active()) << v;
    Stereo out = before;
    out.Append(h.Render(400));
    const double chordOwn = LargestStep(before.left, 2000);
    EXPECT_GT(Peak(out.left, kEvent, kEvent + 10), 0.5 * std::fabs(before.left.back())) << change;  // not cut
    EXPECT_LT(LargestStep(out.left, kEvent - 1), 1.05 * chordOwn) << change;
    EXPECT_EQ(Peak(out.left, kEvent + 90), 0.0) << change;
  }

  // A voice stolen for a note that restarts its oscillator at the top of the sine: the old note
  // fades out while the new one fades in.
  {
    Harness h;
    SoftSine(h);
    h.Set(kNumberOfVoices, 1);  // 2 voices
    h.Set(kRestartMode1, 1);
    h.Set(kStartPhase1, 90);
    h.NoteOn(0, 48);
    h.NoteOn(0, 55);
    Stereo out = h.Render(kSettle);
    h.NoteOn(0, 50);  // takes the voice of 48, the oldest
    out.Append(h.Render(2000));
    EXPECT_EQ(h.plug->GetVoice(0).Note(), 50);
    EXPECT_LT(LargestStep(out.left, kEvent - 1), 1.1 * LargestStep(out.left, 2000, kEvent));
  }

  // Volume thrown between two values at block boundaries that fall anywhere in the wave: each move
  // takes about 10 ms, no step is larger than the louder sound's own.
  {
    Harness h;
    SoftSine(h);
    h.Set(kVolume, 1.0);
    h.NoteOn(0, 48, 127);
    const Stereo loud = h.Render(kSettle);
    Stereo out;
    for (int k = 0; k < 6; ++k) {
      h.Set(kVolume, k % 2 == 0 ? 0.3 : 1.0);
      out.Append(h.Render(997 + 131 * k));
    }
    EXPECT_LT(LargestStep(out.left), 1.05 * LargestStep(loud.left, 2000));
  }
}

TEST(RenderLoop, RampsLeaveTheSteadySoundAsItWas) {
  const auto sound = [](Harness& h) {
    h.PlainSine();
    h.Set(kOsc2On, 1);
    h.Set(kWaveTable2, 0);  // a saw beside the sine
    h.Set(kChorusOn, 1);
  };
  // Settings given again while a chord sounds change no sample.
  {
    Harness a;
    Harness b;
    sound(a);
    sound(b);
    for (Harness* h : {&a, &b}) {
      for (int note : {48, 55, 64}) h->NoteOn(0, note);
    }
    Stereo outA = a.Render(3000);
    Stereo outB = b.Render(3000);
    for (int index : {kVolume, kLevelOsc1, kLevelOsc2, kPanOsc1, kPanNoise, kChorusMix}) {
      b.plug->OnParameterChanged(index);
    }
    outA.Append(a.Render(3000));
    outB.Append(b.Render(3000));
    EXPECT_EQ(outA.left, outB.left);
    EXPECT_EQ(outA.right, outB.right);
  }
  // New Volume and Chorus Mix: once the ramps have run, the sound is that of an instrument that had
  // the new values all along; new levels and pans likewise, after the filter has forgotten the ramp.
  {
    Harness moved;
    Harness all;
    sound(moved);
    sound(all);
    const auto settle = [](Harness& h) {
      h.Set(kVolume, 0.8);
      h.Set(kChorusMix, 0.2);
      h.Set(kLevelOsc1, 0.9);
      h.Set(kPanOsc2, 0.8);
    };
    settle(all);
    for (Harness* h : {&moved, &all}) h->NoteOn(0, 52);
    Stereo outMoved = moved.Render(3000);
    Stereo outAll = all.Render(3000);
    settle(moved);
    EXPECT_NE(moved.plug->OutputGain(), 0.8);  // still on its way
    outMoved.Append(moved.Render(6000));
    outAll.Append(all.Render(6000));
    EXPECT_EQ(moved.plug->OutputGain(), 0.8);
    EXPECT_EQ(moved.plug->GetVoice(0).Level(0), all.plug->GetVoice(0).Level(0));
    for (std::size_t i = 3000; i < 3100; ++i) ASSERT_LT(std::fabs(outMoved.left[i] - outMoved.left[i - 1]), 0.05) << i;
    double worst = 0.0;
    for (std::size_t i = 6000; i < outAll.size(); ++i) {
      worst = std::max({worst, std::fabs(outMoved.left[i] - outAll.left[i]), std::fabs(outMoved.right[i] - outAll.right[i])});
    }
    EXPECT_LT(worst, 1e-9);
  }
  // A 10 Hz tremolo through Amp AM: the generator, computed once per millisecond, is read
  // interpolated, so the gain never steps at the tick rate.
  {
    Harness h;
    h.PlainSine();
    h.Set(kAmpAmAmount, 1.0);
    h.Set(kAmpAmSource, 14);  // MG1+
    h.Set(kMg1Frequency, 10.0);
    h.NoteOn(0, 24, 127);  // a low carrier: its own steps are far smaller than a tick's step of gain
    const Stereo out = h.Render(20000);
    Harness steady;
    steady.PlainSine();
    steady.NoteOn(0, 24, 127);
    const Stereo own = steady.Render(20000);
    EXPECT_LT(LargestStep(out.left, 2000), 1.05 * LargestStep(own.left, 2000));
    EXPECT_LT(Roughness(out.left, 2000, 20000), 1.05 * Roughness(own.left, 2000, 20000));
    EXPECT_GT(Peak(out.left, 2000), 0.5 * Peak(own.left, 2000));
  }
}
