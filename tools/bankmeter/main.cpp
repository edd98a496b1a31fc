// tarvolin-bankmeter: measures a bank the way a musician meets it, each program on its preview
// phrase. For every program it prints the integrated loudness (K-weighted and gated as ITU-R
// BS.1770, through libebur128), the true and sample peaks, and how far the loudness moves with
// what was played before; then the spread of the bank around the target.
//
//   tarvolin-bankmeter [--bank FILE.fxb] [--target LUFS] [--rate HZ] [--no-history] [--verbose]
//
// History: every program is played on an instrument that has played nothing else (fresh), then on
// one instrument that plays the whole bank in order and on one that plays it backwards; the
// program's history figure is the largest difference from fresh (--verbose shows both loudnesses).
// Exit status 0 whatever the figures.
#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BankPlayer.h"

namespace {

constexpr double kTail = 2.0;

struct Measure {
  double loudness = -HUGE_VAL;  // LUFS
  double truePeak = 0.0;        // linear
  double samplePeak = 0.0;
};

double Db(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

Measure MeasureSound(const std::vector<float>& interleaved, double rate) {
  Measure m;
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(std::lround(rate)),
                                   EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_SAMPLE_PEAK);
  if (st == nullptr) return m;
  ebur128_add_frames_float(st, interleaved.data(), interleaved.size() / 2);
  ebur128_loudness_global(st, &m.loudness);
  for (unsigned c = 0; c < 2; ++c) {
    double tp = 0.0;
    double sp = 0.0;
    ebur128_true_peak(st, c, &tp);
    ebur128_sample_peak(st, c, &sp);
    m.truePeak = std::max(m.truePeak, tp);
    m.samplePeak = std::max(m.samplePeak, sp);
  }
  ebur128_destroy(&st);
  return m;
}

int Usage() {
  std::fprintf(stderr, "usage: tarvolin-bankmeter [--bank FILE.fxb] [--target LUFS] [--rate HZ] [--no-history] [--verbose]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string bank;
  double target = -16.0;
  double rate = 44100.0;
  bool history = true;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--bank" && i + 1 < argc) {
      bank = argv[++i];
    } else if (a == "--target" && i + 1 < argc) {
      target = std::atof(argv[++i]);
    } else if (a == "--rate" && i + 1 < argc) {
      rate = std::atof(argv[++i]);
      if (!(rate >= 8000.0 && rate <= 384000.0)) return Usage();
    } else if (a == "--verbose") {
      verbose = true;
    } else if (a == "--no-history") {
      history = false;
    } else {
      return Usage();
    }
  }
  std::string error;
  auto Fail = [&error]() {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return 1;
  };
  std::unique_ptr<BankPlayer> forward = BankPlayer::Create(rate, bank, &error);
  if (!forward) return Fail();
  const int programs = forward->Programs();
  std::vector<Measure> fresh(static_cast<std::size_t>(programs));
  std::vector<double> moved(static_cast<std::size_t>(programs), 0.0);
  std::vector<double> after[2] = {std::vector<double>(static_cast<std::size_t>(programs), -HUGE_VAL),
                                  std::vector<double>(static_cast<std::size_t>(programs), -HUGE_VAL)};
  std::vector<float> sound;
  for (int p = 0; p < programs; ++p) {
    std::unique_ptr<BankPlayer> single = BankPlayer::Create(rate, bank, &error);
    if (!single || !single->Play(p, kTail, &sound, &error)) return Fail();
    fresh[static_cast<std::size_t>(p)] = MeasureSound(sound, rate);
  }
  if (history) {
    std::unique_ptr<BankPlayer> backward = BankPlayer::Create(rate, bank, &error);
    if (!backward) return Fail();
    for (int k = 0; k < programs; ++k) {
      for (int pass = 0; pass < 2; ++pass) {
        const int p = pass == 0 ? k : programs - 1 - k;
        BankPlayer& player = pass == 0 ? *forward : *backward;
        if (!player.Play(p, kTail, &sound, &error)) return Fail();
        after[pass][static_cast<std::size_t>(p)] = MeasureSound(sound, rate).loudness;
        const double d = std::fabs(after[pass][static_cast<std::size_t>(p)] - fresh[static_cast<std::size_t>(p)].loudness);
        moved[static_cast<std::size_t>(p)] = std::max(moved[static_cast<std::size_t>(p)], std::isfinite(d) ? d : 99.0);
      }
    }
  }

  std::printf("#  program                          LUFS   vs target  true peak  sample peak  history\n");
  std::vector<double> levels;
  double worstPeak = -HUGE_VAL;
  double worstHistory = 0.0;
  int within = 0;
  for (int p = 0; p < programs; ++p) {
    const Measure& m = fresh[static_cast<std::size_t>(p)];
    const std::string name = forward->ProgramName(p);
    const bool init = name == "Init";
    std::printf("%2d %-32s %6.1f  %+6.1f dB  %6.1f dBTP  %6.1f dBFS", p, name.c_str(), m.loudness,
                m.loudness - target, Db(m.truePeak), Db(m.samplePeak));
    if (history) std::printf("  %4.1f dB", moved[static_cast<std::size_t>(p)]);
    if (history && verbose) {
      std::printf("  (after the programs below %.2f, above %.2f)", after[0][static_cast<std::size_t>(p)],
                  after[1][static_cast<std::size_t>(p)]);
    }
    std::printf("%s\n", init ? "  (not matched)" : "");
    if (init) continue;
    levels.push_back(m.loudness);
    within += std::fabs(m.loudness - target) <= 3.0;
    worstPeak = std::max(worstPeak, Db(m.truePeak));
    worstHistory = std::max(worstHistory, moved[static_cast<std::size_t>(p)]);
  }
  if (levels.empty()) return 0;
  std::sort(levels.begin(), levels.end());
  const std::size_t n = levels.size();
  const double median = n % 2 ? levels[n / 2] : 0.5 * (levels[n / 2 - 1] + levels[n / 2]);
  std::printf("\n%zu programs matched: median %.1f LUFS, min %.1f, max %.1f, spread %.1f LU; %d within +-3 dB of %.1f\n",
              n, median, levels.front(), levels.back(), levels.back() - levels.front(), within, target);
  std::printf("worst true peak %.1f dBTP", worstPeak);
  if (history) std::printf(", worst history dependence %.1f dB", worstHistory);
  std::printf("\n");
  return 0;
}
