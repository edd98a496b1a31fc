#pragma once

// The keys a control can be handed, by code: space, the four arrows, the digits and the letters.
// Any other key is not handed to the editor's controls.
enum IKeyCode : int {
  kKeyNone = -1,
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,   // ... kKeyDigit0 + 9 for '9'
  kKeyLetterA = 15, // ... kKeyLetterA + 25 for 'Z'
};

// The code of a typed character: space, '0' ... '9', letters without regard to case; kKeyNone for
// anything else (the arrows have no character; the window maps them itself).
constexpr int KeyCodeForCharacter(int c) {
  if (c == ' ') return kKeySpace;
  if (c >= '0' && c <= '9') return kKeyDigit0 + (c - '0');
  if (c >= 'a' && c <= 'z') return kKeyLetterA + (c - 'a');
  if (c >= 'A' && c <= 'Z') return kKeyLetterA + (c - 'A');
  return kKeyNone;
}
