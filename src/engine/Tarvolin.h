#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/Chorus.h"
#include "engine/ModulationGenerator.h"
#include "engine/ProductEditor.h"
#include "engine/TempoClocks.h"
#include "engine/Voice.h"
#include "synth/MidiEventQueue.h"
#include "synth/Synth.h"
#include "wavetable/WaveTableStore.h"

// The product: a polyphonic wave-table synthesizer. Owns the sound engine below the Synth layer: 64
// voices, the three wave tables and user slots, the modulation generators MG 1, MG 2 and Vibrato with
// the tempo clocks they follow, the chorus, and the instrument-wide controller values.
//
// MIDI arrives through HandleMidiMessage into the Synth layer's queue; the render loop takes it at
// the control ticks (one per millisecond of audio) and plays notes at their exact sample. Parameter
// changes from every source end in OnParameterChanged, which converts the value once and updates the
// instrument or all 64 voices.
class Tarvolin : public Synth {
 public:
  static constexpr int kVoices = 64;

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
  // Builds the editor's controls into the frame (once, from the constructor).
  void CreateEditor() override;
  // Idle time of the editor: the oscillator indicators and the paste button.
  void OnHostIdle() override;
  // The editor side of a parameter change: the controls that depend on the parameter follow (the
  // frequency / sync-rate pairs also while the window is closed).
  void UpdateEditorForParameter(int index);
  // The editor's controls, null without an editor.
  ProductEditor* EditorControls() const { return productEditor_.get(); }

  // The program state (ProgramState.h).
  bool SerializeProgramState(ChunkBuffer& chunk) override;
  int UnserializeProgramState(const ChunkBuffer& chunk, int pos) override;
  // Program states read ahead (ProgramState::Prepared): applying one never reads bytes, allocates
  // or builds a table, so that a program change may happen on the audio thread.
  std::shared_ptr<const PreparedState> PrepareProgramState(const ChunkBuffer& chunk, int pos) const override;
  void PrepareToPlay(const PreparedState& state) override;
  int ApplyProgramState(const PreparedState& state) override;
  std::shared_ptr<const PreparedState> StoreProgramState(ChunkBuffer& chunk) override;
  // Reads a bank body into the programs: worked out without the plug-in lock, swapped in under it
  // (BankLoad.h). The programs, names and live state it leaves are those of reading the programs in
  // turn.
  int UnserializePresets(const ChunkBuffer& chunk, int pos) override;

  // Clears the held notes and pending note events, lifts the sustain pedal and releases every voice.
  void SilenceAllVoices() override;

  // SilenceAllVoices, then every voice stops at once: what was sounding fades out over about 2 ms
  // of its own (rendered ahead, so the voices are free for new notes at once).
  void KillAllVoices();
  // Copies oscillator from's settings to oscillator to (0 ... 2) as the editor's "Copy Settings to
  // Oscillator" does; oscillator 1's AM settings are never copied, the sync and linear-FM settings
  // only between oscillators 2 and 3.
  void CopyOscillatorSettings(int from, int to);

  // True until construction has recalled the first program; wave-table changes build no tables
  // while it is set.
  bool Constructing() const { return waveTables_.Constructing(); }

  // Operations for the editor's menus, which run on the user-interface thread. Each reads files and
  // builds tables there, without the plug-in lock, and takes the lock only to swap the result in, so
  // that the audio thread never waits for them. (Programs, banks and program files: Synth and
  // IPlugBase; tunings: Synth.)
  //   LoadUserWaveTable  loads a WAV or SysEx file into user slot 0 ... 2 and builds its table;
  //                      every oscillator that plays the slot already changes to the new waves
  //                      (selecting the slot again with the value the oscillator has changes
  //                      nothing). False, with nothing changed, when the file cannot be loaded.
  //                      Other oscillators select the slot (SelectWaveTable) to hear it.
  //   SelectWaveTable    sets oscillator 0 ... 2's Wave Table parameter to identifier as the editor
  //                      does (reported to the host), after building the table, so that it plays
  //                      from the next block on.
  //   PrepareWaveTable   builds, without the plug-in lock, the table that selecting identifier
  //                      would play (user slots with their current content), so that a selection
  //                      the editor makes next is heard and shown at once.
  bool LoadUserWaveTable(int slot, const std::string& path);
  void SelectWaveTable(int oscillator, std::int32_t identifier);
  void PrepareWaveTable(std::int32_t identifier);
  // Waits until every table chosen so far is built and playing. Hosts rendering offline get this
  // before every block; tests use it. Not for the audio thread of a live performance.
  void FinishWaveTables();

  // The three oscillator wave tables, the user slots and the catalogue.
  WaveTableStore& WaveTables() { return waveTables_; }
  const WaveTableStore& WaveTables() const { return waveTables_; }

  // Engine state, for the editor and for tests.
  const Voice& GetVoice(int i) const { return voices_[static_cast<std::size_t>(i < 0 ? 0 : (i >= kVoices ? kVoices - 1 : i))]; }
  int VoiceCount() const { return voiceCount_; }
  bool Unison() const { return unison_; }
  bool XMode() const { return xMode_; }
  int XModeIndex() const { return xModeIndex_; }
  double Volume() const { return volume_; }
  // The gain the output is scaled by (volume, with unison the unison gain too), as the last sample
  // heard it; it moves to a new value over about 10 ms while anything sounds.
  double OutputGain() const { return outputGain_; }
  double MasterTune() const { return masterTune_; }
  double UnisonGain() const { return unisonGain_; }
  double ModWheel() const { return modWheel_; }
  double PitchBend() const { return pitchBend_; }
  double ChannelAftertouch() const { return channelAftertouch_; }
  bool SustainPedal() const { return sustain_; }
  bool ChorusOn() const { return chorusOn_; }
  std::int32_t StampCounter() const { return stampCounter_; }
  // MG 1, MG 2, Vibrato.
  const ModulationGenerator& Generator(int g) const { return generators_[static_cast<std::size_t>(g < 0 ? 0 : (g > 2 ? 2 : g))]; }
  const TempoClocks& Clocks() const { return clocks_; }
  const Chorus& GetChorus() const { return chorus_; }
  int PendingNoteEvents() const { return noteEvents_.Size(); }

  // Renders voice by voice, sample by sample, in the order the engine is defined by (slower). The
  // block renderer must give exactly the same samples; tests compare the two.
  void SetReferenceRendering(bool on) {
    referenceRendering_ = on;
    chorus_.SetSkipsSilence(!on);
  }

 private:
  void EngineReset();
  void ResizeBuffers();
  void StartControlTick();
  void ProcessMidiAtTick();
  void QueueNoteEvent(MidiMessage message);
  void RenderChunk(double* left, double* right, int count);
  void RenderVoices(double* left, double* right, int count);
  void ApplyNoteEvent(const MidiMessage& message);
  void NoteOn(int note, int velocity);
  void NoteOff(int note);
  void SetSustain(bool pedal);
  void DistributeDetune();
  void DistributeSpread();
  void TellVoices(int index, double engineValue, double normalised);
  // True while any voice sounds or a fade-out is still to be heard.
  bool Sounding() const;
  // Renders the rest of a sounding voice's sound, fading out over the fade length, into the fade
  // buffer that the next samples add to the mix. The caller then stops or restarts the voice.
  void FadeOut(Voice& voice);
  // Adds the pending fade-outs to count samples of the mix.
  void AddFades(double* left, double* right, int count);
  // The output gain moves to the volume (and unison gain) in a straight line while anything sounds.
  void UpdateOutputGain();
  // Samples of a setting's ramp: about 10 ms.
  std::int32_t RampSamples() const;
  // Oscillator o's table (bit o) changed: its voices recompute their wave position.
  void TellVoicesTablesChanged(unsigned oscillators);

  WaveTableStore waveTables_;
  std::unique_ptr<ProductEditor> productEditor_;
  std::unique_ptr<Voice[]> voices_;
  std::array<ModulationGenerator, 3> generators_;
  TempoClocks clocks_;
  Chorus chorus_;
  // Note on/off and sustain messages of the current control tick, offsets relative to its start.
  MidiEventQueue noteEvents_;

  double lastSampleRate_ = -1.0;
  int voiceCount_ = kVoices;
  bool unison_ = false;
  bool xMode_ = false;
  int xModeIndex_ = -1;
  std::array<bool, 3> oscOn_ = {true, true, true};
  double volume_ = 0.5;
  double masterTune_ = 0.0;
  double unisonDetune_ = 0.0;
  double unisonSpread_ = 0.0;
  double unisonGain_ = 0.125;
  double modWheel_ = 0.0;
  double pitchBend_ = 0.0;
  double channelAftertouch_ = 0.0;
  bool sustain_ = false;
  std::int32_t stampCounter_ = 0;
  bool chorusOn_ = false;
  std::array<bool, 3> syncFlags_ = {false, false, false};

  // Samples of the current control tick already rendered (a tick may span two blocks).
  int tickPosition_ = 0;
  bool referenceRendering_ = false;
  // Scratch for one control tick: the voice mix and the noise values the voices draw.
  std::vector<double> mixLeft_;
  std::vector<double> mixRight_;
  std::vector<double> noise_;
  std::vector<double> dropLeft_;
  std::vector<double> dropRight_;

  // Output gain as heard, moving to its target.
  double outputGain_ = 0.5;
  double outputGainTarget_ = 0.5;
  double outputGainStep_ = 0.0;
  std::int32_t outputGainSamplesLeft_ = 0;
  // Fade-outs of stopped voices: a ring of fade-length samples starting at the next sample to be
  // rendered, and scratch to render a voice's fade into (sized with the rate, never on the audio
  // thread).
  std::vector<double> fadeLeft_;
  std::vector<double> fadeRight_;
  std::vector<double> fadeScratchLeft_;
  std::vector<double> fadeScratchRight_;
  std::vector<double> fadeNoise_;
  int fadeHead_ = 0;
  int fadePending_ = 0;
};
