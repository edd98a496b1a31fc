#pragma once

#include <memory>

class Tarvolin;

// The instrument's side of its editor: what the product class tells the editor after a parameter
// change and at idle time. The editor's controls are built into the instance's graphics frame when
// it is made; a library without an editor makes none.
class ProductEditor {
 public:
  virtual ~ProductEditor() = default;
  // A parameter changed (any thread, plug-in lock held): the controls that depend on it follow.
  virtual void UpdateForParameter(int index) = 0;
  // Idle time on the user-interface thread: the oscillator indicators and the paste button.
  virtual void OnHostIdle() = 0;
};

// Builds the editor's layout into plug's frame; null when the library has no editor or the instance
// has no graphics frame.
std::unique_ptr<ProductEditor> BuildProductEditor(Tarvolin& plug);
