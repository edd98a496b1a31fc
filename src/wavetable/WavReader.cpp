// Large files must not defeat the bounds checks on 32-bit builds.
#define _FILE_OFFSET_BITS 64

#include "wavetable/WavReader.h"

#include <sys/types.h>

#include <algorithm>
#include <cstring>

#include "shell/UserFile.h"

namespace {

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool ValidFormat(int tag, int bits) {
  if (tag == 1) return bits == 8 || bits == 16 || bits == 24;
  if (tag == 3) return bits == 32 || bits == 64;
  return false;
}

float Convert(const std::uint8_t* p, int tag, int bits) {
  switch (bits) {
    case 8:
      return static_cast<float>(p[0]) / 128.0f - 1.0f;
    case 16:
      return static_cast<float>(static_cast<std::int16_t>(U16(p))) / 32768.0f;
    case 24: {
      // Sign-extend the 3-byte value through the top of a 32-bit word.
      const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                               static_cast<std::uint32_t>(p[1]) << 16 |
                                               static_cast<std::uint32_t>(p[2]) << 24) >> 8;
      return static_cast<float>(v) / 8388608.0f;
    }
    case 32: {
      if (tag != 3) return 0.0f;
      const std::uint32_t u = U32(p);
      float f;
      std::memcpy(&f, &u, sizeof f);
      return f;
    }
    case 64: {
      const std::uint64_t u = static_cast<std::uint64_t>(U32(p)) | static_cast<std::uint64_t>(U32(p + 4)) << 32;
      double d;
      std::memcpy(&d, &u, sizeof d);
      return static_cast<float>(d);
    }
    default:
      return 0.0f;
  }
}

}  // namespace

void WavReader::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  data_ = nullptr;
  size_ = position_ = dataStart_ = 0;
  formatTag_ = channels_ = bitsPerSample_ = sampleRate_ = 0;
  sampleFrames_ = 0;
}

bool WavReader::ReadWavFile(const std::string& path) {
  Close();
  file_ = UserFile::Open(path, kMaxFileSize);
  if (file_ == nullptr) return false;
  if (fseeko(file_, 0, SEEK_END) != 0) {
    Close();
    return false;
  }
  const off_t end = ftello(file_);
  if (end < 0 || fseeko(file_, 0, SEEK_SET) != 0) {
    Close();
    return false;
  }
  size_ = static_cast<std::uint64_t>(end);
  return FindSampleData();
}

bool WavReader::ReadWavData(const std::uint8_t* data, std::size_t size) {
  Close();
  if (data == nullptr) return false;
  data_ = data;
  size_ = size;
  return FindSampleData();
}

std::size_t WavReader::Read(void* out, std::size_t size) {
  const std::uint64_t left = position_ < size_ ? size_ - position_ : 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
  std::size_t got = 0;
  if (file_ != nullptr) {
    got = std::fread(out, 1, n, file_);
  } else if (data_ != nullptr && n > 0) {
    std::memcpy(out, data_ + position_, n);
    got = n;
  }
  position_ += got;
  return got;
}

bool WavReader::Seek(std::uint64_t position) {
  if (position > size_) return false;
  if (file_ != nullptr && fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return false;
  position_ = position;
  return true;
}

bool WavReader::FindSampleData() {
  std::uint8_t header[12];
  if (Read(header, 12) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0) {
    Close();
    return false;
  }
  for (;;) {
    std::uint8_t chunk[8];
    if (Read(chunk, 8) != 8) break;
    const std::uint64_t n = U32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && n >= 16) {
      std::uint8_t fmt[16] = {};
      const bool complete = Read(fmt, 16) == 16;
      formatTag_ = U16(fmt);
      channels_ = U16(fmt + 2);
      sampleRate_ = static_cast<int>(U32(fmt + 4));
      bitsPerSample_ = U16(fmt + 14);
      if (!complete || !ValidFormat(formatTag_, bitsPerSample_) || channels_ == 0) {
        formatTag_ = channels_ = bitsPerSample_ = sampleRate_ = 0;
      }
      if (!Seek(position_ + (n - 16))) break;
      continue;
    }
    if (std::memcmp(chunk, "data", 4) == 0 && n > 0 && bitsPerSample_ != 0) {
      const std::uint64_t frameBytes = static_cast<std::uint64_t>(channels_) * (bitsPerSample_ / 8);
      sampleFrames_ = static_cast<std::int64_t>(n / frameBytes);
      dataStart_ = position_;
      return true;
    }
    // Exactly n bytes: no pad byte is assumed after a chunk of odd size.
    if (!Seek(position_ + n)) break;
  }
  Close();
  return false;
}

int WavReader::ReadWavSamples(float* values, int count) {
  if (bitsPerSample_ == 0 || values == nullptr || count <= 0 || !Seek(dataStart_)) return 0;
  const int bytesPerSample = bitsPerSample_ / 8;
  const std::int64_t available = static_cast<std::int64_t>(channels_) * sampleFrames_;
  const std::int64_t wanted = std::min<std::int64_t>(count, available);
  std::uint8_t block[4096];
  const int perBlock = static_cast<int>(sizeof block) / bytesPerSample;
  std::int64_t done = 0;
  while (done < wanted) {
    const int n = static_cast<int>(std::min<std::int64_t>(perBlock, wanted - done));
    const std::size_t got = Read(block, static_cast<std::size_t>(n) * bytesPerSample);
    const int samples = static_cast<int>(got / static_cast<std::size_t>(bytesPerSample));
    for (int i = 0; i < samples; ++i) {
      values[done + i] = Convert(block + i * bytesPerSample, formatTag_, bitsPerSample_);
    }
    done += samples;
    if (samples < n) break;  // end of the file
  }
  return static_cast<int>(done);
}
