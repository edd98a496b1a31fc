#pragma once

#include <array>
#include <cstdint>
#include <string>

class IniFile;

// The installation's settings, kept in one INI file per user and shared by every instance:
// the startup bank, the folder the program file dialogs open in, the MIDI options and the MIDI
// controller map. Holds the paths; the MIDI values live in the synthesizer and pass through
// MidiSettings.
//
// The file is "StonemoorMusic/tarvolin.ini" in the user's configuration folder (UserFolders.h).
// Reads and writes go to the file each time, key by key as the menu commands ask, so concurrent
// instances see each other's changes on their next read.
class Configuration {
 public:
  static constexpr int kControllerCount = 120;
  // Longest configuration file path.
  static constexpr std::size_t kMaxPathLength = 1024;
  // Value buffer of the MIDI keys, terminator included. Paths are read whole: a path cut short
  // names another file or folder.
  static constexpr std::size_t kValueBufferSize = 64;
  // Results of Read.
  static constexpr int kReadOk = 0;
  static constexpr int kFileMissing = 11;
  // Which values WriteMidiSettings writes: everything, or only one of the MIDI options (the editor's
  // menu identifiers of the two options).
  static constexpr int kWriteAll = -1;
  static constexpr int kWriteMidiThru = 19;
  static constexpr int kWriteIgnoreProgramChange = 20;

  struct MidiSettings {
    bool midiThru = false;
    bool ignoreProgramChange = false;
    std::array<std::int32_t, kControllerCount> controllerMap{};
  };

  Configuration();

  // Finds the file, creating its folder and an empty file where missing, and the documents folder
  // (which also becomes the program files path). Answers whether the file exists afterwards.
  bool Locate();

  // Reads every key into the paths and into settings, whose values are the defaults of the MIDI
  // options. kFileMissing when the file does not exist, else kReadOk.
  int Read(MidiSettings* settings);

  // The program files path becomes folder, written to "Global"/"Path to Program Files".
  bool WriteProgramFilesPath(const std::string& folder);
  // Removes every key of "Startup Bank", then writes "File" with the startup bank path.
  bool WriteStartupBank();
  bool SetStartupBank(const std::string& path);
  // Empties the startup bank path and removes every key of "Startup Bank".
  bool ClearStartupBank();
  // Writes the startup bank, then the MIDI options selected by which (kWriteAll, kWriteMidiThru,
  // kWriteIgnoreProgramChange); kWriteAll also rewrites "MIDI Control" with every mapped controller.
  bool WriteMidiSettings(int which, const MidiSettings& settings);

  // Forgets the startup bank in memory only (after it failed to load); the file keeps its value.
  void ForgetStartupBank() { startupBankPath_.clear(); }

  const std::string& DocumentsFolder() const { return documentsFolder_; }
  const std::string& FilePath() const { return filePath_; }
  const std::string& ProgramFilesPath() const { return programFilesPath_; }
  const std::string& StartupBankPath() const { return startupBankPath_; }

  // The two halves of Read: loading the file (answers whether it exists) and applying its keys.
  bool LoadFile(IniFile* ini) const;
  void ReadFrom(const IniFile& ini, MidiSettings* settings);
  // Parses a controller entry: the decimal number at the start of text (sign and digits), kept
  // when it is not 0 or when text begins with "0"; -1 otherwise.
  static std::int32_t ParseControllerEntry(const std::string& text);

 private:
  void PutStartupBank(IniFile& ini) const;
  // Loads the file for a change; false when it exists but must not be rewritten.
  bool LoadForWrite(IniFile& ini) const;
  bool Save(const IniFile& ini) const;

  std::string documentsFolder_;
  std::string filePath_;
  std::string programFilesPath_;
  std::string startupBankPath_;
};
