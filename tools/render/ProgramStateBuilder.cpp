#include "ProgramStateBuilder.h"

#include <charconv>

#include "engine/Tarvolin.h"
#include "shell/ChunkBuffer.h"
#include "tuning/TuningState.h"
#include "wavetable/WaveTableStore.h"

namespace {

// The wave-table parameters of oscillators 1, 2, 3.
constexpr int kWaveTableParameter[3] = {11, 30, 50};
constexpr int kUserTuning = 14;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

int FindTemperament(const std::string& text) {
  int number = -1;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size()) {
    return number >= 0 && number < kUserTuning ? number : -1;
  }
  const std::vector<std::string> names = TemperamentNames();
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (Lower(names[static_cast<std::size_t>(i)]) == Lower(text)) return i;
  }
  return -1;
}

}  // namespace

std::vector<std::string> TemperamentNames() {
  TuningState tuning;
  std::vector<std::string> names;
  for (int i = 0; i < kUserTuning; ++i) names.push_back(tuning.GetTuningName(i));
  return names;
}

bool ApplyProgramChanges(std::vector<unsigned char>* chunk, const ProgramChanges& changes, std::string* error,
                         std::vector<std::string>* report) {
  Tarvolin offline(nullptr);
  ChunkBuffer in;
  in.Assign(chunk->data(), static_cast<int>(chunk->size()));
  std::int32_t version = 0;
  int pos = IPlugBase::ReadVersionHeader(in, 0, &version);
  pos = offline.UnserializeProgramState(in, pos);
  if (pos < 0) {
    *error = "the plug-in's program is not a Tarvolin program state";
    return false;
  }
  std::string name;
  if (pos < in.Size()) in.GetStr(&name, pos);

  for (const auto& [oscillator, path] : changes.waveTables) {
    if (oscillator < 1 || oscillator > 3) {
      *error = "wave tables go to oscillators 1 to 3";
      return false;
    }
    const int slot = oscillator - 1;
    if (!offline.WaveTables().LoadUserWaveTable(slot, path)) {
      *error = "cannot load the wave table " + path;
      return false;
    }
    const int index = kWaveTableParameter[slot];
    offline.GetParam(index)->SetPlainClamped(WaveTableStore::kFirstSlotIdentifier + slot);
    offline.OnParameterChanged(index);
    report->push_back("oscillator " + std::to_string(oscillator) + " plays " +
                      offline.WaveTables().Slot(slot).Name() + " (" +
                      std::to_string(offline.WaveTables().Slot(slot).Length() / 2048u) + " waves)");
  }
  if (!changes.tuningFile.empty()) {
    if (offline.Tuning().LoadTuningFile(changes.tuningFile) != 0) {
      *error = "cannot load the tuning " + changes.tuningFile;
      return false;
    }
    offline.Tuning().SelectTuning(kUserTuning);
    report->push_back("tuning: " + offline.Tuning().GetTuningName(kUserTuning));
  }
  if (!changes.temperament.empty()) {
    const int index = FindTemperament(changes.temperament);
    if (index < 0) {
      std::string list;
      for (const std::string& n : TemperamentNames()) list += (list.empty() ? "" : ", ") + n;
      *error = "no temperament \"" + changes.temperament + "\"; there are " + list;
      return false;
    }
    offline.Tuning().SelectTuning(index);
    report->push_back("tuning: " + offline.Tuning().GetTuningName(index));
  }

  // The program as a host chunk: version header, state, name.
  offline.GetProgram(offline.CurrentProgram())->name = name;
  ChunkBuffer out;
  IPlugBase::WriteVersionHeader(out);
  offline.SerializeProgramState(out);
  out.PutStr(name);
  chunk->assign(out.Data(), out.Data() + out.Size());
  return true;
}
