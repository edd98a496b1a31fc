// tarvolin-render: a command-line VST 2 host. Loads any VST 2 instrument, plays a MIDI file or
// notes given on the command line through it, and writes the sound to a WAV file. For Tarvolin it
// also loads and saves programs and banks, builds user wave tables and tunings into the current
// program, and renders a preview of every program.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BuiltInInstrument.h"
#include "FxFiles.h"
#include "HostedPlugin.h"
#include "MidiSequence.h"
#include "NoteList.h"
#include "Previews.h"
#include "ProgramStateBuilder.h"
#include "RenderOptions.h"
#include "Renderer.h"

namespace {

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

// The state after rendering, saved as a host saves it.
bool SaveFiles(HostedPlugin& plug, const RenderOptions& o) {
  std::string error;
  if (!o.saveFxp.empty()) {
    if (!FxFiles::SaveProgram(plug, o.saveFxp, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return false;
    }
    if (!o.quiet) std::printf("saved program %s\n", o.saveFxp.c_str());
  }
  if (!o.saveFxb.empty()) {
    if (!FxFiles::SaveBank(plug, o.saveFxb, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return false;
    }
    if (!o.quiet) std::printf("saved bank %s\n", o.saveFxb.c_str());
  }
  return true;
}

int Run(const RenderOptions& o) {
  HostedPlugin plug;
  plug.SetHostIdentity(o.hostVendor, o.hostProduct);
  std::string error;
  const bool builtIn = !o.screenshot.empty();
  if (builtIn && !o.plugin.empty() && !o.quiet) {
    std::fprintf(stderr, "note: --screenshot draws the Tarvolin built into this tool; %s is not loaded\n",
                 o.plugin.c_str());
  }
  if (builtIn ? !plug.Create(&BuiltInInstrument::Create, "the built-in Tarvolin", &error)
              : !plug.Load(o.plugin, &error)) {
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
  if (!o.fxbFile.empty()) {
    if (!FxFiles::LoadBank(plug, o.fxbFile, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return 1;
    }
    if (!o.quiet) std::printf("loaded bank %s\n", o.fxbFile.c_str());
  }
  if (o.program >= 0) {
    if (o.program >= plug.NumPrograms()) {
      std::fprintf(stderr, "error: the plug-in has %d programs\n", plug.NumPrograms());
      return 1;
    }
    plug.SetProgram(o.program);
  }
  if (!o.fxpFile.empty()) {
    if (!FxFiles::LoadProgram(plug, o.fxpFile, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return 1;
    }
    if (!o.quiet) std::printf("loaded program %s\n", o.fxpFile.c_str());
  }
  const ProgramChanges changes{o.waveTables, o.tuningFile, o.temperament};
  if (!changes.Empty()) {
    // Built offline by the instrument's own code, handed in as the host would hand in a program.
    std::vector<unsigned char> chunk = plug.GetChunk(false);
    std::vector<std::string> report;
    if (chunk.empty() || !ApplyProgramChanges(&chunk, changes, &error, &report)) {
      std::fprintf(stderr, "error: %s\n", chunk.empty() ? "the plug-in gives no program chunk" : error.c_str());
      return 1;
    }
    if (!plug.SetChunk(chunk, false)) {
      std::fprintf(stderr, "error: the plug-in refused the changed program\n");
      return 1;
    }
    if (!o.quiet) {
      for (const std::string& line : report) std::printf("%s\n", line.c_str());
    }
  }
  if (!ApplyParameters(plug, o)) return 1;
  if (o.listPrograms) ListPrograms(plug);
  if (o.listParameters) ListParameters(plug);
  if (builtIn) {
    if (!BuiltInInstrument::WriteScreenshot(plug.Effect(), o.screenshot, o.hoverParameter, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return 1;
    }
    if (!o.quiet) std::printf("wrote %s\n", o.screenshot.c_str());
  }

  RenderJob job;
  job.sampleRate = o.sampleRate;
  job.blockSize = o.blockSize;
  job.tailSeconds = o.tailSeconds;
  job.maxSeconds = o.maxSeconds;
  if (!o.previewsDir.empty()) {
    std::vector<Previews::Entry> entries;
    RenderJob previewJob = job;
    previewJob.tailSeconds = std::min(o.tailSeconds, 3.0);
    if (!Previews::RenderAll(plug, previewJob, o.tempo, o.sampleFormat, o.previewsDir, &entries, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return 1;
    }
    for (const Previews::Entry& e : entries) {
      std::printf("%3d  %-26s peak %-11s RMS %-11s %s\n", e.program, e.name.c_str(),
                  Decibels(e.levels.peakAll).c_str(), Decibels(e.levels.rmsAll).c_str(), e.file.c_str());
    }
    if (!o.quiet) std::printf("wrote %zu previews and index.txt to %s\n", entries.size(), o.previewsDir.c_str());
  }

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
  } else if (o.listParameters || o.listPrograms || !o.previewsDir.empty() || !o.saveFxp.empty() ||
             !o.saveFxb.empty() || builtIn) {
    return SaveFiles(plug, o) ? 0 : 1;
  } else {
    std::fprintf(stderr, "error: nothing to play: give --midi FILE or --notes LIST\n");
    return 1;
  }
  if (!o.quiet) {
    for (const std::string& w : sequence.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  }

  job.repeats = o.bench ? o.repeat : 1;
  RenderResult result;
  if (!RenderSequence(plug, sequence, job, &result, &error)) {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return 1;
  }
  const Levels levels = MeasureLevels(result.interleaved);
  std::printf("rendered %.2f s (%lld frames at %.0f Hz, %zu MIDI events)\n", result.seconds,
              static_cast<long long>(result.frames), o.sampleRate, result.events);
  std::printf("peak %s (%.6f), RMS %s  [left peak %s RMS %s, right peak %s RMS %s]\n",
              Decibels(levels.peakAll).c_str(), levels.peakAll, Decibels(levels.rmsAll).c_str(),
              Decibels(levels.peak[0]).c_str(), Decibels(levels.rms[0]).c_str(), Decibels(levels.peak[1]).c_str(),
              Decibels(levels.rms[1]).c_str());
  if (plug.MidiReceived() > 0 && !o.quiet) std::printf("the plug-in sent %d MIDI events back\n", plug.MidiReceived());
  if (o.bench) {
    const double audio = result.seconds * job.repeats;
    const double frames = static_cast<double>(result.frames) * job.repeats;
    const double cpu = result.cpuSeconds;
    std::printf("bench: %.3f s audio in %.3f s CPU (%.3f s wall): realtime factor %.1f, %.1f ns per frame\n", audio,
                cpu, result.wallSeconds, cpu > 0 ? audio / cpu : 0.0, frames > 0 ? cpu * 1e9 / frames : 0.0);
  }
  const std::string output = !o.output.empty() ? o.output : (o.bench ? "" : "out.wav");
  if (!output.empty()) {
    if (!WriteWav(output, result.interleaved, static_cast<int>(std::lround(o.sampleRate)), o.sampleFormat, &error)) {
      std::fprintf(stderr, "error: %s\n", error.c_str());
      return 1;
    }
    if (!o.quiet) std::printf("wrote %s\n", output.c_str());
  }
  return SaveFiles(plug, o) ? 0 : 1;
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
