#pragma once

#include <string>
#include <utility>
#include <vector>

// Command line of tarvolin-render. Options are rows of one table (RenderOptions.cpp): adding one is
// adding a row and a field.

struct ParameterSetting {
  std::string target;   // index or name
  std::string value;
  bool asText = false;  // NAME:=TEXT goes through the plug-in's own text parser
};

struct RenderOptions {
  std::string plugin;
  std::string midiFile;
  std::string notes;
  std::string output;       // empty: "out.wav", or no file with --bench
  double sampleRate = 44100.0;
  int blockSize = 512;
  int program = -1;
  std::vector<ParameterSetting> parameters;
  bool listParameters = false;
  bool listPrograms = false;
  double tailSeconds = 2.0;
  double tempo = 120.0;
  int velocity = 100;
  int channel = 0;
  std::string sampleFormat = "float";  // float, 24, 16
  bool bench = false;
  int repeat = 1;
  double maxSeconds = 3600.0;
  // Programs and banks loaded before playing (a bank first) and saved after it.
  std::string fxpFile;
  std::string fxbFile;
  std::string saveFxp;
  std::string saveFxb;
  // User wave tables (oscillator 1 ... 3, file) and a tuning, built into the current program.
  std::vector<std::pair<int, std::string>> waveTables;
  std::string tuningFile;
  std::string temperament;
  // Folder for one preview per program of the loaded bank.
  std::string previewsDir;
  // PNG file for a picture of the editor of the Tarvolin built into the tool (no plug-in needed).
  std::string screenshot;
  // With --screenshot: the parameter whose knob the pointer rests on (its value read-out shows).
  int hoverParameter = -1;
  std::string hostVendor = "Stonemoor Music";
  std::string hostProduct = "tarvolin-render";
  bool quiet = false;
  bool help = false;
};

// Parses argv; answers false with a message for a bad command line.
bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions* options, std::string* error);
std::string RenderUsage();
