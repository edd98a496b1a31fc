#include "tuning/MtsClientGlobal.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>

namespace {

// Created when the library loads and destroyed when it unloads.
MtsClientGlobal g_binding;

template <typename Fn>
void LookUp(void* handle, const char* name, Fn* target) {
  // The C interface hands out data addresses; converting them to function addresses is what dlsym
  // is for.
  *target = reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

MtsClientGlobal& MtsClientGlobal::Instance() { return g_binding; }

MtsClientGlobal::MtsClientGlobal() {
  for (int n = 0; n < kNotes; ++n) reciprocal_[n] = 1.0 / (440.0 * std::pow(2.0, (n - 69) / 12.0));
  Load();
  if (getTuningTable != nullptr) masterTable_ = getTuningTable();
  for (int k = 0; k < kChannels; ++k) {
    channelTables_[k] =
        getMultiChannelTuningTable != nullptr ? getMultiChannelTuningTable(static_cast<signed char>(k)) : nullptr;
  }
}

MtsClientGlobal::~MtsClientGlobal() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void MtsClientGlobal::Load() {
  const char* path = std::getenv(kLibraryVariable);
  if (path == nullptr || path[0] == '\0') path = kDefaultLibraryPath;
  handle_ = dlopen(path, RTLD_NOW);
  if (handle_ == nullptr) return;
  LookUp(handle_, "MTS_RegisterClient", &registerClient);
  LookUp(handle_, "MTS_DeregisterClient", &deregisterClient);
  LookUp(handle_, "MTS_HasMaster", &hasMaster);
  LookUp(handle_, "MTS_ShouldFilterNote", &shouldFilterNote);
  LookUp(handle_, "MTS_ShouldFilterNoteMultiChannel", &shouldFilterNoteMultiChannel);
  LookUp(handle_, "MTS_GetTuningTable", &getTuningTable);
  LookUp(handle_, "MTS_GetMultiChannelTuningTable", &getMultiChannelTuningTable);
  LookUp(handle_, "MTS_UseMultiChannelTuning", &useMultiChannelTuning);
  LookUp(handle_, "MTS_GetScaleName", &getScaleName);
}

bool MtsClientGlobal::MasterConnected() const {
  return masterTable_ != nullptr && hasMaster != nullptr && hasMaster();
}
