#include "RenderOptions.h"

#include <charconv>
#include <cmath>
#include <functional>

namespace {

bool ToDouble(const std::string& text, double* out) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(*out);
}

bool ToInt(const std::string& text, int* out) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

using Apply = std::function<bool(RenderOptions&, const std::string&, std::string*)>;

struct OptionRow {
  const char* name;
  const char* argument;  // nullptr: a flag
  const char* help;
  Apply apply;
};

Apply Number(double RenderOptions::*field, double min, double max) {
  return [=](RenderOptions& o, const std::string& v, std::string* e) {
    double d = 0;
    if (!ToDouble(v, &d) || d < min || d > max) {
      *e = "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
      return false;
    }
    o.*field = d;
    return true;
  };
}

Apply Integer(int RenderOptions::*field, int min, int max) {
  return [=](RenderOptions& o, const std::string& v, std::string* e) {
    int i = 0;
    if (!ToInt(v, &i) || i < min || i > max) {
      *e = "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max);
      return false;
    }
    o.*field = i;
    return true;
  };
}

Apply Text(std::string RenderOptions::*field) {
  return [=](RenderOptions& o, const std::string& v, std::string*) {
    o.*field = v;
    return true;
  };
}

Apply Flag(bool RenderOptions::*field) {
  return [=](RenderOptions& o, const std::string&, std::string*) {
    o.*field = true;
    return true;
  };
}

bool AddParameter(RenderOptions& o, const std::string& v, std::string* e) {
  ParameterSetting s;
  auto split = v.find(":=");
  if (split != std::string::npos) {
    s.asText = true;
    s.target = v.substr(0, split);
    s.value = v.substr(split + 2);
  } else {
    split = v.find('=');
    if (split == std::string::npos) {
      *e = "expected INDEX=VALUE or NAME=VALUE";
      return false;
    }
    s.target = v.substr(0, split);
    s.value = v.substr(split + 1);
  }
  if (s.target.empty()) {
    *e = "missing parameter index or name";
    return false;
  }
  o.parameters.push_back(s);
  return true;
}

bool AddWaveTable(RenderOptions& o, const std::string& v, std::string* e) {
  const auto split = v.find('=');
  int oscillator = 0;
  if (split == std::string::npos || !ToInt(v.substr(0, split), &oscillator) || oscillator < 1 || oscillator > 3 ||
      split + 1 >= v.size()) {
    *e = "expected N=FILE with N from 1 to 3";
    return false;
  }
  for (const auto& [n, file] : o.waveTables) {
    if (n == oscillator) {
      *e = "oscillator " + std::to_string(oscillator) + " has a wave table already";
      return false;
    }
  }
  o.waveTables.emplace_back(oscillator, v.substr(split + 1));
  return true;
}

bool SampleFormat(RenderOptions& o, const std::string& v, std::string* e) {
  if (v != "float" && v != "24" && v != "16") {
    *e = "expected float, 24 or 16";
    return false;
  }
  o.sampleFormat = v;
  return true;
}

const std::vector<OptionRow>& Rows() {
  static const std::vector<OptionRow> rows = {
      {"--midi", "FILE", "play a Standard MIDI File (format 0, 1 or 2)", Text(&RenderOptions::midiFile)},
      {"--notes", "LIST", "play notes and chords, e.g. \"C4 E4 G4:2 C4+E4+G4@90:4 r:1\"", Text(&RenderOptions::notes)},
      {"--out", "FILE", "WAV file to write (default out.wav; none with --bench unless given)", Text(&RenderOptions::output)},
      {"--rate", "HZ", "sample rate (default 44100)", Number(&RenderOptions::sampleRate, 8000, 768000)},
      {"--block", "FRAMES", "block size (default 512)", Integer(&RenderOptions::blockSize, 1, 65536)},
      {"--program", "N", "select program N before playing", Integer(&RenderOptions::program, 0, 1 << 20)},
      {"--param", "P=V", "set parameter P (index or name) to normalised V, or to a display text; "
                         "P:=TEXT hands TEXT to the plug-in's own parser (repeatable)", AddParameter},
      {"--fxp", "FILE", "load a program file (FXP) into the current program, as a host does",
       Text(&RenderOptions::fxpFile)},
      {"--fxb", "FILE", "load a bank file (FXB) into the programs, as a host does", Text(&RenderOptions::fxbFile)},
      {"--save-fxp", "FILE", "save the current program as an FXP file after rendering", Text(&RenderOptions::saveFxp)},
      {"--save-fxb", "FILE", "save all programs as an FXB file after rendering", Text(&RenderOptions::saveFxb)},
      {"--wavetable", "N=FILE", "load a WAV or SYX wave table into user slot N and play it on oscillator N "
                                "(N 1-3; repeatable)", AddWaveTable},
      {"--tuning", "FILE", "retune with a TUN, SCL or KBM file", Text(&RenderOptions::tuningFile)},
      {"--temperament", "NAME", "retune with a built-in temperament (name or number 0-13)",
       Text(&RenderOptions::temperament)},
      {"--previews", "DIR", "render a short phrase of every program into DIR, with an index of levels",
       Text(&RenderOptions::previewsDir)},
      {"--screenshot", "FILE", "draw the editor of the Tarvolin built into this tool, off screen, at the program "
                               "and parameters given, into a PNG file (no plug-in needed)",
       Text(&RenderOptions::screenshot)},
      {"--hover", "INDEX", "with --screenshot: the pointer rests on the control of parameter INDEX",
       Integer(&RenderOptions::hoverParameter, 0, 1 << 20)},
      {"--list-params", nullptr, "list the parameters with their display texts", Flag(&RenderOptions::listParameters)},
      {"--list-programs", nullptr, "list the programs", Flag(&RenderOptions::listPrograms)},
      {"--tail", "SECONDS", "time rendered after the last event (default 2)", Number(&RenderOptions::tailSeconds, 0, 600)},
      {"--tempo", "BPM", "tempo of --notes and of a MIDI file without tempo (default 120)", Number(&RenderOptions::tempo, 1, 1000)},
      {"--velocity", "V", "velocity of --notes (default 100)", Integer(&RenderOptions::velocity, 1, 127)},
      {"--channel", "N", "MIDI channel 1-16 of --notes (default 1)",
       [](RenderOptions& o, const std::string& v, std::string* e) {
         int c = 0;
         if (!ToInt(v, &c) || c < 1 || c > 16) {
           *e = "expected a channel from 1 to 16";
           return false;
         }
         o.channel = c - 1;
         return true;
       }},
      {"--format", "F", "WAV sample format: float (default), 24 or 16", SampleFormat},
      {"--bench", nullptr, "render as fast as possible and print the realtime factor", Flag(&RenderOptions::bench)},
      {"--repeat", "N", "with --bench: render the piece N times (default 1)", Integer(&RenderOptions::repeat, 1, 100000)},
      {"--max-seconds", "S", "refuse pieces longer than S seconds (default 3600)", Number(&RenderOptions::maxSeconds, 1, 86400)},
      {"--host-vendor", "TEXT", "vendor string the host reports", Text(&RenderOptions::hostVendor)},
      {"--host-product", "TEXT", "product string the host reports", Text(&RenderOptions::hostProduct)},
      {"--quiet", nullptr, "print only the results", Flag(&RenderOptions::quiet)},
      {"--help", nullptr, "show this text", Flag(&RenderOptions::help)},
  };
  return rows;
}

}  // namespace

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions* o, std::string* error) {
  *o = RenderOptions{};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
      const OptionRow* row = nullptr;
      for (const OptionRow& r : Rows()) {
        if (arg == r.name) row = &r;
      }
      if (row == nullptr) {
        *error = "unknown option " + arg;
        return false;
      }
      if (row->argument != nullptr && !inlineValue) {
        if (i + 1 >= argc) {
          *error = arg + " needs " + row->argument;
          return false;
        }
        value = argv[++i];
      } else if (row->argument == nullptr && inlineValue) {
        *error = arg + " takes no value";
        return false;
      }
      std::string why;
      if (!row->apply(*o, value, &why)) {
        *error = arg + ": " + why;
        return false;
      }
    } else if (o->plugin.empty()) {
      o->plugin = arg;
    } else {
      *error = "unexpected argument " + arg;
      return false;
    }
  }
  if (o->help) return true;
  // A screenshot draws the instrument built into the tool.
  if (o->plugin.empty() && o->screenshot.empty()) {
    *error = "no plug-in given";
    return false;
  }
  if (!o->midiFile.empty() && !o->notes.empty()) {
    *error = "give either --midi or --notes, not both";
    return false;
  }
  if (!o->tuningFile.empty() && !o->temperament.empty()) {
    *error = "give either --tuning or --temperament, not both";
    return false;
  }
  return true;
}

std::string RenderUsage() {
  std::string text =
      "usage: tarvolin-render PLUGIN.so [options]\n"
      "       tarvolin-render --screenshot FILE.png [--program N] [--param P=V ...] [options]\n"
      "Loads a VST 2 instrument, plays MIDI through it and writes a WAV file. Programs, banks,\n"
      "wave tables and tunings are handed to the plug-in as a host hands them in.\n\n";
  for (const OptionRow& r : Rows()) {
    std::string left = std::string("  ") + r.name + (r.argument != nullptr ? std::string(" ") + r.argument : "");
    if (left.size() < 24) left.resize(24, ' ');
    text += left + " " + r.help + "\n";
  }
  return text;
}
