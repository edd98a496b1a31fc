#pragma once

#include <array>
#include <atomic>

#include "engine/ProductEditor.h"

class IControl;
class IGraphics;
class ISMBitmapControl;
class ISMButtonKick;
class ISMKnobControl;
class ISMSwitchMidiLearn;
class ISMUtilityKick;
class Tarvolin;

// The editor of the instrument: builds the background and the 158 controls of the layout table into
// the instance's frame, keeps the controls other parts of the instrument reach, and keeps them in
// step with the engine.
//
// Parameter changes arrive on any thread with the plug-in lock held; what they change on the
// controls (which of a frequency / sync-rate pair shows, the lit unison button, the learn switch)
// is left in atomics and applied by the frame's hand-over on the user-interface thread, at once
// when the change happens on that thread.
class TarvolinEditor : public ProductEditor {
 public:
  // The generators whose rate knob is a frequency / sync-rate pair: MG 1, MG 2, Vibrato.
  static constexpr int kGenerators = 3;

  TarvolinEditor(Tarvolin& plug, IGraphics& graphics);
  ~TarvolinEditor() override;

  void UpdateForParameter(int index) override;
  void OnHostIdle() override;

  // The controls kept, for tests and the displays built later.
  ISMBitmapControl* Indicator(int oscillator) const { return indicators_[Clamp3(oscillator)]; }
  IControl* WaveTableDisplay(int oscillator) const { return waveTableDisplays_[Clamp3(oscillator)]; }
  ISMKnobControl* FrequencyKnob(int generator) const { return frequencyKnobs_[Clamp3(generator)]; }
  ISMKnobControl* SyncRateKnob(int generator) const { return syncRateKnobs_[Clamp3(generator)]; }
  ISMButtonKick* UnisonButton(bool on) const { return unisonButtons_[on ? 1 : 0]; }
  ISMUtilityKick* PasteButton() const { return pasteButton_; }
  ISMSwitchMidiLearn* LearnSwitch() const { return learnSwitch_; }

 private:
  static std::size_t Clamp3(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i > 2 ? 2 : i)); }
  void Build();
  // Reads a sync parameter into its flag and has the pair follow.
  void NoteSync(int generator);
  // On the user-interface thread: applies what other threads left.
  void HandOver();
  void Request();

  Tarvolin& plug_;
  IGraphics& graphics_;
  std::array<ISMBitmapControl*, 3> indicators_{};
  std::array<IControl*, 3> waveTableDisplays_{};
  std::array<ISMKnobControl*, kGenerators> frequencyKnobs_{};
  std::array<ISMKnobControl*, kGenerators> syncRateKnobs_{};
  std::array<ISMButtonKick*, 2> unisonButtons_{};
  ISMUtilityKick* pasteButton_ = nullptr;
  ISMSwitchMidiLearn* learnSwitch_ = nullptr;
  bool pasteLit_ = false;

  std::array<std::atomic<bool>, kGenerators> syncOn_{};
  std::atomic<bool> unisonOn_{false};
  std::atomic<bool> unisonChanged_{false};
  // Bit o: oscillator o's wave-table display must redraw.
  std::atomic<unsigned> waveDisplaysChanged_{0};
};
