#include "editor/EditorActions.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "editor/FrameUpdatePrompts.h"
#include "editor/IGraphics.h"
#include "editor/RememberedFolders.h"
#include "engine/ProgramState.h"
#include "engine/Tarvolin.h"
#include "update/MakerSite.h"
#include "update/UpdateCheck.h"

namespace EditorActions {

namespace {

constexpr std::size_t kMaxProgramFileName = 255;
constexpr const char* kCannotLoad = "Cannot load file!";
constexpr const char* kCannotSave = "Cannot save file!";
constexpr const char* kErrorTitle = "Error";

}  // namespace

void StepProgram(Tarvolin& synth, bool previous) {
  const int count = synth.NPrograms();
  if (count <= 0) return;
  const int next = (synth.CurrentProgram() + (previous ? count - 1 : 1)) % count;
  synth.SelectProgram(next);
}

std::string ProgramFileName(const std::string& programName) {
  std::string name = programName.substr(0, kMaxProgramFileName);
  for (char& c : name) {
    if (c != '\0' && std::strchr("<>:\"/\\|?*", c) != nullptr) c = '_';
  }
  return name;
}

namespace {

bool Ask(IGraphics& graphics, const std::string& question, const char* title) {
  return graphics.ShowMessage(question.c_str(), title, IGraphics::kMessageYesNo) == IGraphics::kAnswerYes;
}

void Tell(IGraphics& graphics, const char* text, const char* title) {
  graphics.ShowMessage(text, title, IGraphics::kMessageOk);
}

// "<before><path><after>", the form of the questions that name a file.
std::string AboutPath(const char* before, const std::string& path, const char* after) {
  return std::string(before) + path + after;
}

// An open or save dialog in folder; answers the path chosen ("" when cancelled) and leaves in
// folder the chosen file's folder.
std::string AskForFile(IGraphics& graphics, int action, std::string& folder, const std::string& proposed,
                       const char* extensions) {
  std::string fileName = proposed;
  std::string where = folder;
  graphics.AskForFile(fileName, action, where, extensions);
  if (!fileName.empty()) folder = where;
  return fileName;
}

// A program or bank file chosen in the program folder; the folder follows the choice whatever
// becomes of the file.
std::string AskInProgramFolder(IGraphics& graphics, int action, const std::string& proposed, const char* extensions) {
  RememberedFolders& folders = RememberedFolders::Instance();
  std::string folder = folders.ProgramFolder();
  const std::string path = AskForFile(graphics, action, folder, proposed, extensions);
  if (!path.empty()) folders.SetProgramFolder(folder);
  return path;
}

void LoadFile(Tarvolin& synth, IGraphics& graphics, bool bank) {
  const std::string path = AskInProgramFolder(graphics, IFileRequest::kOpen, "", bank ? "fxb" : "fxp");
  if (path.empty()) return;
  const bool ok = bank ? synth.ReadBankFile(path) : synth.ReadProgramFile(path);
  if (!ok) Tell(graphics, kCannotLoad, kErrorTitle);
}

void SaveFile(Tarvolin& synth, IGraphics& graphics, bool bank) {
  const std::string proposed = bank ? std::string("Tarvolin") : ProgramFileName(synth.ProgramName(synth.CurrentProgram()));
  const std::string path = AskInProgramFolder(graphics, IFileRequest::kSave, proposed, bank ? "fxb" : "fxp");
  if (path.empty()) return;
  // What is heard is what gets saved.
  synth.ModifyCurrentPreset(nullptr);
  const bool ok = bank ? synth.WriteBankFile(path) : synth.WriteProgramFile(path);
  if (!ok) Tell(graphics, kCannotSave, kErrorTitle);
}

void ToggleMidiOption(Tarvolin& synth, int code) {
  {
    // The audio thread reads both options.
    PluginLock lock(synth.PluginMutex());
    if (code == kMidiThru) {
      synth.SetMidiThru(!synth.MidiThru());
    } else {
      synth.SetIgnoreProgramChange(!synth.IgnoreProgramChange());
    }
  }
  synth.WriteMidiSettings(code == kMidiThru ? Configuration::kWriteMidiThru : Configuration::kWriteIgnoreProgramChange);
}

}  // namespace

void RunUtilityAction(Tarvolin& synth, IGraphics& graphics, int code) {
  RememberedFolders& folders = RememberedFolders::Instance();
  folders.SetUpOnce(synth.Config().ProgramFilesPath(), synth.Config().DocumentsFolder());
  switch (code) {
    case kCopyProgram:
      synth.CopyProgram();
      break;
    case kPasteProgram:
      if (Ask(graphics, "Do you really want to overwrite the current program?", "Paste Program")) synth.PasteProgram();
      break;
    case kInitProgram:
      if (Ask(graphics, "Do you really want to initialize the current program?", "Initialize Program")) {
        synth.InitCurrentProgram();
      }
      break;
    case kLoadProgram:
    case kLoadBank:
      LoadFile(synth, graphics, code == kLoadBank);
      break;
    case kSaveProgram:
    case kSaveBank:
      SaveFile(synth, graphics, code == kSaveBank);
      break;
    case kSelectStartupBank: {
      std::string folder = folders.StartupBankFolder();
      const std::string path = AskForFile(graphics, IFileRequest::kOpen, folder, "", "fxb");
      if (path.empty()) break;
      // Only named here: the bank loads with the next instance, or on "Load Startup Bank".
      synth.SetStartupBank(path);
      folders.SetStartupBankFolder(folder);
      break;
    }
    case kLoadStartupBank: {
      const std::string path = synth.Config().StartupBankPath();
      if (!Ask(graphics, AboutPath("The Startup Bank is:\n", path, "\n\nDo you really want to reload all programs?"),
               "Load Startup Bank")) {
        break;
      }
      if (!synth.ReadBankFile(path)) Tell(graphics, kCannotLoad, kErrorTitle);
      break;
    }
    case kUnselectStartupBank:
      if (Ask(graphics,
              AboutPath("The Startup Bank is:\n", synth.Config().StartupBankPath(),
                        "\n\nDo you really want to unselect it?"),
              "Unselect Startup Bank")) {
        synth.ClearStartupBank();
      }
      break;
    case kProgramFilesFolder: {
      std::string folder = folders.ProgramFolder();
      if (folder.empty()) folder = synth.Config().DocumentsFolder();
      // Only the folder counts; no filter, no extension added.
      const std::string path = AskForFile(graphics, IFileRequest::kSave, folder, "[file name is ignored]", " ");
      if (path.empty()) break;
      folders.SetProgramFolder(folder);
      synth.WriteProgramFilesPath(folder);
      break;
    }
    case kReloadConfiguration:
      if (!Ask(graphics,
               AboutPath("The INI configuration file is:\n", synth.Config().FilePath(),
                         "\n\nDo you really want to reload it?"),
               "Reload Configuration")) {
        break;
      }
      if (synth.ReadConfiguration() == Configuration::kFileMissing) {
        Tell(graphics, "The INI file does not exist.", "Problem with INI File");
      }
      break;
    case kSaveConfiguration:
      if (Ask(graphics,
              AboutPath("The INI configuration file is:\n", synth.Config().FilePath(),
                        "\n\nDo you really want to overwrite it?"),
              "Save Configuration")) {
        synth.WriteMidiSettings(Configuration::kWriteAll);
      }
      break;
    case kMidiThru:
    case kIgnoreProgramChange:
      ToggleMidiOption(synth, code);
      break;
    case kCheckForUpdate: {
      FrameUpdatePrompts prompts(graphics);
      update_check::CheckForUpdate(prompts);
      break;
    }
    case kVisitWebSite:
      graphics.OpenWebPage(maker::kHomePage, nullptr, nullptr, nullptr);
      break;
    default:
      // The separators and the entries that open submenus.
      break;
  }
}

void StepWaveTable(Tarvolin& synth, IGraphics& graphics, int oscillator, bool previous) {
  if (oscillator < 0 || oscillator > 2) return;
  const int index = ProgramState::kWaveTableParameters[static_cast<std::size_t>(oscillator)];
  std::optional<std::uint16_t> identifier;
  {
    PluginLock lock(synth.PluginMutex());
    const WaveTableCatalogue& catalogue = synth.WaveTables().Catalogue();
    catalogue.RefreshUserNames();
    const auto current = catalogue.FindByIdentifier(static_cast<std::int64_t>(std::trunc(synth.GetParam(index)->Value())));
    if (!current.has_value()) return;
    const int count = catalogue.EntryCount();
    int n = current->ordinal;
    // Built-in tables always have names, so this ends within one round.
    for (int tries = 0; tries < count; ++tries) {
      n = previous ? (n + count - 1) % count : (n + 1) % count;
      const auto entry = catalogue.EntryAt(n);
      if (entry.has_value() && !entry->name.empty()) {
        identifier = entry->identifier;
        break;
      }
    }
  }
  if (!identifier.has_value()) return;
  synth.SelectWaveTable(oscillator, *identifier);
  graphics.SetParameterFromPlugin(index, *identifier / 65535.0, true);
}

}  // namespace EditorActions
