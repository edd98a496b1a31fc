#pragma once

#include <mutex>
#include <string>

// The folders the editor's file dialogs open in, remembered for the whole process and shared by
// every instance: where program and bank files were last loaded or saved, and where the startup
// bank was last chosen. They are set up once, by the first utility action of the process, from
// the configuration of the instance that runs it; later instances find them as they were left.
class RememberedFolders {
 public:
  static RememberedFolders& Instance();

  // Takes the starting folders unless the folders were set up before. Answers whether it did.
  bool SetUpOnce(const std::string& programFolder, const std::string& startupBankFolder);

  std::string ProgramFolder() const;
  std::string StartupBankFolder() const;
  void SetProgramFolder(const std::string& folder);
  void SetStartupBankFolder(const std::string& folder);

  // Forgets everything, as a new process would start (tests only).
  void ResetForTesting();

 private:
  RememberedFolders() = default;

  mutable std::mutex mutex_;
  bool setUp_ = false;
  std::string programFolder_;
  std::string startupBankFolder_;
};
