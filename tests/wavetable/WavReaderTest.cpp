#include "wavetable/WavReader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "WaveTestHelpers.h"

namespace {

using wavetest::Bytes;
using wavetest::Riff;

std::vector<float> ReadAll(WavReader& reader, int count) {
  std::vector<float> v(static_cast<std::size_t>(count), 99.0f);
  v.resize(static_cast<std::size_t>(reader.ReadWavSamples(v.data(), count)));
  return v;
}

TEST(WavReader, SampleFormats) {
  {  // 8-bit unsigned
    Bytes c;
    c.Fmt(1, 1, 8).Tag("data").U32(3).Raw({0, 128, 255});
    const auto file = Riff(c);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(ReadAll(r, 10), (std::vector<float>{-1.0f, 0.0f, 127.0f / 128.0f}));
  }
  {  // 24-bit signed
    Bytes c;
    c.Fmt(1, 1, 24).Tag("data").U32(9).Raw({0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF});
    const auto file = Riff(c);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(r.SampleFrames(), 3);
    EXPECT_EQ(ReadAll(r, 10), (std::vector<float>{8388607.0f / 8388608.0f, -1.0f, -1.0f / 8388608.0f}));
  }
  {  // 32-bit and 64-bit float
    Bytes c32, c64;
    const float f = -0.25f;
    const double d = 0.75;
    std::vector<std::uint8_t> rf(4), rd(8);
    std::memcpy(rf.data(), &f, 4);
    std::memcpy(rd.data(), &d, 8);
    c32.Fmt(3, 1, 32).Tag("data").U32(4).Raw(rf);
    c64.Fmt(3, 1, 64).Tag("data").U32(8).Raw(rd);
    const auto f32 = Riff(c32), f64 = Riff(c64);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(f32.data(), f32.size()));
    EXPECT_EQ(ReadAll(r, 1), std::vector<float>{-0.25f});
    ASSERT_TRUE(r.ReadWavData(f64.data(), f64.size()));
    EXPECT_EQ(ReadAll(r, 1), std::vector<float>{0.75f});
  }
  {  // stereo 16-bit reads interleaved
    Bytes c;
    c.Fmt(1, 2, 16).Tag("data").U32(8).U16(0x4000).U16(0xC000).U16(0x2000).U16(0x0000);
    const auto file = Riff(c);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(r.Channels(), 2);
    EXPECT_EQ(r.SampleFrames(), 2);
    EXPECT_EQ(ReadAll(r, 3), (std::vector<float>{0.5f, -0.5f, 0.25f}));
  }
}

TEST(WavReader, InvalidFormatsAreRefused) {
  struct Case {
    int tag, channels, bits;
  };
  for (const Case c : {Case{1, 1, 32}, Case{3, 1, 16}, Case{2, 1, 16}, Case{0xFFFE, 1, 16}, Case{1, 0, 16},
                       Case{1, 1, 12}}) {
    Bytes b;
    b.Fmt(c.tag, c.channels, c.bits).Tag("data").U32(8).U32(0).U32(0);
    const auto file = Riff(b);
    WavReader r;
    EXPECT_FALSE(r.ReadWavData(file.data(), file.size())) << c.tag << " " << c.channels << " " << c.bits;
  }
  const std::vector<std::uint8_t> notRiff = {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  WavReader r;
  EXPECT_FALSE(r.ReadWavData(notRiff.data(), notRiff.size()));
  EXPECT_FALSE(r.ReadWavData(notRiff.data(), 5));
  EXPECT_FALSE(r.ReadWavFile("/nonexistent/folder/x.wav"));
}

TEST(WavReader, ChunksAreWalkedAndOddSizesSkippedExactly) {
  Bytes b;
  b.Tag("LIST").U32(3).Raw({1, 2, 3});            // odd size, no pad byte
  b.Tag("data").U32(2).U16(0x1000);               // data before fmt: skipped
  b.Tag("fmt ").U32(12).Raw(std::vector<std::uint8_t>(12, 0));  // too short: skipped
  b.Tag("fmt ").U32(18);                          // longer fmt: the extra bytes are skipped
  b.U16(1).U16(1).U32(48000).U32(96000).U16(2).U16(16).U16(0);
  b.Tag("junk").U32(1).Raw({9});
  b.Tag("data").U32(0);                           // empty data: skipped
  b.Tag("data").U32(4).U16(0x2000).U16(0xE000);
  const auto file = Riff(b);
  WavReader r;
  ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
  EXPECT_EQ(r.SampleRate(), 48000);
  EXPECT_EQ(r.SampleFrames(), 2);
  EXPECT_EQ(ReadAll(r, 2), (std::vector<float>{0.25f, -0.25f}));
}

TEST(WavReader, LengthsBeyondTheFileAreBounded) {
  {  // RIFF size far beyond the file: ignored
    Bytes b;
    b.Fmt(1, 1, 16).Tag("data").U32(2).U16(0x4000);
    auto file = Riff(b);
    file[4] = file[5] = file[6] = file[7] = 0xFF;
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(ReadAll(r, 5), std::vector<float>{0.5f});
  }
  {  // data chunk announcing far more than the file holds: reading stops at the end
    Bytes b;
    b.Fmt(1, 1, 16).Tag("data").U32(0xFFFFFFF0u).U16(0x4000).U16(0x2000).Raw({0x77});
    const auto file = Riff(b);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(r.SampleFrames(), 0x7FFFFFF8);
    EXPECT_EQ(ReadAll(r, 100), (std::vector<float>{0.5f, 0.25f}));
  }
  {  // a chunk whose size passes the end before any data
    Bytes b;
    b.Fmt(1, 1, 16).Tag("LIST").U32(1000).Raw({1, 2});
    const auto file = Riff(b);
    WavReader r;
    EXPECT_FALSE(r.ReadWavData(file.data(), file.size()));
  }
  {  // fmt cut short by the end of the file
    Bytes b;
    b.Tag("fmt ").U32(16).U16(1).U16(1);
    const auto file = Riff(b);
    WavReader r;
    EXPECT_FALSE(r.ReadWavData(file.data(), file.size()));
  }
  {  // zero block alignment is not used: the frame size comes from channels and bits
    Bytes b;
    b.Fmt(1, 1, 16, 0).Tag("data").U32(4).U16(1).U16(2);
    const auto file = Riff(b);
    WavReader r;
    ASSERT_TRUE(r.ReadWavData(file.data(), file.size()));
    EXPECT_EQ(r.SampleFrames(), 2);
  }
}

}  // namespace
