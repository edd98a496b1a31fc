#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class UserWaveSlot;
class WavReader;

// Import of user wave tables into a user slot: mono WAV files (a single cycle of any length, or a
// sequence of 2048-sample waves) and Blofield wave-table SysEx dumps (410-byte messages of 128
// samples each). Everything ends as waves of 2048 samples handed to the slot with the file's name.

struct WaveTableFileDescription {
  bool accepted = false;
  std::string text;
};

// Inspects a chosen file and composes the text the wave-table control shows before loading.
//   ".wav": refused without text unless it is a readable mono WAV; otherwise the text tells a
//           single cycle, a wave table, or a file treated as one.
//   ".syx": accepted when its size is a multiple of 410 and it starts with a Blofield wave-table
//           dump header; otherwise refused with the invalid-format text naming the file.
//   other:  accepted without text (the load that follows fails).
WaveTableFileDescription DescribeWaveTableFile(const std::string& path);

// Loads a ".wav" or ".syx" file (extension compared without regard to case) into the slot. False,
// with the slot unchanged, for any other extension, a file that cannot be read (also one that is no
// regular file, or larger than WavReader::kMaxFileSize or than kMaxSysExMessages messages), a WAV
// that is not mono or holds fewer than two sample frames, and a SysEx file with a broken message.
bool LoadUserWaveTable(UserWaveSlot& slot, const std::string& path);

// The pieces of the above, usable on data in memory.

// The part after the last "/" or "\".
std::string FileNameOfPath(const std::string& path);
// The text from the last "." that follows the last "/" or "\", or "".
std::string ExtensionOfPath(const std::string& path);

// The description of a WAV that reader has opened (refused without text when it is not mono).
WaveTableFileDescription DescribeWav(const WavReader& reader);
// The description of a SysEx file of fileSize bytes whose first bytes are head (available of them).
WaveTableFileDescription DescribeSysEx(const std::uint8_t* head, std::size_t available,
                                       std::uint64_t fileSize, const std::string& fileName);

// The waves of a mono WAV that reader has opened: the first 1 ... 64 waves of 2048 samples, zeros
// where a truncated file ends early, or one single cycle resampled to 2048 samples when the file
// holds fewer than 2048 frames. False for other channel counts and for fewer than two frames.
bool ReadWavWaves(WavReader& reader, std::vector<float>* waves);

// One wave of 2048 samples per 410-byte message of a Blofield wave-table dump (bytes beyond the
// last whole message are ignored). False when a message breaks the header rule, when there is no
// whole message, or when there are more than kMaxSysExMessages (128 tables of 64 waves; a file of
// more is not read).
constexpr int kMaxSysExMessages = 8192;
bool DecodeSysExWaves(const std::uint8_t* data, std::size_t size, std::vector<float>* waves);

// Four-point cubic (Catmull-Rom) interpolation between y1 and y2 at fraction t.
double CubicInterpolate(double y0, double y1, double y2, double y3, double t);

// A single cycle of count (>= 2) samples stretched to 2048 samples; the first and last output
// samples fall on the first and last source samples.
void ResampleSingleCycle(const float* source, int count, float* out);

// The 128 samples of one SysEx wave stretched to 2048, read as one period.
void ResampleSysExWave(const float* source, float* out);
