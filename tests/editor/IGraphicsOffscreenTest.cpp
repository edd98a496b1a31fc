// The frame's services without a display: the questions go to a scripted user.
#include "editor/IGraphicsOffscreen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EditorTestSupport.h"
#include "editor/IScriptedResponder.h"
#include "render/LICE_PNG.h"
#include "support/TestPaths.h"

namespace {

class Offscreen : public ::testing::Test {
 protected:
  Offscreen() {
    plug.out = &log;
    frame.SetResponder(&user);
    frame.CreateSurfaces();
    control = new ProbeControl(&plug, &log, "name", IBounds(10, 10, 60, 22));
    frame.AddControl(control);
  }
  RecordingPlug plug;
  std::vector<std::string> log;
  IScriptedResponder user;
  IGraphicsOffscreen frame{&plug, 100, 50, 25};
  ProbeControl* control = nullptr;
};

}  // namespace

TEST_F(Offscreen, NoWindowUnlessAVirtualOneIsAllowed) {
  EXPECT_FALSE(frame.CanOpenWindow());
  EXPECT_FALSE(frame.OpenWindow(nullptr));
  EXPECT_FALSE(frame.IsWindowOpen());
  frame.AllowVirtualWindow(true);
  frame.Draw(IBounds(0, 0, 100, 50));
  EXPECT_FALSE(control->IsDirty());
  ASSERT_TRUE(frame.OpenWindow(nullptr));
  EXPECT_TRUE(frame.IsWindowOpen());
  EXPECT_TRUE(control->IsDirty());  // opening repaints everything
  EXPECT_TRUE(frame.Tick());
  EXPECT_FALSE(frame.Tick());
  frame.CloseWindow();
  EXPECT_FALSE(frame.IsWindowOpen());
}

TEST_F(Offscreen, MessagesAndWebPages) {
  EXPECT_EQ(frame.ShowMessage("Cannot load file!", "Error", IGraphics::kMessageOk), IGraphics::kAnswerOk);
  EXPECT_EQ(frame.ShowMessage("Sure?", "Question", IGraphics::kMessageYesNo), IGraphics::kAnswerNo);
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  EXPECT_EQ(frame.ShowMessage("Sure?", "Question", IGraphics::kMessageYesNo), IGraphics::kAnswerYes);
  ASSERT_EQ(user.Messages().size(), 3u);
  EXPECT_EQ(user.Messages()[0].text, "Cannot load file!");
  EXPECT_EQ(user.Messages()[0].caption, "Error");
  EXPECT_EQ(user.Messages()[1].kind, IGraphics::kMessageYesNo);

  // Declined confirmation: nothing opens. Confirmed: opens. Browser failing: the failure text.
  EXPECT_FALSE(frame.OpenWebPage("https://example.org/", "Web", "Open the page?", "No browser"));
  EXPECT_TRUE(user.WebPages().empty());
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  EXPECT_TRUE(frame.OpenWebPage("https://example.org/", "Web", "Open the page?", "No browser"));
  EXPECT_EQ(user.WebPages(), std::vector<std::string>{"https://example.org/"});
  user.SetBrowserWorks(false);
  EXPECT_FALSE(frame.OpenWebPage("https://example.org/", "Web", nullptr, "No browser"));
  EXPECT_EQ(user.Messages().back().text, "No browser");
  EXPECT_EQ(user.Messages().back().kind, IGraphics::kMessageOk);
  const std::size_t before = user.Messages().size();
  EXPECT_FALSE(frame.OpenWebPage("https://example.org/", "Web", nullptr, nullptr));
  EXPECT_EQ(user.Messages().size(), before);
  EXPECT_TRUE(user.ScriptDone());
}

TEST_F(Offscreen, PopupMenusAnswerTheHoldingMenuAndReleaseTheCapture) {
  IMenuModel menu;
  menu.AddItem("1");
  menu.AddItem("2", -1, IMenuEntry::kDisabled);
  menu.AddSeparator();
  auto sub = std::make_unique<IMenuModel>();
  sub->AddItem("deep");
  IMenuModel* subMenu = sub.get();
  menu.AddSubmenu("more", std::move(sub));

  frame.OnMouseDown(20, 15, IMouseState{true, false, false, false, false});
  EXPECT_EQ(frame.MouseCaptureIndex(), 0);
  user.ChooseMenuItem({"more", "deep"});
  EXPECT_EQ(frame.ShowPopupMenu(&menu, IBounds(20, 15, 20, 15)), subMenu);
  EXPECT_EQ(frame.MouseCaptureIndex(), -1);
  EXPECT_EQ(subMenu->ChosenItem(), 0);
  ASSERT_EQ(user.Menus().size(), 1u);
  EXPECT_EQ(user.Menus()[0].rect, IBounds(20, 15, 20, 15));
  EXPECT_EQ(user.Menus()[0].items, "1\n2 [disabled]\n-\nmore >\n  deep\n");
  // Nothing chosen, a disabled item, a separator, a submenu item, a path that is not there: none.
  user.ChooseNothingFromMenu();
  user.ChooseMenuItem({"2"});
  user.ChooseMenuIndex({2});
  user.ChooseMenuIndex({3});
  user.ChooseMenuItem({"1", "x"});
  user.ChooseMenuIndex({7});
  for (int i = 0; i < 7; ++i) EXPECT_EQ(frame.ShowPopupMenu(&menu, IBounds()), nullptr) << i;  // the last has no script
  EXPECT_EQ(menu.ChosenItem(), -1);
  user.ChooseMenuIndex({0});
  EXPECT_EQ(frame.ShowPopupMenu(&menu, IBounds()), &menu);
  EXPECT_EQ(menu.ChosenItemText(), "1");
  EXPECT_EQ(frame.ShowPopupMenu(nullptr, IBounds()), nullptr);
}

TEST_F(Offscreen, TextEntryCommitsOrCancelsOnTheNextTick) {
  ITextStyle style;
  style.align = ITextStyle::kAlignLeft;
  user.EnterText("Warm Pad");
  frame.OpenTextEntry(control, style, control->Rect(), "Init");
  EXPECT_TRUE(frame.TextEntryOpen());
  // A second entry while one is open, and one without a control, are ignored.
  frame.OpenTextEntry(control, style, control->Rect(), "other");
  frame.OpenTextEntry(nullptr, style, control->Rect(), "other");
  ASSERT_EQ(user.TextEntries().size(), 1u);
  EXPECT_EQ(user.TextEntries()[0].initialText, "Init");
  EXPECT_EQ(user.TextEntries()[0].rect, control->Rect());
  EXPECT_TRUE(log.empty());
  control->MarkDirty(false);
  EXPECT_FALSE(frame.Tick());  // the tick that delivers draws nothing
  // The control allows 7 characters unless told otherwise.
  EXPECT_EQ(log, std::vector<std::string>{"name text Warm Pa"});
  EXPECT_FALSE(frame.TextEntryOpen());
  EXPECT_TRUE(frame.Tick());
  log.clear();

  control->SetTextEntryLength(100);
  user.EnterText(std::string(40, 'x'));
  frame.OpenTextEntry(control, style, control->Rect(), "");
  frame.Tick();
  EXPECT_EQ(log, std::vector<std::string>{"name text " + std::string(31, 'x')});
  log.clear();

  user.CancelTextEntry();  // Escape: the control hears nothing
  frame.OpenTextEntry(control, style, control->Rect(), "Init");
  frame.Tick();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(frame.TextEntryOpen());

  // Closing the window with an entry open forgets it, and a later entry works.
  frame.AllowVirtualWindow(true);
  frame.OpenWindow(nullptr);
  user.EnterText("gone");
  frame.OpenTextEntry(control, style, control->Rect(), "");
  frame.CloseWindow();
  EXPECT_FALSE(frame.TextEntryOpen());
  frame.Tick();  // draws what the opening marked, delivers nothing
  EXPECT_EQ(log, std::vector<std::string>{"name draw"});
  log.clear();
  user.EnterText("back");
  frame.OpenTextEntry(control, style, control->Rect(), "");
  frame.Tick();
  EXPECT_EQ(log, std::vector<std::string>{"name text back"});
}

TEST_F(Offscreen, FileChoosersFilterCompleteAndCheckTheChoice) {
  const std::string folder = TestHomeFolder() + "/choose/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "lead.fxp") << "x";
  std::ofstream(folder + "bare") << "x";

  std::string file = "old.fxp";
  std::string dir = folder;
  // No window: the name is emptied and nobody is asked.
  frame.AskForFile(file, IFileRequest::kOpen, dir, "fxp");
  EXPECT_EQ(file, "");
  EXPECT_TRUE(user.FileRequests().empty());

  frame.AllowVirtualWindow(true);
  frame.OpenWindow(nullptr);
  user.ChooseFileNamed(folder + "lead");  // typed without extension: the default one is added
  file = "start.fxp";
  frame.AskForFile(file, IFileRequest::kOpen, dir, "fxp");
  EXPECT_EQ(file, folder + "lead.fxp");
  EXPECT_EQ(dir, folder);
  ASSERT_EQ(user.FileRequests().size(), 1u);
  EXPECT_EQ(user.FileRequests()[0].filter, "*.fxp");
  EXPECT_EQ(user.FileRequests()[0].defaultExtension, "fxp");
  EXPECT_EQ(user.FileRequests()[0].fileName, "start.fxp");
  EXPECT_EQ(user.FileRequests()[0].folder, folder);

  // Opening: a bare name that exists is kept; one that does not exist is refused.
  user.ChooseFileNamed(folder + "bare");
  frame.AskForFile(file, IFileRequest::kOpen, dir, "fxp");
  EXPECT_EQ(file, folder + "bare");
  user.ChooseFileNamed(folder + "missing.fxp");
  frame.AskForFile(file, IFileRequest::kOpen, dir, "fxp");
  EXPECT_EQ(file, "");
  // Saving: a new name in an existing folder, with the extension added; a missing folder fails.
  user.ChooseFileNamed(folder + "new");
  frame.AskForFile(file, IFileRequest::kSave, dir, "fxb");
  EXPECT_EQ(file, folder + "new.fxb");
  user.ChooseFileNamed(folder + "nowhere/new.fxb");
  frame.AskForFile(file, IFileRequest::kSave, dir, "fxb");
  EXPECT_EQ(file, "");
  // Cancelled.
  user.ChooseFileNamed("");
  file = "keep.fxp";
  frame.AskForFile(file, IFileRequest::kSave, dir, "fxp");
  EXPECT_EQ(file, "");
  // An empty folder starts on the desktop; several words make several patterns.
  std::string empty;
  frame.AskForFile(file, IFileRequest::kOpen, empty, "tun scl kbm");
  EXPECT_EQ(user.FileRequests().back().folder, frame.GetDesktopFolder());
  EXPECT_EQ(user.FileRequests().back().filter, "*.tun;*.scl;*.kbm");
  EXPECT_EQ(user.FileRequests().back().patterns.size(), 3u);
  EXPECT_EQ(user.FileRequests().back().defaultExtension, "tun");
  EXPECT_EQ(empty, "");
  // A lone space: the bare pattern and no default extension; no extensions: every file.
  frame.AskForFile(file, IFileRequest::kOpen, dir, " ");
  EXPECT_EQ(user.FileRequests().back().filter, "*.");
  EXPECT_EQ(user.FileRequests().back().defaultExtension, "");
  frame.AskForFile(file, IFileRequest::kOpen, dir, nullptr);
  EXPECT_EQ(user.FileRequests().back().filter, "");
  // The filter text stops at 255 characters (whole patterns), the default extension at 15.
  std::string many;
  for (int i = 0; i < 60; ++i) many += "abcd" + std::to_string(i % 10) + " ";
  many.insert(0, "averyveryverylongextension ");
  frame.AskForFile(file, IFileRequest::kOpen, dir, many.c_str());
  EXPECT_LE(user.FileRequests().back().filter.size(), 255u);
  // 28 characters for the first pattern, 8 for each further one with its separator: 28 more fit.
  EXPECT_EQ(user.FileRequests().back().patterns.size(), 29u);
  EXPECT_EQ(user.FileRequests().back().patterns.back(), "*.abcd7");
  EXPECT_EQ(user.FileRequests().back().defaultExtension, "averyveryverylo");
}

TEST_F(Offscreen, FoldersAndScreenshots) {
  // The tests run linked into a program, not the plug-in library: the folder of that program.
  const std::string plugin = frame.GetPluginFolder();
  ASSERT_FALSE(plugin.empty());
  EXPECT_EQ(plugin.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(plugin));
  EXPECT_EQ(frame.GetDesktopFolder().rfind(TestHomeFolder(), 0), 0u);

  frame.Draw(IBounds(0, 0, 100, 50));
  const std::string path = TestHomeFolder() + "/shot.png";
  ASSERT_TRUE(frame.WriteScreenshot(path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto shot = LICE_LoadPNGFromMemory(bytes.data(), bytes.size());
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->Width(), 100);
  EXPECT_EQ(shot->Pixel(20, 15), frame.DrawBitmap()->Pixel(20, 15));
  EXPECT_EQ(shot->Pixel(20, 15), 0xFFC86432u);
  EXPECT_FALSE(frame.WriteScreenshot(TestHomeFolder() + "/no/such/folder/shot.png"));
}
