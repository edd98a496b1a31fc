// The program display and the utility menu as a user meets them: clicks on the frame, the menus
// and dialogs answered by a scripted user, and what that does to the programs, the files, the
// configuration file and the host. Each test has a home and configuration folder of its own and
// starts with the remembered folders of a fresh process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "editor/EditorActions.h"
#include "editor/EditorLayout.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/ISMOptionMenu.h"
#include "editor/ISMPresetMenu.h"
#include "editor/IScriptedResponder.h"
#include "editor/PlatformEditor.h"
#include "editor/RememberedFolders.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"
#include "support/TestPaths.h"
#include "synth/IniFile.h"
#include "synth/UserFolders.h"
#include "update/LoopbackHttpServer.h"
#include "update/MakerSite.h"
#include "update/VersionQuery.h"

namespace {

std::vector<std::string>& HostLog() {
  static std::vector<std::string> log;
  return log;
}

VstIntPtr Host(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate) HostLog().push_back("automate " + std::to_string(index));
  if (opcode == audioMasterUpdateDisplay) HostLog().push_back("update display");
  return 0;
}

std::string IniValue(const std::string& path, const char* section, const char* key) {
  IniFile ini;
  if (!ini.Load(path)) return "(no file)";
  if (!ini.Has(section, key)) return "(none)";
  return ini.Get(section, key, "", 4096);
}

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = TestHomeFolder() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(UserFolders::MakeFolders(home_ + "/config"));
    ASSERT_TRUE(UserFolders::MakeFolders(home_ + "/Documents"));
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    RememberedFolders::Instance().ResetForTesting();
    previous_ = SetGraphicsFactory(&CreateOffscreenGraphics);
    plug_ = std::make_unique<Tarvolin>(&Host);
    frame = OpenFrame(*plug_, user);
    ASSERT_NE(frame, nullptr);
    display = dynamic_cast<ISMPresetMenu*>(frame->GetControl(editor_layout::FindControl(-1)->number));
    ASSERT_NE(display, nullptr);
    Settle();
    HostLog().clear();
  }
  void TearDown() override {
    plug_.reset();
    SetGraphicsFactory(previous_);
    RememberedFolders::Instance().ResetForTesting();
    ::setenv("HOME", TestHomeFolder().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (TestHomeFolder() + "/config").c_str(), 1);
  }

  static IGraphicsOffscreen* OpenFrame(Tarvolin& plug, IScriptedResponder& responder) {
    auto* f = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug.GetEditor()));
    if (f == nullptr) return nullptr;
    f->SetResponder(&responder);
    f->AllowVirtualWindow(true);
    return f->OpenWindow(nullptr) ? f : nullptr;
  }

  Tarvolin& plug() { return *plug_; }
  void Settle() {
    for (int k = 0; k < 3 && frame->Tick(); ++k) {
    }
  }
  void ClickAt(int x, int y) {
    IMouseState left;
    left.L = true;
    frame->OnMouseDown(x, y, left);
    frame->OnMouseUp(x, y, left);
  }
  // Opens the utility menu and takes the entry the path names.
  void Choose(std::vector<std::string> path) {
    user.ChooseMenuItem(std::move(path));
    ClickAt(kMenuX, kMenuY);
  }
  std::string Documents() const { return home_ + "/Documents/"; }
  std::string IniPath() const { return plug_->Config().FilePath(); }
  std::string Folder(const std::string& name) const {
    const std::string folder = home_ + "/" + name + "/";
    UserFolders::MakeFolders(folder);
    return folder;
  }

  static constexpr int kMenuX = 770;
  static constexpr int kMenuY = 740;

  IScriptedResponder user;
  IGraphicsOffscreen* frame = nullptr;
  ISMPresetMenu* display = nullptr;
  std::string home_;

 private:
  GraphicsFactory previous_ = nullptr;
  std::unique_ptr<Tarvolin> plug_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
    lines.push_back(text.substr(from, at - from));
  }
  return lines;
}

}  // namespace

TEST_F(MenuTest, TheProgramDisplayShowsTheProgramAndItsMenuSelectsOne) {
  EXPECT_EQ(display->NumberText(), "00");
  EXPECT_EQ(display->NameText(), plug().ProgramName(0).substr(0, 27));
  const auto atZero = Pixels(*frame->DrawBitmap(), display->NumberRect());

  // A long name is cut to 31 characters in the menu, number included.
  plug().GetProgram(1)->name = std::string(40, 'x');
  user.ChooseMenuIndex({2, 5});
  ClickAt(650, 719);
  ASSERT_EQ(user.Menus().size(), 1u);
  EXPECT_EQ(user.Menus()[0].rect, display->NumberRect());
  const std::vector<std::string> lines = Lines(user.Menus()[0].items);
  ASSERT_EQ(lines.size(), 68u);
  EXPECT_EQ(lines[0], "00 - 15 >");
  EXPECT_EQ(lines[1], "  00: " + plug().ProgramName(0) + " [checked]");
  EXPECT_EQ(lines[2], "  01: " + std::string(27, 'x'));
  EXPECT_EQ(lines[34], "32 - 47 >");
  EXPECT_EQ(plug().CurrentProgram(), 37);
  Settle();
  EXPECT_EQ(display->NumberText(), "37");
  EXPECT_NE(Pixels(*frame->DrawBitmap(), display->NumberRect()), atZero);

  // The host renames the program: no knob moves, yet the name follows.
  char name[] = "Renamed by the host";
  plug().GetAEffect()->dispatcher(plug().GetAEffect(), effSetProgramName, 0, 0, name, 0.0f);
  Settle();
  EXPECT_EQ(display->NameText(), "Renamed by the host");
}

TEST_F(MenuTest, RenamingStoresTheLiveStateAndTellsTheHost) {
  plug().SelectProgram(5);
  const std::string name = plug().ProgramName(5);
  plug().GetAEffect()->setParameter(plug().GetAEffect(), param::kFilterCutoff, 0.125f);
  ASSERT_FALSE(plug().CompareProgramState(plug().GetProgram(5)->state, 0));
  HostLog().clear();

  // An empty name keeps the old one, but the program takes what is playing.
  user.EnterText("");
  ClickAt(760, 719);
  ASSERT_EQ(user.TextEntries().size(), 1u);
  EXPECT_EQ(user.TextEntries()[0].rect, display->NameRect());
  EXPECT_EQ(user.TextEntries()[0].initialText, name);
  frame->Tick();
  EXPECT_EQ(plug().ProgramName(5), name);
  EXPECT_TRUE(plug().CompareProgramState(plug().GetProgram(5)->state, 0));
  // The host hears of the program and of every parameter.
  ASSERT_EQ(HostLog().size(), 1u + static_cast<std::size_t>(plug().NParams()));
  EXPECT_EQ(HostLog()[0], "update display");

  // The box takes 27 characters; the display shows the new name at once.
  user.EnterText("Slow Strings 1234567890 ABCDEFG");
  ClickAt(760, 719);
  frame->Tick();  // the entry is committed
  EXPECT_TRUE(display->IsDirty());
  Settle();
  EXPECT_EQ(plug().ProgramName(5), "Slow Strings 1234567890 ABC");
  EXPECT_EQ(display->NameText(), "Slow Strings 1234567890 ABC");
}

TEST_F(MenuTest, TheUtilityMenuShowsTheStateOfTheMomentAndTogglesTheMidiOptions) {
  ClickAt(kMenuX, kMenuY);
  ASSERT_EQ(user.Menus().size(), 1u);
  EXPECT_EQ(user.Menus()[0].rect, IBounds(kMenuX, kMenuY, kMenuX, kMenuY));
  EXPECT_EQ(user.Menus()[0].items,
            "Copy Program\nPaste Program [disabled]\nInit Program\n-\n"
            "Load Program\nSave Program\nLoad Bank\nSave Bank\n-\n"
            "Select Startup Bank\nLoad Startup Bank [disabled]\nUnselect Startup Bank [disabled]\n-\n"
            "Default Path for Program Files\nGlobal MIDI Settings... >\n  MIDI Thru\n  Ignore Program Change\n"
            "Reload Configuration\nSave Configuration\n-\n"
            "Go Online... >\n  Check Online for Update\n  Visit www.stonemoormusic.com\n");

  // A copy makes Paste choosable.
  plug().SelectProgram(8);
  Choose({"Copy Program"});
  plug().SelectProgram(9);
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Paste Program"});
  EXPECT_EQ(plug().ProgramName(9), plug().ProgramName(8));

  // The MIDI options flip, are written to the file and show checked the next time.
  Choose({"Global MIDI Settings...", "MIDI Thru"});
  EXPECT_TRUE(plug().MidiThru());
  EXPECT_EQ(IniValue(IniPath(), "MIDI Global", "Ignore Program Change"), "(none)");
  Choose({"Global MIDI Settings...", "Ignore Program Change"});
  EXPECT_TRUE(plug().IgnoreProgramChange());
  EXPECT_EQ(IniValue(IniPath(), "MIDI Global", "Ignore Program Change"), "true");
  Choose({"Global MIDI Settings...", "MIDI Thru"});
  EXPECT_FALSE(plug().MidiThru());
  EXPECT_EQ(IniValue(IniPath(), "MIDI Global", "MIDI Thru"), "false");
  const std::vector<std::string> last = Lines(user.Menus().back().items);
  EXPECT_EQ(last[15], "  MIDI Thru [checked]");
  EXPECT_EQ(last[16], "  Ignore Program Change [checked]");

  // The visit entry opens the home page; the submenu entries themselves do nothing.
  Choose({"Go Online...", "Visit www.stonemoormusic.com"});
  EXPECT_EQ(user.WebPages(), std::vector<std::string>{maker::kHomePage});
  for (int code : {3, 8, 12, 14, 17, 18, 99, -1}) EditorActions::RunUtilityAction(plug(), *frame, code);
  EXPECT_EQ(user.Messages().size(), 1u);  // the paste question
  EXPECT_TRUE(user.FileRequests().empty());
}

TEST_F(MenuTest, ProgramAndBankFilesGoThroughTheRememberedProgramFolder) {
  const std::string programs = Folder("Programs");
  plug().SelectProgram(3);
  plug().ModifyCurrentPreset("Lead <A/B:C>");

  // Saving proposes the name with what a file name cannot hold made underscores.
  user.ChooseFileNamed(programs + "lead");
  Choose({"Save Program"});
  ASSERT_EQ(user.FileRequests().size(), 1u);
  const IFileRequest& save = user.FileRequests()[0];
  EXPECT_EQ(save.action, IFileRequest::kSave);
  EXPECT_EQ(save.fileName, "Lead _A_B_C_");
  EXPECT_EQ(save.folder, Documents());
  EXPECT_EQ(save.patterns, std::vector<std::string>{"*.fxp"});
  EXPECT_TRUE(UserFolders::IsFile(programs + "lead.fxp"));

  // Loading starts where saving ended; a file that is no program file is refused.
  std::ofstream(programs + "junk.fxp") << "not a program";
  user.ChooseFileNamed(programs + "junk.fxp");
  Choose({"Load Program"});
  ASSERT_EQ(user.FileRequests().size(), 2u);
  EXPECT_EQ(user.FileRequests()[1].folder, programs);
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, "Cannot load file!");
  EXPECT_EQ(user.Messages()[0].caption, "Error");

  plug().SelectProgram(4);
  user.ChooseFileNamed(programs + "lead.fxp");
  Choose({"Load Program"});
  EXPECT_EQ(plug().ProgramName(4), "Lead <A/B:C>");
  EXPECT_EQ(user.Messages().size(), 1u);

  // A bank is proposed as "Tarvolin"; a save that cannot be written says so.
  const std::string banks = Folder("Banks");
  std::filesystem::create_directory(banks + "taken.fxb");
  user.ChooseFileNamed(banks + "taken.fxb");
  Choose({"Save Bank"});
  EXPECT_EQ(user.FileRequests().back().fileName, "Tarvolin");
  EXPECT_EQ(user.FileRequests().back().patterns, std::vector<std::string>{"*.fxb"});
  ASSERT_EQ(user.Messages().size(), 2u);
  EXPECT_EQ(user.Messages()[1].text, "Cannot save file!");

  // The folder followed the failed save too; a cancelled dialog leaves it.
  user.ChooseFileNamed("");
  Choose({"Load Bank"});
  EXPECT_EQ(user.FileRequests().back().folder, banks);

  // Another instance of the process opens where this one left off.
  Tarvolin other(nullptr);
  IScriptedResponder otherUser;
  IGraphicsOffscreen* otherFrame = OpenFrame(other, otherUser);
  ASSERT_NE(otherFrame, nullptr);
  EditorActions::RunUtilityAction(other, *otherFrame, EditorActions::kLoadProgram);
  ASSERT_EQ(otherUser.FileRequests().size(), 1u);
  EXPECT_EQ(otherUser.FileRequests()[0].folder, banks);
}

TEST_F(MenuTest, TheStartupBankIsChosenWithoutLoadingThenLoadedAndUnselected) {
  const std::string banks = Folder("Banks");
  const std::string bank = banks + "start.fxb";
  ASSERT_TRUE(plug().WriteBankFile(bank));
  const std::string original = plug().ProgramName(2);
  plug().GetProgram(2)->name = "Changed";

  user.ChooseFileNamed(bank);
  Choose({"Select Startup Bank"});
  ASSERT_EQ(user.FileRequests().size(), 1u);
  EXPECT_EQ(user.FileRequests()[0].folder, Documents());
  EXPECT_EQ(plug().Config().StartupBankPath(), bank);
  EXPECT_EQ(IniValue(IniPath(), "Startup Bank", "File"), bank);
  EXPECT_EQ(plug().ProgramName(2), "Changed");

  // Not loaded on No; loaded on Yes.
  user.AnswerNextMessage(IGraphics::kAnswerNo);
  Choose({"Load Startup Bank"});
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "The Startup Bank is:\n" + bank + "\n\nDo you really want to reload all programs?");
  EXPECT_EQ(user.Messages()[0].caption, "Load Startup Bank");
  EXPECT_EQ(plug().ProgramName(2), "Changed");
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Load Startup Bank"});
  EXPECT_EQ(plug().ProgramName(2), original);

  // The next choice starts in the bank's folder; a bank that has gone cannot be loaded.
  user.ChooseFileNamed("");
  Choose({"Select Startup Bank"});
  EXPECT_EQ(user.FileRequests().back().folder, banks);
  std::filesystem::remove(bank);
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Load Startup Bank"});
  EXPECT_EQ(user.Messages().back().text, "Cannot load file!");

  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Unselect Startup Bank"});
  EXPECT_EQ(user.Messages().back().text, "The Startup Bank is:\n" + bank + "\n\nDo you really want to unselect it?");
  EXPECT_TRUE(plug().Config().StartupBankPath().empty());
  EXPECT_EQ(IniValue(IniPath(), "Startup Bank", "File"), "(none)");
  ClickAt(kMenuX, kMenuY);
  const std::vector<std::string> lines = Lines(user.Menus().back().items);
  EXPECT_EQ(lines[10], "Load Startup Bank [disabled]");
  EXPECT_EQ(lines[11], "Unselect Startup Bank [disabled]");
}

TEST_F(MenuTest, TheConfigurationIsReloadedSavedAndGivenAProgramFolder) {
  const std::string presets = Folder("Presets");
  user.ChooseFileNamed(presets + "[file name is ignored]");
  Choose({"Default Path for Program Files"});
  ASSERT_EQ(user.FileRequests().size(), 1u);
  const IFileRequest& request = user.FileRequests()[0];
  EXPECT_EQ(request.fileName, "[file name is ignored]");
  EXPECT_EQ(request.folder, Documents());
  EXPECT_EQ(request.defaultExtension, "");
  EXPECT_EQ(IniValue(IniPath(), "Global", "Path to Program Files"), presets);
  user.ChooseFileNamed("");
  Choose({"Load Program"});
  EXPECT_EQ(user.FileRequests().back().folder, presets);

  // Reloading reads what another program wrote.
  {
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    ini.Set("MIDI Global", "MIDI Thru", "true");
    ASSERT_TRUE(ini.Save(IniPath()));
  }
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Reload Configuration"});
  EXPECT_TRUE(plug().MidiThru());
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "The INI configuration file is:\n" + IniPath() + "\n\nDo you really want to reload it?");
  EXPECT_EQ(user.Messages()[0].caption, "Reload Configuration");

  // Without the file: told so, and saving writes it anew.
  std::filesystem::remove(IniPath());
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Reload Configuration"});
  ASSERT_EQ(user.Messages().size(), 3u);
  EXPECT_EQ(user.Messages()[2].text, "The INI file does not exist.");
  EXPECT_EQ(user.Messages()[2].caption, "Problem with INI File");
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Save Configuration"});
  EXPECT_EQ(user.Messages().back().text,
            "The INI configuration file is:\n" + IniPath() + "\n\nDo you really want to overwrite it?");
  EXPECT_EQ(IniValue(IniPath(), "MIDI Global", "MIDI Thru"), "true");
}

TEST_F(MenuTest, CheckOnlineForUpdateAsksTheServerTheEnvironmentNames) {
  if (!VersionQuery::Available()) GTEST_SKIP() << "built without an HTTP client";
  const char* before = std::getenv(maker::kUpdateServerVariable);
  const std::optional<std::string> saved = before != nullptr ? std::optional<std::string>(before) : std::nullopt;
  LoopbackHttpServer server(LoopbackHttpServer::Mode::kAnswer,
                            {LoopbackHttpServer::Response("200 OK", "1106"), LoopbackHttpServer::Response("200 OK", "1105")});
  ::setenv(maker::kUpdateServerVariable, server.Address().c_str(), 1);

  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Choose({"Go Online...", "Check Online for Update"});
  Choose({"Go Online...", "Check Online for Update"});
  // Unset rather than empty, which would mean the maker's own server.
  if (saved.has_value()) {
    ::setenv(maker::kUpdateServerVariable, saved->c_str(), 1);
  } else {
    ::unsetenv(maker::kUpdateServerVariable);
  }

  EXPECT_EQ(server.Requests().size(), 2u);
  ASSERT_EQ(user.Messages().size(), 2u);
  EXPECT_EQ(user.Messages()[0].caption, "New Version of Tarvolin Detected");
  EXPECT_NE(user.Messages()[0].text.find("\tNew version: \t1.1.6\n"), std::string::npos);
  EXPECT_EQ(user.WebPages(), std::vector<std::string>{maker::kDownloadPage});
  EXPECT_EQ(user.Messages()[1].text, "Your version is up to date.");
  EXPECT_EQ(user.Messages()[1].caption, "Check Online for Update");
  EXPECT_EQ(user.Messages()[1].kind, 64);
}
