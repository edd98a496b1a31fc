#include "Renderer.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "HostedPlugin.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TimedMidi {
  std::int64_t frame;
  SequenceEvent event;
};

}  // namespace

bool RenderSequence(HostedPlugin& plug, const MidiSequence& sequence, const RenderJob& job, RenderResult* result,
                    std::string* error) {
  const TempoMap map(sequence, job.sampleRate);
  std::vector<TimedMidi> timeline;
  timeline.reserve(sequence.events.size());
  for (const SequenceEvent& e : sequence.events) {
    timeline.push_back({static_cast<std::int64_t>(std::llround(map.TickToFrame(e.tick))), e});
  }
  const double lastFrame = timeline.empty() ? 0.0 : static_cast<double>(timeline.back().frame);
  const double totalSeconds = lastFrame / job.sampleRate + job.tailSeconds;
  if (totalSeconds > job.maxSeconds) {
    char text[160];
    std::snprintf(text, sizeof text, "the piece lasts %.0f s, more than --max-seconds %.0f", totalSeconds,
                  job.maxSeconds);
    *error = text;
    return false;
  }
  const std::int64_t totalFrames = static_cast<std::int64_t>(std::ceil(totalSeconds * job.sampleRate));
  const int outputs = plug.NumOutputs();
  std::vector<std::vector<float>> buffers(static_cast<std::size_t>(outputs),
                                          std::vector<float>(static_cast<std::size_t>(job.blockSize)));
  std::vector<float*> pointers;
  for (auto& b : buffers) pointers.push_back(b.data());
  result->interleaved.assign(static_cast<std::size_t>(totalFrames) * 2, 0.0f);
  result->frames = totalFrames;
  result->seconds = totalSeconds;
  result->events = timeline.size();
  std::vector<VstMidiEvent> blockEvents;

  plug.Resume();
  const double cpuStart = CpuSeconds();
  const double wallStart = WallSeconds();
  for (int pass = 0; pass < std::max(1, job.repeats); ++pass) {
    std::size_t next = 0;
    for (std::int64_t start = 0; start < totalFrames; start += job.blockSize) {
      const int frames = static_cast<int>(std::min<std::int64_t>(job.blockSize, totalFrames - start));
      blockEvents.clear();
      while (next < timeline.size() && timeline[next].frame < start + frames) {
        VstMidiEvent m{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = static_cast<std::int32_t>(std::max<std::int64_t>(0, timeline[next].frame - start));
        m.midiData[0] = static_cast<char>(timeline[next].event.status);
        m.midiData[1] = static_cast<char>(timeline[next].event.data1);
        m.midiData[2] = static_cast<char>(timeline[next].event.data2);
        blockEvents.push_back(m);
        ++next;
      }
      plug.SetTransport(static_cast<double>(start), map, start == 0);
      plug.SendEvents(blockEvents);
      plug.Process(pointers.data(), frames);
      if (pass == 0) {
        float* out = result->interleaved.data() + start * 2;
        for (int j = 0; j < frames; ++j) {
          out[j * 2] = buffers[0][static_cast<std::size_t>(j)];
          out[j * 2 + 1] = buffers[outputs > 1 ? 1 : 0][static_cast<std::size_t>(j)];
        }
      }
    }
    if (pass + 1 < job.repeats) {
      // Start the next pass from silence, as a host does when the transport jumps back.
      plug.Suspend();
      plug.Resume();
    }
  }
  result->cpuSeconds = CpuSeconds() - cpuStart;
  result->wallSeconds = WallSeconds() - wallStart;
  plug.Suspend();
  return true;
}

Levels MeasureLevels(const std::vector<float>& interleaved) {
  Levels levels;
  double sum[2] = {0.0, 0.0};
  const std::size_t frames = interleaved.size() / 2;
  for (std::size_t j = 0; j < frames; ++j) {
    for (int c = 0; c < 2; ++c) {
      const double v = interleaved[j * 2 + static_cast<std::size_t>(c)];
      levels.peak[c] = std::max(levels.peak[c], std::fabs(v));
      sum[c] += v * v;
    }
  }
  const double n = static_cast<double>(std::max<std::size_t>(1, frames));
  for (int c = 0; c < 2; ++c) levels.rms[c] = std::sqrt(sum[c] / n);
  levels.peakAll = std::max(levels.peak[0], levels.peak[1]);
  levels.rmsAll = std::sqrt((sum[0] + sum[1]) / (2 * n));
  return levels;
}

std::string Decibels(double level) {
  if (!(level > 0.0)) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(level));
  return text;
}

bool WriteWav(const std::string& path, const std::vector<float>& interleaved, int rate, const std::string& format,
              std::string* error) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (format == "16" ? SF_FORMAT_PCM_16 : format == "24" ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / 2);
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  sf_close(file);
  if (!ok) *error = "writing " + path + " failed";
  return ok;
}
