#pragma once

#include "synth/Synth.h"
#include "wavetable/WaveTableStore.h"

// The product: a polyphonic wave-table synthesizer. Owns the sound engine below the Synth layer.
//
// The engine plugs in here: 64 voices, three wave tables and three user wave-table slots, the
// modulation generators (MG 1, MG 2, Vibrato), the chorus and the wave-table catalogue, built in the
// constructor before the parameters are created; OnReset rebuilds what depends on the sample rate,
// OnParameterChanged routes each parameter to instrument-wide state or the voices, RenderBlock runs
// the voices.
class Tarvolin : public Synth {
 public:
  static const PluginInfo& Identity();

  explicit Tarvolin(HostCallback host);
  ~Tarvolin() override;

  void OnReset() override;
  void OnParameterChanged(int index) override;
  void RenderBlock(double** inputs, double** outputs, int frames) override;
  void HandleMidiMessage(const MidiMessage& message) override;
  void CreateParameters() override;
  // Parameter defaults, equal temperament, empty user wave tables; stored as "Init".
  void InitCurrentProgram() override;

  // The program state (ProgramState.h).
  bool SerializeProgramState(ChunkBuffer& chunk) override;
  int UnserializeProgramState(const ChunkBuffer& chunk, int pos) override;

  // True until construction has recalled the first program; wave-table changes build no tables
  // while it is set.
  bool Constructing() const { return waveTables_.Constructing(); }

  // The three oscillator wave tables, the user slots and the catalogue.
  WaveTableStore& WaveTables() { return waveTables_; }
  const WaveTableStore& WaveTables() const { return waveTables_; }

 private:
  WaveTableStore waveTables_;
  double lastSampleRate_ = -1.0;
};
