#pragma once

#include "tuning/MtsClientGlobal.h"

// One instance's registration with the MTS-ESP library: registers when the synthesizer is built and
// deregisters when it is destroyed. While a master is connected ("online") its tuning replaces the
// instrument's own for every new note, it may filter notes out, and its scale name is the tuning
// name shown. Without a library or a master everything answers as if MTS-ESP did not exist.
class MtsClient {
 public:
  static constexpr int kNameSize = 17;

  explicit MtsClient(MtsClientGlobal& binding = MtsClientGlobal::Instance());
  ~MtsClient();
  MtsClient(const MtsClient&) = delete;
  MtsClient& operator=(const MtsClient&) = delete;

  bool Online() const { return binding_.MasterConnected(); }
  // Hz of a MIDI note (taken modulo 128): the master's while online, equal temperament otherwise.
  double NoteFrequency(int note) const;
  // Whether the master wants this note-on dropped; false while not online.
  bool ShouldFilterNote(int note) const;
  // The master's scale name while online ("12-TET" when the library gives none).
  const char* ScaleName() const;

 private:
  MtsClientGlobal& binding_;
  double frequency_[MtsClientGlobal::kNotes];
  char name_[kNameSize] = "12-TET";
};
