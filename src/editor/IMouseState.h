#pragma once

// The buttons and modifier keys at the time of a mouse event.
struct IMouseState {
  bool L = false;  // left button
  bool R = false;  // right button
  bool S = false;  // Shift
  bool C = false;  // Ctrl
  bool A = false;  // Alt
};
