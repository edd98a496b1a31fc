#pragma once

#include <atomic>

#include "editor/ISwitchControl.h"
#include "synth/ILearnControl.h"

class Synth;

// The MIDI-learn switch. Left click arms learning (on) or disarms it (off); while it is off, a right
// click changes its mode between learn (bind a controller to a parameter) and unlearn (remove the
// bindings of a controller or a parameter), each with its own artwork.
//
// The synthesizer turns it off when learning completes, which may happen on the audio thread (a
// controller arrives) or on the thread of any parameter change. SwitchOff only leaves a flag; the
// switch moves when the frame hands it over on the user-interface thread.
class ISMSwitchMidiLearn : public ISwitchControl, public ILearnControl {
 public:
  static constexpr int kActionId = -155;

  ISMSwitchMidiLearn(Synth* synth, int x, int y, const IImageStrip& bitmap);

  void OnMouseDown(int x, int y, const IMouseState& mouse) override;

  // ILearnControl; any thread, never waits.
  void SwitchOff() override;
  // User-interface thread: applies a SwitchOff that arrived since the last call.
  void ApplySwitchOff();

  bool LearnMode() const { return learnMode_; }

 private:
  Synth* synth_;
  bool learnMode_ = true;
  std::atomic<bool> switchOffRequested_{false};
};
