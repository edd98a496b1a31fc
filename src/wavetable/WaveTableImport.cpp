#define _FILE_OFFSET_BITS 64

#include "wavetable/WaveTableImport.h"

#include <sys/types.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#include "shell/UserFile.h"
#include "wavetable/UserWaveSlot.h"
#include "wavetable/WavReader.h"
#include "wavetable/WaveTable.h"

namespace {

constexpr int kSysExMessageSize = 410;
constexpr int kSysExSamples = 128;

std::string Number(std::int64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

bool SysExHeaderValid(const std::uint8_t* m) {
  return m[0] == 0xF0 && m[1] == 0x3E && m[2] == 0x13 && m[4] == 0x12;
}

// A source sample with the source read as one period.
float Periodic(const float* s, int count, std::int64_t index) {
  std::int64_t i = index % count;
  if (i < 0) i += count;
  return s[i];
}

float CubicAt(const float* s, int count, double pos) {
  const double e = std::floor(pos);
  const auto i = static_cast<std::int64_t>(e);
  return static_cast<float>(CubicInterpolate(Periodic(s, count, i - 1), Periodic(s, count, i),
                                             Periodic(s, count, i + 1), Periodic(s, count, i + 2),
                                             pos - e));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Whole messages up to the largest dump read, and whatever follows the last of them.
constexpr std::uint64_t kMaxSysExFileSize = static_cast<std::uint64_t>(kMaxSysExMessages + 1) * kSysExMessageSize - 1;

}  // namespace

std::string FileNameOfPath(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOfPath(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  const auto slash = path.find_last_of("/\\");
  if (slash != std::string::npos && slash > dot) return {};
  return path.substr(dot);
}

double CubicInterpolate(double y0, double y1, double y2, double y3, double t) {
  return y1 + 0.5 * t * (y2 - y0) + t * t * (y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3) +
         t * t * t * (0.5 * (y3 - y0) + 1.5 * (y1 - y2));
}

void ResampleSingleCycle(const float* s, int count, float* d) {
  d[0] = s[0];
  d[kWaveLength - 1] = s[count - 1];
  const double step = static_cast<double>(count - 1) / 2047.0;
  double pos = 0.0;
  for (int j = 1; j < kWaveLength - 1; ++j) {
    pos += step;
    d[j] = CubicAt(s, count, pos);
  }
}

void ResampleSysExWave(const float* s, float* d) {
  d[0] = s[0];
  double pos = 0.0;
  for (int j = 1; j < kWaveLength; ++j) {
    pos += 0.06204201270151441;  // 127/2047, by repeated addition
    d[j] = CubicAt(s, kSysExSamples, pos);
  }
}

WaveTableFileDescription DescribeWav(const WavReader& reader) {
  WaveTableFileDescription d;
  if (reader.Channels() != 1) return d;
  d.accepted = true;
  const std::int64_t frames = reader.SampleFrames();
  if (frames <= kWaveLength) {
    d.text = "This is a single cycle waveform file\nwith " + Number(frames) + " samples.";
  } else if (frames % kWaveLength == 0) {
    d.text = "This is assumed to be a wave table file\nwith " + Number(frames / kWaveLength) +
             " waves of " + Number(kWaveLength) + " samples.";
  } else {
    d.text =
        "This file does not have the correct Tarvolin wave table format.\nHowever, it is treated as a "
        "wave table with " +
        Number(std::min<std::int64_t>(frames >> 11, kMaxWaveCount)) + " waves of " + Number(kWaveLength) +
        " samples.";
  }
  return d;
}

WaveTableFileDescription DescribeSysEx(const std::uint8_t* head, std::size_t available,
                                       std::uint64_t fileSize, const std::string& fileName) {
  WaveTableFileDescription d;
  d.accepted = head != nullptr && available >= 5 && fileSize >= 5 && fileSize % kSysExMessageSize == 0 &&
               SysExHeaderValid(head);
  d.text = d.accepted ? "This is assumed to be a Blofield\nwave table file with 64 waves."
                      : "Invalid file format! Cannot load\n\"" + fileName + "\".";
  return d;
}

WaveTableFileDescription DescribeWaveTableFile(const std::string& path) {
  const std::string extension = ExtensionOfPath(path);
  if (EqualsIgnoringCase(extension, ".wav")) {
    WavReader reader;
    if (!reader.ReadWavFile(path)) return {};
    return DescribeWav(reader);
  }
  if (EqualsIgnoringCase(extension, ".syx")) {
    std::uint8_t head[5] = {};
    std::size_t available = 0;
    std::uint64_t size = 0;
    File file(UserFile::Open(path, kMaxSysExFileSize));
    if (file && fseeko(file.get(), 0, SEEK_END) == 0) {
      const off_t end = ftello(file.get());
      if (end >= 0 && fseeko(file.get(), 0, SEEK_SET) == 0) {
        size = static_cast<std::uint64_t>(end);
        available = std::fread(head, 1, sizeof head, file.get());
      }
    }
    return DescribeSysEx(head, available, size, FileNameOfPath(path));
  }
  return {true, {}};
}

bool ReadWavWaves(WavReader& reader, std::vector<float>* waves) {
  if (reader.Channels() != 1) return false;
  const std::int64_t frames = reader.SampleFrames();
  // A single sample has no shape to resample, and the band-limiter would turn it into a full-scale
  // constant; such files (and empty ones) are not loaded.
  if (frames < 2) return false;
  const int count = static_cast<int>(std::clamp<std::int64_t>(frames >> 11, 1, kMaxWaveCount));
  try {
    waves->assign(static_cast<std::size_t>(count) * kWaveLength, 0.0f);
    if (frames >= kWaveLength) {
      reader.ReadWavSamples(waves->data(), count * kWaveLength);
    } else {
      std::vector<float> cycle(static_cast<std::size_t>(frames), 0.0f);
      reader.ReadWavSamples(cycle.data(), static_cast<int>(frames));
      ResampleSingleCycle(cycle.data(), static_cast<int>(frames), waves->data());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool DecodeSysExWaves(const std::uint8_t* data, std::size_t size, std::vector<float>* waves) {
  if (data == nullptr) return false;
  const std::size_t messages = size / kSysExMessageSize;
  if (messages == 0 || messages > static_cast<std::size_t>(kMaxSysExMessages)) return false;
  for (std::size_t m = 0; m < messages; ++m) {
    if (!SysExHeaderValid(data + m * kSysExMessageSize)) return false;
  }
  try {
    waves->assign(messages * kWaveLength, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }
  float source[kSysExSamples];
  for (std::size_t m = 0; m < messages; ++m) {
    const std::uint8_t* message = data + m * kSysExMessageSize;
    for (int k = 0; k < kSysExSamples; ++k) {
      const std::uint8_t* b = message + 8 + 3 * k;
      const std::uint32_t v = static_cast<std::uint32_t>(b[0] & 0x7F) << 14 |
                              static_cast<std::uint32_t>(b[1] & 0x7F) << 7 | (b[2] & 0x7Fu);
      double x = static_cast<double>(v) / 1048575.0;
      if ((b[0] & 0x40) != 0) x -= 2.0;  // the 21-bit value is negative
      source[k] = static_cast<float>(x);
    }
    ResampleSysExWave(source, waves->data() + m * kWaveLength);
  }
  return true;
}

bool LoadUserWaveTable(UserWaveSlot& slot, const std::string& path) {
  const std::string extension = ExtensionOfPath(path);
  std::vector<float> waves;
  if (EqualsIgnoringCase(extension, ".wav")) {
    WavReader reader;
    if (!reader.ReadWavFile(path) || !ReadWavWaves(reader, &waves)) return false;
  } else if (EqualsIgnoringCase(extension, ".syx")) {
    std::vector<std::uint8_t> bytes;
    if (UserFile::ReadWhole(path, kMaxSysExFileSize, &bytes) != UserFile::Result::kRead ||
        !DecodeSysExWaves(bytes.data(), bytes.size(), &waves)) {
      return false;
    }
  } else {
    return false;
  }
  return slot.Set(waves.data(), static_cast<int>(waves.size()), FileNameOfPath(path));
}
