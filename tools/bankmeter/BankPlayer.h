#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Tarvolin.h"

// The instrument inside the meter's own process, playing programs of a bank on their preview phrases
// (PreviewPhrases.h) the way an offline bounce does: MIDI at its sample, wave tables ready before
// every block.
class BankPlayer {
 public:
  // bankFile: an FXB to load instead of the factory bank ("" keeps the factory bank). Answers an
  // instrument, or null with a message.
  static std::unique_ptr<BankPlayer> Create(double sampleRate, const std::string& bankFile, std::string* error);
  ~BankPlayer();

  int Programs() const;
  std::string ProgramName(int program) const;
  // Recalls the program and plays its phrase at 120 bpm followed by tailSeconds of release; the sound
  // goes into interleaved (stereo). Whatever earlier phrases left in the instrument stays, as it does
  // for a musician stepping through the bank.
  bool Play(int program, double tailSeconds, std::vector<float>* interleaved, std::string* error);

 private:
  explicit BankPlayer(double sampleRate);
  double sampleRate_;
  std::unique_ptr<Tarvolin> plug_;
};
