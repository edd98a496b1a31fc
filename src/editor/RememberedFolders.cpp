#include "editor/RememberedFolders.h"

namespace {

// The file dialogs join folder and file name directly.
std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

RememberedFolders& RememberedFolders::Instance() {
  static RememberedFolders folders;
  return folders;
}

bool RememberedFolders::SetUpOnce(const std::string& programFolder, const std::string& startupBankFolder) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (setUp_) return false;
  setUp_ = true;
  programFolder_ = WithSlash(programFolder);
  startupBankFolder_ = WithSlash(startupBankFolder);
  return true;
}

std::string RememberedFolders::ProgramFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return programFolder_;
}

std::string RememberedFolders::StartupBankFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return startupBankFolder_;
}

void RememberedFolders::SetProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  programFolder_ = WithSlash(folder);
}

void RememberedFolders::SetStartupBankFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  startupBankFolder_ = WithSlash(folder);
}

void RememberedFolders::ResetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  setUp_ = false;
  programFolder_.clear();
  startupBankFolder_.clear();
}
