#include "tuning/MtsClient.h"

#include <cmath>

MtsClient::MtsClient(MtsClientGlobal& binding) : binding_(binding) {
  for (int n = 0; n < MtsClientGlobal::kNotes; ++n) frequency_[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
  if (binding_.registerClient != nullptr) binding_.registerClient();
}

MtsClient::~MtsClient() {
  if (binding_.deregisterClient != nullptr) binding_.deregisterClient();
}

double MtsClient::NoteFrequency(int note) const {
  const int n = note & (MtsClientGlobal::kNotes - 1);
  if (binding_.MasterConnected()) return binding_.MasterTuningTable()[n];
  return frequency_[n];
}

bool MtsClient::ShouldFilterNote(int note) const {
  if (!binding_.MasterConnected() || binding_.shouldFilterNote == nullptr) return false;
  return binding_.shouldFilterNote(static_cast<signed char>(note & (MtsClientGlobal::kNotes - 1)),
                                   static_cast<signed char>(-1));
}

const char* MtsClient::ScaleName() const {
  if (binding_.MasterConnected() && binding_.getScaleName != nullptr) {
    const char* name = binding_.getScaleName();
    if (name != nullptr) return name;
  }
  return name_;
}
