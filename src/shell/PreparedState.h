#pragma once

// A program state read from bytes into the form the product class applies it from, so that the
// reading, and anything else that takes time or memory, happens before the plug-in lock is taken
// (and never on the audio thread): the lock is then held only while the result is swapped in. Each
// product class defines its own; the framework only passes them along.
class PreparedState {
 public:
  virtual ~PreparedState() = default;
};
