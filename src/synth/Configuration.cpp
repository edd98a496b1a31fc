#include "synth/Configuration.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "synth/IniFile.h"
#include "synth/UserFolders.h"

namespace {

constexpr const char* kStartupSection = "Startup Bank";
constexpr const char* kStartupKey = "File";
constexpr const char* kGlobalSection = "Global";
constexpr const char* kProgramFilesKey = "Path to Program Files";
constexpr const char* kMidiGlobalSection = "MIDI Global";
constexpr const char* kMidiThruKey = "MIDI Thru";
constexpr const char* kIgnoreProgramChangeKey = "Ignore Program Change";
constexpr const char* kMidiControlSection = "MIDI Control";

// Paths are read whole, however long.
constexpr std::size_t kWholeValue = std::string::npos;

std::string ControllerKey(int k) { return "CC" + std::to_string(k); }

bool EqualsIgnoringCase(const std::string& text, const char* word) {
  std::size_t i = 0;
  for (; i < text.size() && word[i] != '\0'; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return i == text.size() && word[i] == '\0';
}

const char* BoolText(bool value) { return value ? "true" : "false"; }

// Creates an empty file where there is none; answers whether the file exists afterwards.
bool CreateEmptyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  return UserFolders::IsFile(path);
}

}  // namespace

Configuration::Configuration() = default;

bool Configuration::Locate() {
  filePath_.clear();
  const std::string base = UserFolders::ConfigurationFolder();
  const std::string folder = base.empty() ? std::string() : base + "/StonemoorMusic";
  const std::string path = folder + "/tarvolin.ini";
  documentsFolder_ = UserFolders::DocumentsFolder();
  programFilesPath_ = documentsFolder_;
  // Without a usable location the file counts as missing: every key reads as its default and
  // nothing is written.
  if (folder.empty() || path.size() > kMaxPathLength) return false;
  filePath_ = path;
  UserFolders::MakeFolders(folder);
  return CreateEmptyFile(filePath_);
}

std::int32_t Configuration::ParseControllerEntry(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > INT_MAX) number = static_cast<long long>(INT_MAX) + 1;  // saturates below
  }
  if (negative) number = -number;
  if (number > INT_MAX) number = INT_MAX;
  if (number < INT_MIN) number = INT_MIN;
  if (number != 0 || (!text.empty() && text[0] == '0')) return static_cast<std::int32_t>(number);
  return -1;
}

void Configuration::ReadFrom(const IniFile& ini, MidiSettings* settings) {
  startupBankPath_.clear();
  const std::string startup = ini.Get(kStartupSection, kStartupKey, "", kWholeValue);
  if (!startup.empty()) startupBankPath_ = startup;
  const std::string programs = ini.Get(kGlobalSection, kProgramFilesKey, "", kWholeValue);
  if (!programs.empty()) programFilesPath_ = programs;
  const std::string thru = ini.Get(kMidiGlobalSection, kMidiThruKey, BoolText(settings->midiThru), kValueBufferSize);
  if (!thru.empty()) settings->midiThru = EqualsIgnoringCase(thru, "true");
  const std::string ignore = ini.Get(kMidiGlobalSection, kIgnoreProgramChangeKey,
                                     BoolText(settings->ignoreProgramChange), kValueBufferSize);
  if (!ignore.empty()) settings->ignoreProgramChange = EqualsIgnoringCase(ignore, "true");
  for (int k = 0; k < kControllerCount; ++k) {
    const std::string entry = ini.Get(kMidiControlSection, ControllerKey(k), "-1", kValueBufferSize);
    if (!entry.empty()) settings->controllerMap[static_cast<std::size_t>(k)] = ParseControllerEntry(entry);
  }
}

bool Configuration::LoadFile(IniFile* ini) const {
  if (!filePath_.empty()) ini->Load(filePath_);
  return ini->Exists();
}

int Configuration::Read(MidiSettings* settings) {
  IniFile ini;
  const bool exists = LoadFile(&ini);
  ReadFrom(ini, settings);
  return exists ? kReadOk : kFileMissing;
}

bool Configuration::LoadForWrite(IniFile& ini) const {
  if (filePath_.empty()) return false;
  ini.Load(filePath_);
  // A file that could not be read in full is left as it is rather than replaced by a fragment.
  return !ini.Refused();
}

bool Configuration::Save(const IniFile& ini) const { return ini.Save(filePath_); }

void Configuration::PutStartupBank(IniFile& ini) const {
  ini.RemoveKeys(kStartupSection);
  ini.Set(kStartupSection, kStartupKey, startupBankPath_);
}

bool Configuration::WriteProgramFilesPath(const std::string& folder) {
  programFilesPath_ = folder;
  IniFile ini;
  if (!LoadForWrite(ini)) return false;
  ini.Set(kGlobalSection, kProgramFilesKey, programFilesPath_);
  return Save(ini);
}

bool Configuration::WriteStartupBank() {
  IniFile ini;
  if (!LoadForWrite(ini)) return false;
  PutStartupBank(ini);
  return Save(ini);
}

bool Configuration::SetStartupBank(const std::string& path) {
  startupBankPath_ = path;
  return WriteStartupBank();
}

bool Configuration::ClearStartupBank() {
  startupBankPath_.clear();
  IniFile ini;
  if (!LoadForWrite(ini)) return false;
  ini.RemoveKeys(kStartupSection);
  return Save(ini);
}

bool Configuration::WriteMidiSettings(int which, const MidiSettings& settings) {
  IniFile ini;
  if (!LoadForWrite(ini)) return false;
  PutStartupBank(ini);
  if (which < 0 || which == kWriteMidiThru) ini.Set(kMidiGlobalSection, kMidiThruKey, BoolText(settings.midiThru));
  if (which < 0 || which == kWriteIgnoreProgramChange) {
    ini.Set(kMidiGlobalSection, kIgnoreProgramChangeKey, BoolText(settings.ignoreProgramChange));
  }
  if (which < 0) {
    ini.RemoveKeys(kMidiControlSection);
    for (int k = 0; k < kControllerCount; ++k) {
      const std::int32_t entry = settings.controllerMap[static_cast<std::size_t>(k)];
      if (entry != -1) ini.Set(kMidiControlSection, ControllerKey(k), std::to_string(entry));
    }
  }
  return Save(ini);
}
