#pragma once

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/PitchFunction.h"

namespace tuningtest {

// A file with the given bytes in a folder of its own, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, std::string_view bytes) {
    static int counter = 0;
    folder_ = std::filesystem::temp_directory_path() /
              ("tarvolin-tuning-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / name).string();
    std::ofstream out(path_, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

// Frequency of MIDI note n in 440-Hz equal temperament.
inline long double EqualHz(long double note) { return 440.0L * std::pow(2.0L, (note - 69.0L) / 12.0L); }

// The pitch whose frequency is nearest to hz, found by inverting the piecewise-linear pitch function
// semitone by semitone (not by the instrument's search). Within one pitch unit of the instrument.
inline int ExpectedPitch(long double hz) {
  if (!(hz > 8.176L)) return 0;
  if (hz >= 19912.127L) return kPitchLimit;
  int s = 0;
  while (s < 134 && PitchToFrequency(128 * (s + 1)) <= hz) ++s;
  const long double lo = PitchToFrequency(128 * s);
  const long double hi = PitchToFrequency(128 * (s + 1));
  return 128 * s + static_cast<int>(std::lround((hz - lo) / (hi - lo) * 128.0L));
}

}  // namespace tuningtest
