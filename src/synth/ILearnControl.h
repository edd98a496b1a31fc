#pragma once

// What the synthesizer needs of the editor's MIDI-learn switch: once learning has bound or unbound
// a controller, the switch goes back to off. Implemented by the editor's switch control.
class ILearnControl {
 public:
  virtual ~ILearnControl() = default;
  // Sets the switch to its off value (0) and redraws it.
  virtual void SwitchOff() = 0;
};
