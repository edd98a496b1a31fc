#pragma once

#include <cstdint>

// The process-wide binding to the MTS-ESP library, through which a tuning-master plug-in in the same
// process publishes its tuning. Created when the plug-in library loads (before any instance exists),
// it loads "/usr/local/lib/libMTS.so" (or the library named by the environment variable
// TARVOLIN_LIBMTS) and looks up its entry points; any of them may be missing, and a missing library
// leaves them all missing, in which case the instrument behaves as if MTS-ESP did not exist.
// Released when the plug-in library unloads. Written only then, so every instance reads it without a
// lock.
class MtsClientGlobal {
 public:
  static constexpr const char* kDefaultLibraryPath = "/usr/local/lib/libMTS.so";
  static constexpr const char* kLibraryVariable = "TARVOLIN_LIBMTS";
  static constexpr int kNotes = 128;
  static constexpr int kChannels = 16;

  // The library's entry points. Note and channel arguments are single signed bytes; the channel -1
  // stands for no particular channel.
  using RegisterClientFn = void (*)();
  using DeregisterClientFn = void (*)();
  using HasMasterFn = bool (*)();
  using ShouldFilterNoteFn = bool (*)(signed char note, signed char channel);
  using ShouldFilterNoteMultiChannelFn = bool (*)(signed char note, signed char channel);
  using GetTuningTableFn = const double* (*)();
  using GetMultiChannelTuningTableFn = const double* (*)(signed char channel);
  using UseMultiChannelTuningFn = bool (*)(signed char channel);
  using GetScaleNameFn = const char* (*)();

  MtsClientGlobal();
  MtsClientGlobal(const MtsClientGlobal&) = delete;
  MtsClientGlobal& operator=(const MtsClientGlobal&) = delete;

  // Whether a master is connected now: the master's tuning table is known and the library says so.
  // Asked anew at every use.
  virtual bool MasterConnected() const;
  // Loads the library and looks up the entry points (only when it loaded).
  virtual void Load();
  virtual ~MtsClientGlobal();

  // The binding of this process.
  static MtsClientGlobal& Instance();

  bool LibraryLoaded() const { return handle_ != nullptr; }
  // The master's frequency (Hz) per MIDI note, owned by the library, or nullptr.
  const double* MasterTuningTable() const { return masterTable_; }
  double ReciprocalNoteFrequency(int note) const { return reciprocal_[note & (kNotes - 1)]; }

  RegisterClientFn registerClient = nullptr;
  DeregisterClientFn deregisterClient = nullptr;
  HasMasterFn hasMaster = nullptr;
  ShouldFilterNoteFn shouldFilterNote = nullptr;
  ShouldFilterNoteMultiChannelFn shouldFilterNoteMultiChannel = nullptr;
  GetTuningTableFn getTuningTable = nullptr;
  GetMultiChannelTuningTableFn getMultiChannelTuningTable = nullptr;
  UseMultiChannelTuningFn useMultiChannelTuning = nullptr;
  GetScaleNameFn getScaleName = nullptr;

 private:
  double reciprocal_[kNotes];
  const double* masterTable_ = nullptr;
  const double* channelTables_[kChannels] = {};
  void* handle_ = nullptr;
};
