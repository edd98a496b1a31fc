#include "wavetable/WaveTableImport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/TestPaths.h"
#include "WaveTestHelpers.h"
#include "wavetable/UserWaveSlot.h"
#include "wavetable/WavReader.h"

namespace {

using wavetest::Bytes;
using wavetest::Riff;
using wavetest::TempFile;
using wavetest::Wav16;

std::vector<std::int16_t> Ramp(int n) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>((i * 37) % 20000 - 10000);
  return s;
}

std::int16_t SlotValue(std::int16_t fileSample) {
  return static_cast<std::int16_t>(static_cast<float>(fileSample) / 32768.0f * 32767.0f);
}

// One Blofield wave-table message whose 128 samples are the given 21-bit values.
std::vector<std::uint8_t> SysExMessage(const std::vector<std::int32_t>& values, std::uint8_t wave = 0) {
  std::vector<std::uint8_t> m(410, 0);
  m[0] = 0xF0;
  m[1] = 0x3E;
  m[2] = 0x13;
  m[3] = 0x00;
  m[4] = 0x12;
  m[5] = 0x50;
  m[6] = wave;
  for (int k = 0; k < 128; ++k) {
    const std::uint32_t v = static_cast<std::uint32_t>(values[static_cast<std::size_t>(k)]) & 0x1FFFFF;
    m[8 + 3 * k] = static_cast<std::uint8_t>(v >> 14);
    m[9 + 3 * k] = static_cast<std::uint8_t>((v >> 7) & 0x7F);
    m[10 + 3 * k] = static_cast<std::uint8_t>(v & 0x7F);
  }
  m[409] = 0xF7;
  return m;
}

std::vector<std::uint8_t> SysExFile(int messages) {
  std::vector<std::uint8_t> file;
  for (int m = 0; m < messages; ++m) {
    std::vector<std::int32_t> v(128);
    for (int k = 0; k < 128; ++k) v[k] = static_cast<std::int32_t>(std::lround(std::sin(6.283185307 * k / 128) * 1000000));
    const auto msg = SysExMessage(v, static_cast<std::uint8_t>(m));
    file.insert(file.end(), msg.begin(), msg.end());
  }
  return file;
}

// One wave of the slot as it should be, worked out here from the source samples s (read as one
// period) with the four-point cubic: the first output sample on the first source sample, then steps
// of step source samples; with lastOnLast the last output sample lies on the last source sample.
std::vector<std::int16_t> ExpectedWave(const std::vector<float>& s, double step, bool lastOnLast) {
  const long long n = static_cast<long long>(s.size());
  const auto at = [&](long long k) { return static_cast<double>(s[static_cast<std::size_t>(((k % n) + n) % n)]); };
  std::vector<std::int16_t> wave(2048);
  double pos = 0.0;
  for (int j = 0; j < 2048; ++j) {
    double v = s[0];
    if (j == 2047 && lastOnLast) {
      v = s.back();
    } else if (j > 0) {
      pos += step;
      const double e = std::floor(pos);
      const auto i = static_cast<long long>(e);
      const double t = pos - e;
      const double y0 = at(i - 1), y1 = at(i), y2 = at(i + 1), y3 = at(i + 2);
      v = y1 + 0.5 * t * (y2 - y0) + t * t * (y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3) +
          t * t * t * (0.5 * (y3 - y0) + 1.5 * (y1 - y2));
    }
    wave[static_cast<std::size_t>(j)] =
        static_cast<std::int16_t>(std::clamp(static_cast<float>(v), -1.0f, 1.0f) * 32767.0f);
  }
  return wave;
}

// Every sample of the slot from first on equals the expected one within one step of 16 bits.
void ExpectSamples(const UserWaveSlot& slot, std::size_t first, const std::vector<std::int16_t>& expected) {
  ASSERT_LE(first + expected.size(), slot.Length());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_NEAR(slot.Samples()[first + i], expected[i], 1) << "sample " << first + i;
  }
}

WaveTableFileDescription Describe(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  TempFile f(name, bytes);
  return DescribeWaveTableFile(f.Path());
}

bool Load(UserWaveSlot& slot, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  TempFile f(name, bytes);
  return LoadUserWaveTable(slot, f.Path());
}

TEST(WaveTableImport, PathPieces) {
  EXPECT_EQ(FileNameOfPath("/home/me/waves/Choir.WAV"), "Choir.WAV");
  EXPECT_EQ(FileNameOfPath("C:\\waves\\x.syx"), "x.syx");
  EXPECT_EQ(FileNameOfPath("plain"), "plain");
  EXPECT_EQ(ExtensionOfPath("/a/b.c/file.Wav"), ".Wav");
  EXPECT_EQ(ExtensionOfPath("/a/b.wav/file"), "");
  EXPECT_EQ(ExtensionOfPath("x.tar.syx"), ".syx");
  EXPECT_EQ(ExtensionOfPath("noext"), "");
}

TEST(WaveTableImport, SingleCycleIsResampledOntoItsEnds) {
  const auto samples = Ramp(600);
  const auto file = Wav16(samples);
  EXPECT_EQ(Describe("c.wav", file).text, "This is a single cycle waveform file\nwith 600 samples.");
  EXPECT_TRUE(Describe("c.wav", file).accepted);
  UserWaveSlot slot;
  ASSERT_TRUE(Load(slot, "c.wav", file));
  ASSERT_EQ(slot.Length(), 2048u);
  EXPECT_EQ(slot.Samples()[0], SlotValue(samples[0]));
  EXPECT_EQ(slot.Samples()[2047], SlotValue(samples[599]));
  EXPECT_EQ(slot.Name(), "c.wav");
  std::vector<float> source;
  for (std::int16_t v : samples) source.push_back(static_cast<float>(v) / 32768.0f);
  ExpectSamples(slot, 0, ExpectedWave(source, 599.0 / 2047.0, true));
}

TEST(WaveTableImport, CubicResamplingPassesThroughTheSourceSamples) {
  EXPECT_DOUBLE_EQ(CubicInterpolate(1, 2, 3, 4, 0.0), 2.0);
  EXPECT_DOUBLE_EQ(CubicInterpolate(1, 2, 3, 4, 0.5), 2.5);  // a line stays a line
  EXPECT_DOUBLE_EQ(CubicInterpolate(0, 1, 0, -1, 0.5), 0.625);
  // A source of three points stretched to 2048 wraps around its ends.
  const float s[3] = {0.0f, 1.0f, -1.0f};
  std::vector<float> d(2048);
  ResampleSingleCycle(s, 3, d.data());
  EXPECT_EQ(d[0], 0.0f);
  EXPECT_EQ(d[2047], -1.0f);
  EXPECT_NEAR(d[1023], 1.0f, 0.01f);  // pos = 1023 * 2/2047, just below 1
  // A constant SysEx wave stays constant.
  std::vector<float> flat(128, 0.5f);
  ResampleSysExWave(flat.data(), d.data());
  for (float v : d) ASSERT_FLOAT_EQ(v, 0.5f);
}

TEST(WaveTableImport, ExactlyOneWaveIsLoadedWithoutResampling) {
  const auto samples = Ramp(2048);
  const auto file = Wav16(samples);
  EXPECT_EQ(Describe("one.wav", file).text, "This is a single cycle waveform file\nwith 2048 samples.");
  UserWaveSlot slot;
  ASSERT_TRUE(Load(slot, "one.wav", file));
  ASSERT_EQ(slot.Length(), 2048u);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(slot.Samples()[i], SlotValue(samples[i])) << i;
}

TEST(WaveTableImport, WaveTableFilesAndTheirCounts) {
  struct Case {
    int frames;
    const char* text;
    std::uint32_t loaded;
  };
  const Case cases[] = {
      {32768, "This is assumed to be a wave table file\nwith 16 waves of 2048 samples.", 16 * 2048},
      {4096, "This is assumed to be a wave table file\nwith 2 waves of 2048 samples.", 2 * 2048},
      {5000,
       "This file does not have the correct Tarvolin wave table format.\nHowever, it is treated as a wave "
       "table with 2 waves of 2048 samples.",
       2 * 2048},
      {140000,
       "This file does not have the correct Tarvolin wave table format.\nHowever, it is treated as a wave "
       "table with 64 waves of 2048 samples.",
       64 * 2048},
      {262144, "This is assumed to be a wave table file\nwith 128 waves of 2048 samples.", 64 * 2048},
  };
  for (const Case& c : cases) {
    const auto samples = Ramp(c.frames);
    const auto file = Wav16(samples);
    const auto d = Describe("t.wav", file);
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.text, c.text);
    UserWaveSlot slot;
    ASSERT_TRUE(Load(slot, "t.wav", file));
    ASSERT_EQ(slot.Length(), c.loaded) << c.frames;
    EXPECT_EQ(slot.Samples()[c.loaded - 1], SlotValue(samples[c.loaded - 1]));
  }
}

TEST(WaveTableImport, TruncatedDataLoadsAsSilenceWhereItEnds) {
  Bytes b;
  b.Fmt(1, 1, 16).Tag("data").U32(4096 * 2);
  for (int i = 0; i < 3000; ++i) b.U16(0x4000);
  const auto file = Riff(b);
  UserWaveSlot slot;
  ASSERT_TRUE(Load(slot, "cut.wav", file));
  ASSERT_EQ(slot.Length(), 4096u);
  EXPECT_EQ(slot.Samples()[2999], 16383);
  EXPECT_EQ(slot.Samples()[3000], 0);
  EXPECT_EQ(slot.Samples()[4095], 0);
}

TEST(WaveTableImport, FilesThatAreNotMonoWavAreRefused) {
  UserWaveSlot slot;
  const float keep[] = {0.5f};
  slot.Set(keep, 1, "kept");
  const auto stereo = Wav16(Ramp(600), 2);
  EXPECT_FALSE(Describe("s.wav", stereo).accepted);
  EXPECT_EQ(Describe("s.wav", stereo).text, "");
  EXPECT_FALSE(Load(slot, "s.wav", stereo));

  Bytes int32;
  int32.Fmt(1, 1, 32).Tag("data").U32(8).U32(1).U32(2);
  EXPECT_FALSE(Describe("i.wav", Riff(int32)).accepted);
  EXPECT_FALSE(Load(slot, "i.wav", Riff(int32)));

  const std::vector<std::uint8_t> garbage = {1, 2, 3};
  EXPECT_FALSE(Describe("g.wav", garbage).accepted);
  EXPECT_FALSE(Load(slot, "g.wav", garbage));
  EXPECT_FALSE(DescribeWaveTableFile("/nonexistent/x.wav").accepted);
  EXPECT_EQ(slot.Name(), "kept");

  // Too large, never ending (a device), no file, or a named pipe (whose open would wait for a
  // writer): not read as WAV nor as SysEx, and the slot keeps what it had.
  const TempFile anchor("anchor.wav", garbage);
  const std::filesystem::path folder = std::filesystem::path(anchor.Path()).parent_path();
  std::vector<std::string> names;
  {
    // Real headers in front of more data than a wave-table file holds.
    Bytes head;
    head.Fmt(1, 1, 16).Tag("junk").U32(static_cast<std::uint32_t>(WavReader::kMaxFileSize));
    const auto riff = Riff(head);
    Bytes data;
    data.Tag("data").U32(2 * 4096);
    for (int i = 0; i < 4096; ++i) data.U16(0x1000);
    std::ofstream big(folder / "big.wav", std::ios::binary);
    big.write(reinterpret_cast<const char*>(riff.data()), static_cast<std::streamsize>(riff.size()));
    big.seekp(static_cast<std::streamoff>(riff.size() + WavReader::kMaxFileSize));
    big.write(reinterpret_cast<const char*>(data.b.data()), static_cast<std::streamsize>(data.b.size()));
    names.push_back("big.wav");
    const auto dump = SysExFile(kMaxSysExMessages + 1);
    std::ofstream bigDump(folder / "big.syx", std::ios::binary);
    bigDump.write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));
    names.push_back("big.syx");
  }
  std::filesystem::create_directory(folder / "folder.wav");
  names.push_back("folder.wav");
  for (const char* name : {"zero.wav", "zero.syx"}) {
    std::filesystem::create_symlink("/dev/zero", folder / name);
    names.push_back(name);
  }
  for (const char* name : {"pipe.wav", "pipe.syx"}) {
    ASSERT_EQ(::mkfifo((folder / name).c_str(), 0600), 0);
    names.push_back(name);
  }
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string path = (folder / name).string();
    const WaveTableFileDescription d = DescribeWaveTableFile(path);
    EXPECT_FALSE(d.accepted);
    EXPECT_EQ(d.text, ExtensionOfPath(name) == ".syx" ? "Invalid file format! Cannot load\n\"" + name + "\"." : "");
    EXPECT_FALSE(LoadUserWaveTable(slot, path));
    EXPECT_EQ(slot.Name(), "kept");
  }
  for (const std::string& name : names) std::filesystem::remove(folder / name);

  // A 64-bit float file is fine.
  Bytes f64;
  f64.Fmt(3, 1, 64).Tag("data").U32(8 * 700);
  for (int i = 0; i < 700; ++i) {
    const double d = 0.5;
    std::vector<std::uint8_t> raw(8);
    std::memcpy(raw.data(), &d, 8);
    f64.Raw(raw);
  }
  EXPECT_TRUE(Describe("f.WAV", Riff(f64)).accepted);
  ASSERT_TRUE(Load(slot, "f.WAV", Riff(f64)));
  EXPECT_EQ(slot.Samples()[1000], 16383);
}

// Fewer than two frames: described as a single cycle of that many samples, but not loaded, since
// there is no wave to resample (and a single value would build a full-scale constant).
TEST(WaveTableImport, ZeroOrOneFrameIsDescribedButNotLoaded) {
  Bytes one;
  one.Fmt(1, 1, 16).Tag("data").U32(2).U16(0x1234);
  Bytes zero;
  zero.Fmt(1, 1, 16).Tag("data").U32(1).Raw({0x12});
  EXPECT_EQ(Describe("one.wav", Riff(one)).text, "This is a single cycle waveform file\nwith 1 samples.");
  EXPECT_EQ(Describe("zero.wav", Riff(zero)).text, "This is a single cycle waveform file\nwith 0 samples.");
  UserWaveSlot slot;
  const float keep[] = {0.5f};
  slot.Set(keep, 1, "kept");
  EXPECT_FALSE(Load(slot, "one.wav", Riff(one)));
  EXPECT_FALSE(Load(slot, "zero.wav", Riff(zero)));
  EXPECT_EQ(slot.Name(), "kept");
  EXPECT_EQ(slot.Length(), 1u);

  // Two frames are enough.
  Bytes two;
  two.Fmt(1, 1, 16).Tag("data").U32(4).U16(0x4000).U16(0xC000);
  ASSERT_TRUE(Load(slot, "two.wav", Riff(two)));
  EXPECT_EQ(slot.Length(), 2048u);
  EXPECT_EQ(slot.Samples()[0], 16383);
  EXPECT_EQ(slot.Samples()[2047], -16383);
}

TEST(WaveTableImport, OtherExtensionsAreAcceptedSilentlyButNotLoaded) {
  const auto file = Wav16(Ramp(600));
  const auto d = Describe("wave.txt", file);
  EXPECT_TRUE(d.accepted);
  EXPECT_EQ(d.text, "");
  UserWaveSlot slot;
  EXPECT_FALSE(Load(slot, "wave.txt", file));
  EXPECT_FALSE(Load(slot, "wave", file));
}

TEST(WaveTableImport, SysExDecodingAndResampling) {
  std::vector<std::int32_t> v(128, 0);
  v[0] = 1048575;     // +1
  v[1] = 0x100000;    // the most negative value: 1048576/1048575 - 2
  v[2] = 0x1FFFFF;    // -1 step: 2097151/1048575 - 2
  v[127] = 524288;
  const auto m = SysExMessage(v);
  std::vector<float> waves;
  ASSERT_TRUE(DecodeSysExWaves(m.data(), m.size(), &waves));
  ASSERT_EQ(waves.size(), 2048u);
  EXPECT_FLOAT_EQ(waves[0], 1.0f);
  // The last output sample lies just before the source's last sample, read with the wrap-around.
  EXPECT_NEAR(waves[2047], 524288.0 / 1048575.0, 0.01);
  // Position 127/2047 * 16 = 0.99..., so output 17 lies just past source sample 1.
  EXPECT_NEAR(waves[17], static_cast<float>(1048576.0 / 1048575.0 - 2.0), 0.05);
}

TEST(WaveTableImport, SysExFiles) {
  const auto file64 = SysExFile(64);
  const auto d = Describe("set.syx", file64);
  EXPECT_TRUE(d.accepted);
  EXPECT_EQ(d.text, "This is assumed to be a Blofield\nwave table file with 64 waves.");
  UserWaveSlot slot;
  ASSERT_TRUE(Load(slot, "set.syx", file64));
  EXPECT_EQ(slot.Length(), 64u * 2048);
  EXPECT_EQ(slot.Name(), "set.syx");

  // Three messages: the text still says 64, three waves are loaded.
  const auto file3 = SysExFile(3);
  EXPECT_EQ(Describe("three.SYX", file3).text, "This is assumed to be a Blofield\nwave table file with 64 waves.");
  ASSERT_TRUE(Load(slot, "three.SYX", file3));
  EXPECT_EQ(slot.Length(), 3u * 2048);

  // 411 bytes: refused with the invalid-format text.
  auto file411 = SysExFile(1);
  file411.push_back(0);
  const auto bad = Describe("odd.syx", file411);
  EXPECT_FALSE(bad.accepted);
  EXPECT_EQ(bad.text, "Invalid file format! Cannot load\n\"odd.syx\".");
  EXPECT_FALSE(Describe("tiny.syx", {0xF0, 0x3E}).accepted);
  EXPECT_FALSE(Describe("empty.syx", {}).accepted);
  auto wrongHeader = SysExFile(2);
  wrongHeader[4] = 0x10;
  EXPECT_FALSE(Describe("w.syx", wrongHeader).accepted);
  EXPECT_EQ(DescribeWaveTableFile("/nonexistent/gone.syx").text, "Invalid file format! Cannot load\n\"gone.syx\".");
}

TEST(WaveTableImport, SysExWithABrokenLaterMessageLeavesTheSlotAlone) {
  auto file = SysExFile(5);
  file[3 * 410 + 1] = 0x3F;
  EXPECT_TRUE(Describe("b.syx", file).accepted);  // the first message is fine
  UserWaveSlot slot;
  const float keep[] = {0.5f};
  slot.Set(keep, 1, "kept");
  EXPECT_FALSE(Load(slot, "b.syx", file));
  EXPECT_EQ(slot.Name(), "kept");
  EXPECT_EQ(slot.Length(), 1u);
  // Shorter than one message: nothing to load.
  EXPECT_FALSE(Load(slot, "short.syx", std::vector<std::uint8_t>(file.begin(), file.begin() + 409)));
}

// Real files written by other tools.
struct RealWav {
  const char* path;
  std::int64_t frames;
  std::uint32_t loaded;
  std::int16_t first, last;  // the slot's first and last samples
};

TEST(WaveTableImport, RealWaveFiles) {
  const RealWav files[] = {
      {"waves/single-cycle/00Big-Endian Sine.wav", 256, 2048, 0, -8963},
      {"waves/single-cycle/00MOTM-300 Sine Low.wav", 256, 2048, 222, -580},
      {"waves/single-cycle/00Sine.wav", 256, 2048, 0, -803},
      {"waves/single-cycle/01Sawtooth.wav", 256, 2048, 32766, -32510},
      {"waves/single-cycle/01Unsigned Sine.wav", 256, 2048, -32766, 31157},
      {"waves/single-cycle/02Incomplete Sine.wav", 256, 2048, 0, -32760},
      {"waves/single-cycle/04Square.wav", 256, 2048, 32766, -32766},
      {"waves/single-cycle/05MOTM-300 Saw High.wav", 256, 2048, -2384, -9336},
      {"waves/single-cycle/08Chirp 4.wav", 256, 2048, 32766, 19514},
      {"waves/single-cycle/AKWF_0001.wav", 600, 2048, 250, -1210},
      {"waves/single-cycle/AKWF_0002.wav", 600, 2048, 27, -1140},
      {"waves/single-cycle/AKWF_0003.wav", 600, 2048, 622, -627},
      {"waves/single-cycle/AKWF_0004.wav", 600, 2048, 2814, -3666},
      {"waves/single-cycle/AKWF_0005.wav", 600, 2048, 1, -39},
      {"waves/single-cycle/AKWF_0010.wav", 600, 2048, -6, 182},
      {"waves/single-cycle/AKWF_0020.wav", 600, 2048, 47, -253},
      {"waves/single-cycle/AKWF_0030.wav", 600, 2048, 144, -81},
      {"waves/single-cycle/AKWF_0040.wav", 600, 2048, 142, -194},
      {"waves/single-cycle/AKWF_0050.wav", 600, 2048, -190, 109},
      {"waves/single-cycle/AKWF_0060.wav", 600, 2048, -87, 161},
      {"waves/single-cycle/AKWF_0070.wav", 600, 2048, 126, -95},
      {"waves/single-cycle/AKWF_0080.wav", 600, 2048, 396, -25},
      {"waves/single-cycle/AKWF_0090.wav", 600, 2048, 287, -1382},
      {"waves/single-cycle/AKWF_0100.wav", 600, 2048, 0, -111},
      {"waves/single-cycle/AKWF_vgame_0001.wav", 600, 2048, 2919, -16569},
      {"waves/single-cycle/AKWF_vgame_0010.wav", 600, 2048, 1631, -677},
      {"waves/single-cycle/AKWF_vgame_0025.wav", 600, 2048, 443, -585},
      {"waves/single-cycle/AKWF_vgame_0050.wav", 600, 2048, 545, -241},
      {"waves/single-cycle/AKWF_vgame_0075.wav", 600, 2048, 769, -661},
      {"waves/single-cycle/AKWF_vgame_0100.wav", 600, 2048, 1945, -12198},
      {"waves/single-cycle/AKWF_vgame_0125.wav", 600, 2048, 3609, -7944},
      {"waves/single-cycle/a137_fold_01_drive_1.0.wav", 2048, 2048, 0, -100},
      {"waves/single-cycle/a137_fold_08_drive_14.0.wav", 2048, 2048, 0, -1406},
      {"waves/wavetables/Sines.wav", 16384, 8 * 2048, 0, -803},
      {"waves/wavetables/a137_wavefolder_wavetable.wav", 16384, 8 * 2048, 0, -1406},
      {"waves/wavetables/sample_1_result_morph.wav", 32768, 16 * 2048, 3045, -32767},
      {"waves/wavetables/sample_32_2048.wav", 65536, 32 * 2048, -4710, 15239},
  };
  // The shared test data does not carry its WAV folders on every machine; what is there is checked.
  int checked = 0;
  for (const RealWav& f : files) {
    SCOPED_TRACE(f.path);
    const std::string path = TestDataPath(f.path);
    if (!std::filesystem::is_regular_file(path)) continue;
    ++checked;
    WavReader reader;
    ASSERT_TRUE(reader.ReadWavFile(path));
    EXPECT_EQ(reader.SampleFrames(), f.frames);
    const auto d = DescribeWaveTableFile(path);
    EXPECT_TRUE(d.accepted);
    if (f.frames <= 2048) {
      EXPECT_EQ(d.text, "This is a single cycle waveform file\nwith " + std::to_string(f.frames) + " samples.");
    } else {
      EXPECT_EQ(d.text, "This is assumed to be a wave table file\nwith " + std::to_string(f.frames / 2048) +
                            " waves of 2048 samples.");
    }
    UserWaveSlot slot;
    ASSERT_TRUE(LoadUserWaveTable(slot, path));
    ASSERT_EQ(slot.Length(), f.loaded);
    EXPECT_EQ(slot.Samples()[0], f.first);
    EXPECT_EQ(slot.Samples()[f.loaded - 1], f.last);
    EXPECT_EQ(slot.Name(), FileNameOfPath(f.path));
    // Every sample: the file's own where it holds whole waves, the stretched cycle where it holds
    // fewer than 2048 frames.
    const int count = static_cast<int>(std::min<std::int64_t>(f.frames, f.loaded));
    std::vector<float> source(static_cast<std::size_t>(count), 0.0f);  // zeros where a file ends early
    reader.ReadWavSamples(source.data(), count);
    if (f.frames < 2048) {
      ExpectSamples(slot, 0, ExpectedWave(source, (f.frames - 1) / 2047.0, true));
    } else {
      std::vector<std::int16_t> direct;
      for (float v : source) direct.push_back(static_cast<std::int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
      ExpectSamples(slot, 0, direct);
    }
  }
  if (checked == 0) GTEST_SKIP() << "no real WAV files in the shared test data";
}

TEST(WaveTableImport, RealBlofieldDumps) {
  for (const char* name : {"BIRD-W.SYX", "GUITAR.SYX", "JUNO.SYX", "WATER.SYX"}) {
    SCOPED_TRACE(name);
    const std::string path = TestDataPath(std::string("waves/syx/") + name);
    const auto d = DescribeWaveTableFile(path);
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.text, "This is assumed to be a Blofield\nwave table file with 64 waves.");
    UserWaveSlot slot;
    ASSERT_TRUE(LoadUserWaveTable(slot, path));
    ASSERT_EQ(slot.Length(), 64u * 2048);
    EXPECT_EQ(slot.Name(), name);

    // Each wave starts exactly on its message's first sample and ends next to its last.
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> bytes(26240);
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    auto sample = [&](int m, int k) {
      const std::uint8_t* b = bytes.data() + m * 410 + 8 + 3 * k;
      double x = ((b[0] & 0x7F) * 16384 + (b[1] & 0x7F) * 128 + (b[2] & 0x7F)) / 1048575.0;
      if (b[0] & 0x40) x -= 2.0;
      return static_cast<std::int16_t>(static_cast<float>(std::clamp(x, -1.0, 1.0)) * 32767.0f);
    };
    for (int m : {0, 31, 63}) {
      EXPECT_EQ(slot.Samples()[m * 2048], sample(m, 0)) << m;
      EXPECT_NEAR(slot.Samples()[m * 2048 + 2047], sample(m, 127), 400) << m;
    }
    // Every wave, every sample: the message's 128 samples stretched by the cubic.
    for (int m = 0; m < 64; ++m) {
      SCOPED_TRACE(m);
      std::vector<float> source(128);
      for (int k = 0; k < 128; ++k) {
        const std::uint8_t* b = bytes.data() + m * 410 + 8 + 3 * k;
        double x = ((b[0] & 0x7F) * 16384 + (b[1] & 0x7F) * 128 + (b[2] & 0x7F)) / 1048575.0;
        if (b[0] & 0x40) x -= 2.0;
        source[static_cast<std::size_t>(k)] = static_cast<float>(x);
      }
      ExpectSamples(slot, static_cast<std::size_t>(m) * 2048, ExpectedWave(source, 127.0 / 2047.0, false));
    }
  }
}

}  // namespace
