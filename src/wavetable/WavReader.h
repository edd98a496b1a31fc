#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Reads the samples of a RIFF/WAVE file: integer PCM of 8, 16 or 24 bits and IEEE float of 32 or
// 64 bits, any number of channels. Chunks are walked in file order up to the first "data" chunk
// that follows a valid "fmt " chunk; every other chunk is skipped by exactly its stated size.
//
// The reader works on a file (ReadWavFile) or on bytes in memory (ReadWavData, which does not copy
// them: they must outlive the reader's use). Every length taken from the file is bounded by what is
// really there.
class WavReader {
 public:
  // Larger files (and anything that is no regular file) are not read: a wave table needs at most
  // 64 waves of 2048 samples, a megabyte even as 64-bit samples.
  static constexpr std::uint64_t kMaxFileSize = 64u << 20;

  WavReader() = default;
  ~WavReader() { Close(); }
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Opens the file and finds its sample data; the file stays open on success. False for a file that
  // is no regular file or is larger than kMaxFileSize.
  bool ReadWavFile(const std::string& path);
  bool ReadWavData(const std::uint8_t* data, std::size_t size);

  // Reads up to count samples (and at most channels * sample frames) from the start of the sample
  // data, in file order (interleaved for several channels), each converted to a real number in
  // about -1 ... 1. Stops early at the end of the file; answers the number read.
  int ReadWavSamples(float* values, int count);

  void Close();

  // Frames the data chunk announces (its size over the frame size; the file may hold fewer).
  std::int64_t SampleFrames() const { return sampleFrames_; }
  int Channels() const { return channels_; }
  int BitsPerSample() const { return bitsPerSample_; }
  int SampleRate() const { return sampleRate_; }

 private:
  bool FindSampleData();
  std::size_t Read(void* out, std::size_t size);
  bool Seek(std::uint64_t position);

  std::FILE* file_ = nullptr;
  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
  std::uint64_t dataStart_ = 0;

  int formatTag_ = 0;
  int channels_ = 0;
  int bitsPerSample_ = 0;
  int sampleRate_ = 0;
  std::int64_t sampleFrames_ = 0;
};
