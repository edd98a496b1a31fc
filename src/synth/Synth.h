#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "shell/ChunkBuffer.h"
#include "shell/IPlugVST.h"
#include "synth/Configuration.h"
#include "synth/ILearnControl.h"
#include "synth/HeldNoteMap.h"
#include "synth/MidiEventQueue.h"
#include "synth/MidiMessage.h"
#include "tuning/MtsClient.h"
#include "tuning/TuningState.h"

class IPlugEditor;

// The layer between the host binding and the product class: what every synthesizer of this family
// needs besides its sound engine.
//
// Owned here (some arrive with later work, each marked where it plugs in):
//   - the MIDI event queue carrying host MIDI to the render loop, and the held-note map;
//   - the MIDI options (MIDI Thru, Ignore Program Change) and the configuration file;
//   - the MIDI controller map and its learn state;
//   - the tuning state and the MTS-ESP client record;
//   - a one-program clipboard and the editor object.
class Synth : public IPlugVST {
 public:
  static constexpr int kControllerCount = 120;

  Synth(const PluginInfo& info, HostCallback host);
  ~Synth() override;

  // The editor window: fixed size, redrawn up to 25 times a second.
  static constexpr int kEditorWidth = 1127;
  static constexpr int kEditorHeight = 776;
  static constexpr int kEditorFrameRate = 25;

  // Virtual operations added by this layer, in slot order after IPlugBase's.
  virtual void CreateEditor() {}                                   // 43
  virtual IPlugEditor* GetEditor() { return editor_.get(); }      // 44
  virtual void SilenceAllVoices() {}                               // 45
  virtual void LoadStartupOrFactoryBank();                         // 46
  virtual void CreateParameters() {}                               // 47
  virtual void InitCurrentProgram();                               // 48

  void OnReset() override;
  void OnParameterChanged(int index) override;
  void OnActivation(bool active) override;

  // MIDI controller map and learn.
  //   ApplyController: a controller message (other than the modulation wheel and sustain) taken
  //   from the queue at a control tick drives the parameter mapped to its controller.
  //   CaptureLearnController: while learn is armed, an incoming controller 0 ... 119 is captured
  //   for learning instead of being played.
  void ApplyController(const MidiMessage& message);
  void CaptureLearnController(int controller);
  // The learn switch was clicked: armed when its value is above 0, in unlearn mode when the switch
  // is; either way nothing has been captured yet.
  void ArmLearn(double switchValue, bool unlearn);
  // Sets one entry of the map as the configuration file does (any number is kept as it is).
  void SetControllerMapping(int controller, std::int32_t parameter);
  // The editor's learn switch, turned off when learning finishes; null until the editor's controls
  // exist.
  void SetLearnControl(ILearnControl* control);
  ILearnControl* LearnControl() const { return learnControl_; }

  // Configuration file (Configuration.h). ReadConfiguration answers Configuration::kReadOk, or
  // Configuration::kFileMissing when the file does not exist; the write operations answer whether
  // the file was written.
  int ReadConfiguration();
  bool WriteProgramFilesPath(const std::string& folder);
  bool WriteStartupBank();
  bool SetStartupBank(const std::string& path);
  bool ClearStartupBank();
  // which: Configuration::kWriteAll, kWriteMidiThru or kWriteIgnoreProgramChange.
  bool WriteMidiSettings(int which);
  const Configuration& Config() const { return config_; }

  // Loads the factory bank from the library's resources into the programs.
  void LoadFactoryBank();

  // Program commands of the editor's menus. They run on the user-interface thread: whatever takes
  // time (building the tables the new program plays) happens there before the plug-in lock is
  // taken, and the lock only covers swapping the result in. The program and bank files of the menus
  // are IPlugBase's ReadProgramFile, ReadBankFile, WriteProgramFile and WriteBankFile, which work
  // the same way.
  void CopyProgram();
  // Answers false (and does nothing) when the clipboard is empty.
  bool PasteProgram();
  // Whether a program has been copied (the clipboard belongs to the user-interface thread).
  bool ClipboardHoldsProgram() const { return clipboardProgram_ >= 0; }
  void SelectProgram(int index);

  // Tuning commands of the editor's menus, likewise: the file is read and the tuning computed
  // without the lock. LoadTuningFile answers 0 on success and 8 on failure and selects nothing
  // (TuningState.h); SelectTuning makes tuning 0-14 active.
  int LoadTuningFile(const std::string& path);
  void SelectTuning(int index);

  // Render-loop timing: samples per control tick (trunc(sample rate) / 1000) and the samples left
  // before the next tick.
  int ControlInterval() const { return controlInterval_; }
  int& ControlCountdown() { return controlCountdown_; }

  bool MidiThru() const { return midiThru_; }
  void SetMidiThru(bool on) { midiThru_ = on; }
  bool IgnoreProgramChange() const { return ignoreProgramChange_; }
  void SetIgnoreProgramChange(bool on) { ignoreProgramChange_ = on; }

  // Controller map: parameter index per MIDI controller 0 .. 119, -1 when unmapped.
  const std::array<std::int32_t, kControllerCount>& ControllerMap() const { return controllerMap_; }
  bool LearnArmed() const { return learnArmed_; }
  bool UnlearnMode() const { return unlearnMode_; }

  // The tuning selection, the active and user tuning tables and the Scala importer.
  TuningState& Tuning() { return tuning_; }
  const TuningState& Tuning() const { return tuning_; }

  // Start pitch of a MIDI note for a voice: from the MTS-ESP master while one is connected (the pitch
  // whose frequency is closest to the master's, found by bisection), else from the active tuning
  // table (0 outside 0 ... 127).
  std::int32_t GetNotePitch(int note) const;
  // Name of tuning 0 ... 14 (above 14, the current one); while an MTS-ESP master is connected, the
  // master's scale name instead.
  std::string GetTuningName(int index) const;
  // This instance's MTS-ESP registration (null only while the instance is being built or destroyed).
  const MtsClient* Mts() const { return mts_.get(); }
  // Whether an MTS-ESP master tunes the instrument now (asked anew each time).
  bool MtsMasterPresent() const { return mts_ && mts_->Online(); }

  // The folder the editor's wave-table and tuning file dialogs open in: the documents folder until
  // one of them chooses a file, then that file's folder. User-interface thread only.
  std::string& FileDialogFolder();

  // MIDI waiting for the render loop, and the keys held.
  MidiEventQueue& MidiQueue() { return midiQueue_; }
  const MidiEventQueue& MidiQueue() const { return midiQueue_; }
  const HeldNoteMap& HeldNotes() const { return heldNotes_; }
  // velocity > 0 records a held note (replacing its velocity), velocity <= 0 removes it.
  void RecordHeldNote(int note, int velocity) { heldNotes_.Record(note, velocity); }

 protected:
  // Reports every parameter's normalised value to the host.
  void ReportAllParameters();

  // Completes a binding (or an unbinding) once learn has captured what it waits for.
  void LearnStep();

  // Queues a message for the render loop. Offsets arrive relative to the coming block; the queue
  // keeps them relative to the next control tick, which lies countdown samples into the block when
  // the previous block ended inside a tick. With tickRounding, a message later than the first tick
  // moves to the nearest tick instead of the earlier one.
  void QueueMidi(MidiMessage message, bool tickRounding);

  MidiEventQueue midiQueue_;
  HeldNoteMap heldNotes_;

  // Detaches and destroys the editor object; the product class does this first in its destructor,
  // so that the frame and its controls go before the engine they show.
  void ReleaseEditor();

  // The editor object (the platform's graphics frame), created by the constructor; null when the
  // library is built without an editor.
  std::unique_ptr<IPlugEditor> editor_;

  int clipboardProgram_ = -1;
  ChunkBuffer clipboard_;
  // The clipboard read ahead, when the product class keeps prepared states.
  std::shared_ptr<const PreparedState> clipboardPrepared_;
  int controlCountdown_ = 0;
  int controlInterval_ = 0;
  bool midiThru_ = false;
  bool ignoreProgramChange_ = false;

  // MIDI controller map and learn (filled in with the controller-map work).
  std::array<std::int32_t, kControllerCount> controllerMap_;
  bool learnArmed_ = false;
  bool unlearnMode_ = false;
  int learnedController_ = -1;
  int learnedParameter_ = -1;

  // Selection 0 (equal temperament) with the user table copied from the active one.
  TuningState tuning_;

  Configuration config_;
  ILearnControl* learnControl_ = nullptr;

  // Created last in construction, released first in destruction.
  std::unique_ptr<MtsClient> mts_;

  std::string fileDialogFolder_;
};
