// tarvolin-render: a command-line VST 2 host. Loads any VST 2 instrument, plays a MIDI file or
// notes given on the command line through it, and writes the sound to a WAV file.
#include <sndfile.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "HostedPlugin.h"
#include "MidiSequence.h"
#include "NoteList.h"
#include "RenderOptions.h"

namespace {

struct TimedMidi {
  std::int64_t frame;
  SequenceEvent event;
};

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

std::string Decibels(double level) {
  if (!(level > 0.0)) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(level));
  return text;
}

bool ParseWholeNumber(const std::string& text, int* out) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseNormalised(const std::string& text, float* out) {
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  *out = static_cast<float>(v);
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// Finds a parameter by index or by name (letter case ignored); -1 when none.
int FindParameter(HostedPlugin& plug, const std::string& target, bool quiet) {
  int index = -1;
  if (ParseWholeNumber(target, &index)) return index >= 0 && index < plug.NumParams() ? index : -1;
  std::vector<int> matches;
  for (int i = 0; i < plug.NumParams(); ++i) {
    if (Lower(plug.ParamName(i)) == Lower(target)) matches.push_back(i);
  }
  if (matches.empty()) return -1;
  if (matches.size() > 1 && !quiet) {
    std::fprintf(stderr, "note: %zu parameters are named \"%s\"; using index %d (give an index to choose)\n",
                 matches.size(), target.c_str(), matches[0]);
  }
  return matches[0];
}

bool ApplyParameters(HostedPlugin& plug, const RenderOptions& o) {
  for (const ParameterSetting& s : o.parameters) {
    const int index = FindParameter(plug, s.target, o.quiet);
    if (index < 0) {
      std::fprintf(stderr, "error: no parameter \"%s\"\n", s.target.c_str());
      return false;
    }
    float normalised = 0;
    if (!s.asText && ParseNormalised(s.value, &normalised)) {
      if (!(normalised >= 0.0f && normalised <= 1.0f)) {
        std::fprintf(stderr, "error: %s: a normalised value lies in 0..1\n", s.target.c_str());
        return false;
      }
      plug.SetParam(index, normalised);
    } else if (!plug.SetParamText(index, s.value)) {
      std::fprintf(stderr, "error: parameter %d does not take \"%s\"\n", index, s.value.c_str());
      return false;
    }
    if (!o.quiet) {
      std::printf("parameter %d %s = %s %s\n", index, plug.ParamName(index).c_str(),
                  plug.ParamDisplay(index).c_str(), plug.ParamLabel(index).c_str());
    }
  }
  return true;
}

void ListParameters(HostedPlugin& plug) {
  std::printf("%d parameters:\n", plug.NumParams());
  for (int i = 0; i < plug.NumParams(); ++i) {
    std::printf("%4d  %-24s %-14s %-6s (%.4f)\n", i, plug.ParamName(i).c_str(), plug.ParamDisplay(i).c_str(),
                plug.ParamLabel(i).c_str(), static_cast<double>(plug.GetParam(i)));
  }
}

void ListPrograms(HostedPlugin& plug) {
  std::printf("%d programs (current %d):\n", plug.NumPrograms(), plug.CurrentProgram());
  for (int i = 0; i < plug.NumPrograms(); ++i) std::printf("%4d  %s\n", i, plug.ProgramName(i).c_str());
}

bool WriteWav(const std::string& path, const std::vector<float>& interleaved, int channels, int rate,
              const std::string& format) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (format == "16" ? SF_FORMAT_PCM_16 : format == "24" ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "error: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  sf_close(file);
  if (!ok) std::fprintf(stderr, "error: writing %s failed\n", path.c_str());
  return ok;
}

int Run(const RenderOptions& o) {
  HostedPlugin plug;
  plug.SetHostIdentity(o.hostVendor, o.hostProduct);
  std::string error;
  if (!plug.Load(o.plugin, &error)) {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return 1;
  }
  if (!o.quiet) {
    std::printf("%s by %s: %d parameters, %d programs, %d inputs, %d outputs%s\n", plug.EffectName().c_str(),
                plug.VendorName().c_str(), plug.NumParams(), plug.NumPrograms(), plug.NumInputs(),
                plug.NumOutputs(), plug.IsSynth() ? ", instrument" : "");
  }
  if (plug.NumOutputs() < 1 || plug.NumOutputs() > 64 || plug.NumInputs() < 0 || plug.NumInputs() > 64) {
    std::fprintf(stderr, "error: the plug-in reports %d inputs and %d outputs\n", plug.NumInputs(), plug.NumOutputs());
    return 1;
  }
  plug.Open(o.sampleRate, o.blockSize);
  if (o.program >= 0) {
    if (o.program >= plug.NumPrograms()) {
      std::fprintf(stderr, "error: the plug-in has %d programs\n", plug.NumPrograms());
      return 1;
    }
    plug.SetProgram(o.program);
  }
  if (!ApplyParameters(plug, o)) return 1;
  if (o.listPrograms) ListPrograms(plug);
  if (o.listParameters) ListParameters(plug);

  MidiSequence sequence;
  if (!o.midiFile.empty()) {
    if (!ReadMidiFile(o.midiFile, &sequence, &error)) {
      std::fprintf(stderr, "error: %s: %s\n", o.midiFile.c_str(), error.c_str());
      return 1;
    }
    if (sequence.tempos.empty()) sequence.tempos.push_back({0, std::llround(60e6 / o.tempo)});
  } else if (!o.notes.empty()) {
    if (!ParseNoteList(o.notes, o.velocity, o.tempo, o.channel, &sequence, &error)) {
      std::fprintf(stderr, "error: --notes: %s\n", error.c_str());
      return 1;
    }
  } else {
    if (o.listParameters || o.listPrograms) return 0;
    std::fprintf(stderr, "error: nothing to play: give --midi FILE or --notes LIST\n");
    return 1;
  }
  if (!o.quiet) {
    for (const std::string& w : sequence.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  }

  const TempoMap map(sequence, o.sampleRate);
  std::vector<TimedMidi> timeline;
  timeline.reserve(sequence.events.size());
  for (const SequenceEvent& e : sequence.events) {
    timeline.push_back({static_cast<std::int64_t>(std::llround(map.TickToFrame(e.tick))), e});
  }
  const double lastFrame = timeline.empty() ? 0.0 : static_cast<double>(timeline.back().frame);
  const double totalSeconds = lastFrame / o.sampleRate + o.tailSeconds;
  if (totalSeconds > o.maxSeconds) {
    std::fprintf(stderr, "error: the piece lasts %.0f s, more than --max-seconds %.0f\n", totalSeconds, o.maxSeconds);
    return 1;
  }
  const std::int64_t totalFrames = static_cast<std::int64_t>(std::ceil(totalSeconds * o.sampleRate));

  const int outputs = plug.NumOutputs();
  std::vector<std::vector<float>> buffers(static_cast<std::size_t>(outputs), std::vector<float>(static_cast<std::size_t>(o.blockSize)));
  std::vector<float*> pointers;
  for (auto& b : buffers) pointers.push_back(b.data());
  const int channels = 2;
  std::vector<float> interleaved(static_cast<std::size_t>(totalFrames) * channels);
  std::vector<VstMidiEvent> blockEvents;

  plug.Resume();
  const int repeats = o.bench ? o.repeat : 1;
  const double cpuStart = CpuSeconds();
  const double wallStart = WallSeconds();
  for (int pass = 0; pass < repeats; ++pass) {
    std::size_t next = 0;
    for (std::int64_t start = 0; start < totalFrames; start += o.blockSize) {
      const int frames = static_cast<int>(std::min<std::int64_t>(o.blockSize, totalFrames - start));
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
        float* out = interleaved.data() + start * channels;
        for (int j = 0; j < frames; ++j) {
          out[j * 2] = buffers[0][static_cast<std::size_t>(j)];
          out[j * 2 + 1] = buffers[outputs > 1 ? 1 : 0][static_cast<std::size_t>(j)];
        }
      }
    }
    if (pass + 1 < repeats) {
      // Start the next pass from silence, as a host does when the transport jumps back.
      plug.Suspend();
      plug.Resume();
    }
  }
  const double cpu = CpuSeconds() - cpuStart;
  const double wall = WallSeconds() - wallStart;
  plug.Suspend();

  double peak[2] = {0, 0};
  double sum[2] = {0, 0};
  for (std::int64_t j = 0; j < totalFrames; ++j) {
    for (int c = 0; c < 2; ++c) {
      const double v = interleaved[static_cast<std::size_t>(j * 2 + c)];
      peak[c] = std::max(peak[c], std::fabs(v));
      sum[c] += v * v;
    }
  }
  const double n = static_cast<double>(std::max<std::int64_t>(1, totalFrames));
  const double rms[2] = {std::sqrt(sum[0] / n), std::sqrt(sum[1] / n)};
  const double peakAll = std::max(peak[0], peak[1]);
  const double rmsAll = std::sqrt((sum[0] + sum[1]) / (2 * n));
  std::printf("rendered %.2f s (%lld frames at %.0f Hz, %zu MIDI events)\n", totalSeconds,
              static_cast<long long>(totalFrames), o.sampleRate, timeline.size());
  std::printf("peak %s (%.6f), RMS %s  [left peak %s RMS %s, right peak %s RMS %s]\n", Decibels(peakAll).c_str(),
              peakAll, Decibels(rmsAll).c_str(), Decibels(peak[0]).c_str(), Decibels(rms[0]).c_str(),
              Decibels(peak[1]).c_str(), Decibels(rms[1]).c_str());
  if (plug.MidiReceived() > 0 && !o.quiet) std::printf("the plug-in sent %d MIDI events back\n", plug.MidiReceived());
  if (o.bench) {
    const double audio = totalSeconds * repeats;
    const double frames = static_cast<double>(totalFrames) * repeats;
    std::printf("bench: %.3f s audio in %.3f s CPU (%.3f s wall): realtime factor %.1f, %.1f ns per frame\n", audio,
                cpu, wall, cpu > 0 ? audio / cpu : 0.0, frames > 0 ? cpu * 1e9 / frames : 0.0);
  }
  const std::string output = !o.output.empty() ? o.output : (o.bench ? "" : "out.wav");
  if (!output.empty()) {
    if (!WriteWav(output, interleaved, channels, static_cast<int>(std::lround(o.sampleRate)), o.sampleFormat)) return 1;
    if (!o.quiet) std::printf("wrote %s\n", output.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "error: %s\n\n%s", error.c_str(), RenderUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::printf("%s", RenderUsage().c_str());
    return 0;
  }
  return Run(options);
}
