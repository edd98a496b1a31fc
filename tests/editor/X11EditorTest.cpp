// The editor's window on a real X server (the display the test script provides): opened in a host
// window through the binary interface, painted, fed with injected input, and its menus, boxes,
// text entry, tooltips and file choosers answered as a user would. Without a display these tests
// skip.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "EditorTestSupport.h"
#include "X11TestHost.h"
#include "editor/IGraphicsX11.h"
#include "editor/PlatformEditor.h"
#include "editor/XcbDisplay.h"
#include "editor/XcbFileChooser.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

bool Logged(const std::string& entry) {
  for (const auto& e : Log()) {
    if (e == entry) return true;
  }
  return false;
}

bool LoggedPrefix(const std::string& prefix) {
  for (const auto& e : Log()) {
    if (e.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

int CountPrefix(const std::string& prefix) {
  return static_cast<int>(
      std::count_if(Log().begin(), Log().end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
}

// The log without pointer crossings, redraws and value reports: the clicks, keys and gestures.
std::vector<std::string> Actions() {
  std::vector<std::string> out;
  for (const auto& e : Log()) {
    if (e.find(" over ") == std::string::npos && e.find(" draw") == std::string::npos &&
        e.rfind("report", 0) != 0 && (e.size() < 4 || e.substr(e.size() - 4) != " out")) {
      out.push_back(e);
    }
  }
  return out;
}

VstIntPtr Dispatch(AEffect* e, std::int32_t opcode, VstIntPtr value = 0, void* ptr = nullptr) {
  return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
}

// DISPLAY set to another value for the lifetime of the object (null unsets it).
class DisplayVariable {
 public:
  explicit DisplayVariable(const char* value) {
    const char* old = std::getenv("DISPLAY");
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) setenv("DISPLAY", value, 1);
    else unsetenv("DISPLAY");
  }
  ~DisplayVariable() {
    if (had_) setenv("DISPLAY", old_.c_str(), 1);
    else unsetenv("DISPLAY");
  }

 private:
  bool had_ = false;
  std::string old_;
};

// The editor frame at the real size on a small plug-in: the background, control "a" bound to
// parameter 0 at (100, 100)-(200, 200), control "b" with a tooltip at (300, 100)-(400, 200).
struct ProbedEditor {
  RecordingPlug plug;
  IGraphicsX11 frame{&plug, 1127, 776, 25};
  ProbeControl* a = nullptr;
  ProbeControl* b = nullptr;

  ProbedEditor() {
    plug.out = &Log();
    frame.HandleMouseOver(true);
    frame.EnableTooltips(true);
    frame.AddControl(new ProbeControl(&plug, &Log(), "bg", IBounds(0, 0, 1127, 776)));
    a = new ProbeControl(&plug, &Log(), "a", IBounds(100, 100, 200, 200), 0);
    a->colour = IArgb(255, 10, 200, 30);
    frame.AddControl(a);
    b = new ProbeControl(&plug, &Log(), "b", IBounds(300, 100, 400, 200));
    b->SetTooltip("Cutoff");
    frame.AddControl(b);
    frame.CreateSurfaces();
    for (int i = 0; i < plug.NParams(); ++i) frame.SetParameterFromPlugin(i, 0.25, true);
  }
};

class X11Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = X11TestHost::Open();
    if (host_ == nullptr) GTEST_SKIP() << "no X display reachable";
    editor_ = std::make_unique<ProbedEditor>();
    ASSERT_NE(frame().OpenEditorWindow(host_->ParentHandle()), nullptr);
    // The first tick paints everything.
    ASSERT_TRUE(Idle([&] { return LoggedPrefix("bg draw"); }));
    host_->MoveTo(1500, 1100);
    Idle([] { return false; }, 60);
    Log().clear();
  }
  void TearDown() override {
    if (editor_ != nullptr) frame().CloseEditorWindow();
    IGraphicsX11::AllowDesktopChoosers(true);
  }

  IGraphicsX11& frame() { return editor_->frame; }
  bool Idle(const std::function<bool()>& done, int ms = 3000) {
    return Until([&] { frame().Idle(); }, done, ms);
  }
  // Runs action on a thread of its own once a menu, box or chooser is up (with the keyboard on
  // it), while the caller runs the modal service.
  std::thread Answer(std::function<void(xcb_window_t)> action) {
    return std::thread([this, action] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (frame().ModalWindow() == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      const xcb_window_t w = frame().ModalWindow();
      // Shown (and focused, where it takes the focus) before the user acts.
      if (w != 0) host_->WaitUntilReady(w);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      action(w);
    });
  }

  std::unique_ptr<X11TestHost> host_;
  std::unique_ptr<ProbedEditor> editor_;
};

}  // namespace

// ---- The window through the binary interface ------------------------------------------------------

TEST(X11EditorWindow, OpensInTheHostWindowPaintsTheSurfaceAndCloses) {
  auto host = X11TestHost::Open();
  if (host == nullptr) GTEST_SKIP() << "no X display reachable";
  Tarvolin plug(nullptr);
  AEffect* e = plug.GetAEffect();
  EXPECT_NE(e->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(e, effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 1127);
  EXPECT_EQ(rect->bottom - rect->top, 776);

  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, host->ParentHandle()), 1) << round;
    auto* frame = dynamic_cast<IGraphicsX11*>(IGraphics::FromEditor(plug.GetEditor()));
    ASSERT_NE(frame, nullptr);
    const xcb_window_t w = frame->WindowId();
    ASSERT_NE(w, 0u);
    EXPECT_EQ(host->ParentOf(w), host->Window());
    EXPECT_EQ(host->Geometry(w), (std::vector<int>{0, 0, 1127, 776}));
    // What the window shows is the drawing surface, once the host has idled us a few times.
    const int points[][2] = {{0, 0}, {563, 388}, {1126, 775}, {120, 640}, {1000, 50}};
    const bool shown = Until([&] { Dispatch(e, effEditIdle); }, [&] {
      for (const auto& p : points) {
        if (host->PixelAt(w, p[0], p[1]) != (frame->DrawBitmap()->Pixel(p[0], p[1]) & 0xFFFFFFu)) return false;
      }
      return true;
    });
    EXPECT_TRUE(shown) << round;
    EXPECT_EQ(Dispatch(e, effEditClose), 1);
    // Gone once the server has carried out the close (another client's requests may come first).
    EXPECT_TRUE(Until([] {}, [&] { return !host->IsWindow(w); }));
    EXPECT_EQ(frame->WindowId(), 0u);
  }
  // Opened again without a close: the first window goes, the second takes its place.
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, host->ParentHandle()), 1);
  auto* frame = dynamic_cast<IGraphicsX11*>(IGraphics::FromEditor(plug.GetEditor()));
  const xcb_window_t first = frame->WindowId();
  const std::uint32_t v[] = {40, 30};
  xcb_configure_window(host->Connection(), first, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, v);
  host->Sync();
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, host->ParentHandle()), 1);
  // (The server may hand the new connection the old one's window ids.)
  const xcb_window_t second = frame->WindowId();
  const auto children = [&] {
    auto* t = xcb_query_tree_reply(host->Connection(), xcb_query_tree(host->Connection(), host->Window()), nullptr);
    const int n = t != nullptr ? t->children_len : -1;
    std::free(t);
    return n;
  };
  EXPECT_TRUE(Until([] {}, [&] { return children() == 1; }));
  EXPECT_EQ(host->ParentOf(second), host->Window());
  EXPECT_EQ(host->Geometry(second), (std::vector<int>{40, 30, 1127, 776}));
  EXPECT_EQ(Dispatch(e, effEditClose), 1);
}

TEST(X11EditorWindow, WithoutADisplayOrAWindowToOpenInTheInstanceKeepsPlaying) {
  Tarvolin plug(nullptr);
  AEffect* e = plug.GetAEffect();
  Dispatch(e, effOpen);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 64);
  Dispatch(e, effMainsChanged, 1);
  auto play = [&] {
    std::vector<float> l(64), r(64);
    float* outs[2] = {l.data(), r.data()};
    e->processReplacing(e, nullptr, outs, 64);
    return std::isfinite(l[10]);
  };
  void* someWindow = reinterpret_cast<void*>(std::uintptr_t{0x1234});
  {
    DisplayVariable none(nullptr);
    EXPECT_EQ(Dispatch(e, effEditOpen, 0, someWindow), 0);
  }
  {
    DisplayVariable unreachable(":4242");
    EXPECT_EQ(Dispatch(e, effEditOpen, 0, someWindow), 0);
  }
  EXPECT_EQ(Dispatch(e, effEditIdle), 0);
  EXPECT_TRUE(play());
  auto host = X11TestHost::Open();
  if (host == nullptr) return;
  // Parent ids that are not windows: none, one never made, the root's pixmap-free id space.
  EXPECT_EQ(Dispatch(e, effEditOpen, 0, nullptr), 0);
  EXPECT_EQ(Dispatch(e, effEditOpen, 0, reinterpret_cast<void*>(std::uintptr_t{0x7fffff0})), 0);
  const xcb_pixmap_t pixmap = xcb_generate_id(host->Connection());
  xcb_create_pixmap(host->Connection(), 24, pixmap, host->Window(), 4, 4);
  host->Sync();
  EXPECT_EQ(Dispatch(e, effEditOpen, 0, reinterpret_cast<void*>(std::uintptr_t{pixmap})), 0);
  xcb_free_pixmap(host->Connection(), pixmap);
  EXPECT_EQ(Dispatch(e, effEditIdle), 0);
  EXPECT_TRUE(play());
  // And a real one still opens afterwards.
  EXPECT_EQ(Dispatch(e, effEditOpen, 0, host->ParentHandle()), 1);
  EXPECT_EQ(Dispatch(e, effEditClose), 1);
}

TEST(X11EditorWindow, OpensAndClosesAThousandTimesWhileAudioRenders) {
  auto host = X11TestHost::Open();
  if (host == nullptr) GTEST_SKIP() << "no X display reachable";
  Tarvolin plug(nullptr);
  AEffect* e = plug.GetAEffect();
  Dispatch(e, effOpen);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 128);
  Dispatch(e, effMainsChanged, 1);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    std::vector<float> l(128), r(128);
    float* outs[2] = {l.data(), r.data()};
    while (!stop.load()) {
      e->processReplacing(e, nullptr, outs, 128);
      ++blocks;
    }
  });
  int opened = 0;
  for (int i = 0; i < 1000; ++i) {
    if (Dispatch(e, effEditOpen, 0, host->ParentHandle()) == 1) ++opened;
    Dispatch(e, effEditIdle);
    // A value from the automation side arrives while the window is up.
    e->setParameter(e, i % 150, static_cast<float>(i % 7) / 7.0f);
    Dispatch(e, effEditIdle);
    Dispatch(e, effEditClose);
  }
  stop = true;
  audio.join();
  EXPECT_EQ(opened, 1000);
  EXPECT_GT(blocks.load(), 0);
  // Every window went with its close.
  Until([] {}, [&] {
    auto* t = xcb_query_tree_reply(host->Connection(), xcb_query_tree(host->Connection(), host->Window()), nullptr);
    const bool empty = t != nullptr && t->children_len == 0;
    std::free(t);
    return empty;
  });
  auto* tree = xcb_query_tree_reply(host->Connection(), xcb_query_tree(host->Connection(), host->Window()), nullptr);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->children_len, 0);
  std::free(tree);
}

// ---- Input --------------------------------------------------------------------------------------------

TEST_F(X11Editor, ClicksDragsBeyondTheWindowWheelAndDoubleClicksReachTheControls) {
  host_->Click(150, 150);
  ASSERT_TRUE(Idle([] { return Logged("end 0"); }));
  EXPECT_EQ(Actions(), (std::vector<std::string>{"begin 0", "a down 150,150", "a up 150,150", "end 0"}));

  // The right button, with its flag.
  Log().clear();
  host_->Click(350, 150, 3);
  ASSERT_TRUE(Idle([] { return Logged("b up 350,150"); }));
  EXPECT_TRUE(Logged("b down 350,150 R"));

  // A drag that leaves the window (and the host's window) keeps feeding the control it began on.
  Log().clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  host_->MoveTo(150, 150);
  host_->Button(1, true);
  host_->MoveTo(150, 140);
  host_->MoveTo(1300, 1000);
  host_->MoveTo(1350, 1010);
  host_->Button(1, false);
  ASSERT_TRUE(Idle([] { return LoggedPrefix("a up"); }));
  EXPECT_TRUE(Logged("a drag 150,140 d0,-10"));
  EXPECT_TRUE(Logged("a drag 1300,1000 d1150,860"));
  EXPECT_TRUE(Logged("a drag 1350,1010 d50,10"));
  EXPECT_TRUE(Logged("a up 1350,1010"));

  // The wheel turns in notches, away from the user positive.
  Log().clear();
  host_->MoveTo(150, 150);
  host_->Button(4, true);
  host_->Button(4, false);
  host_->Button(5, true);
  host_->Button(5, false);
  ASSERT_TRUE(Idle([] { return Logged("a wheel 150,150 -1"); }));
  EXPECT_TRUE(Logged("a wheel 150,150 1"));
  EXPECT_FALSE(LoggedPrefix("a down"));

  // Two quick clicks at one place: the second is a double click, and restores the default.
  Log().clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  editor_->a->SetValueFromUser(0.9);
  host_->Click(150, 150);
  host_->Click(151, 152);
  ASSERT_TRUE(Idle([] { return LoggedPrefix("a double"); }));
  Idle([] { return CountPrefix("a up") >= 2; }, 300);
  EXPECT_EQ(CountPrefix("a down"), 1);
  EXPECT_TRUE(Logged("a double 151,152"));
  EXPECT_DOUBLE_EQ(editor_->a->Value(), 0.25);
  // Slow clicks, or far apart, are two clicks.
  Log().clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  host_->Click(150, 150);
  host_->Click(160, 150);
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  host_->Click(160, 150);
  ASSERT_TRUE(Idle([] { return CountPrefix("a up") == 3; }));
  EXPECT_EQ(CountPrefix("a down"), 3);
  EXPECT_FALSE(LoggedPrefix("a double"));
}

TEST_F(X11Editor, KeysTheControlsDeclineGoBackToTheHostWindowUnchanged) {
  // Focus comes with a click; the pointer rests on a control.
  host_->Click(150, 150);
  Idle([] { return Logged("end 0"); });
  Log().clear();
  const std::uint8_t q = host_->KeycodeOf('q');
  const std::uint8_t f1 = host_->KeycodeOf(0xffbe);
  host_->Key('q');
  host_->Key(0xffbe);  // F1: no code of the editor's
  ASSERT_TRUE(Idle([&] { return host_->ForwardedKeys().size() >= 4; }));
  EXPECT_EQ(host_->ForwardedKeys(), (std::vector<std::string>{"press " + std::to_string(q), "release " + std::to_string(q),
                                                             "press " + std::to_string(f1), "release " + std::to_string(f1)}));
  // The control was asked for q (letter 16 from A = 15), not for F1.
  EXPECT_EQ(Actions(), (std::vector<std::string>{"a key 150,150 31"}));

  // A control that takes a key keeps its press from the host.
  editor_->a->takesKeys = true;
  Log().clear();
  host_->Key(0xff52);  // Up
  ASSERT_TRUE(Idle([] { return Logged("a key 150,150 1"); }));
  const auto up = std::to_string(host_->KeycodeOf(0xff52));
  Idle([&] { return host_->ForwardedKeys().size() >= 5; }, 300);
  const auto keys = host_->ForwardedKeys();
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "press " + up), 0);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "release " + up), 1);
}

TEST_F(X11Editor, PointerOverAndOutAndTheTooltipAfterHovering) {
  host_->MoveTo(350, 150);
  ASSERT_TRUE(Idle([] { return Logged("b over 350,150"); }));
  EXPECT_FALSE(frame().TooltipShown());
  ASSERT_TRUE(Idle([&] { return frame().TooltipShown(); }, 2000));
  // Moving to another control hides it; leaving the window tells every control.
  host_->MoveTo(150, 150);
  ASSERT_TRUE(Idle([] { return Logged("a over 150,150"); }));
  EXPECT_TRUE(Logged("b out"));
  EXPECT_FALSE(frame().TooltipShown());
  // A control without a tooltip shows none.
  Idle([] { return false; }, 700);
  EXPECT_FALSE(frame().TooltipShown());
  Log().clear();
  host_->MoveTo(1180, 850);
  ASSERT_TRUE(Idle([] { return Logged("bg out"); }));
  EXPECT_TRUE(Logged("a out"));
  EXPECT_EQ(frame().MouseOverIndex(), -1);
}

// ---- Services -----------------------------------------------------------------------------------------

TEST_F(X11Editor, MessageBoxesBelongToTheHostWindowAndAnswerOkYesAndNo) {
  xcb_window_t owner = 0;
  std::thread user = Answer([&](xcb_window_t w) {
    owner = host_->TransientFor(w);
    // A value from another thread reaches the editor behind the box: its ticks go on.
    frame().SetParameterFromPlugin(0, 0.8, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    host_->Key(0xff0d);  // Enter
  });
  EXPECT_EQ(frame().ShowMessage("Cannot load file!", "Error", IGraphics::kMessageOk), IGraphics::kAnswerOk);
  user.join();
  EXPECT_EQ(owner, host_->Window());
  EXPECT_EQ(frame().ModalWindow(), 0u);
  EXPECT_TRUE(Logged("a draw"));

  user = Answer([&](xcb_window_t) { host_->Key(0xff0d); });
  EXPECT_EQ(frame().ShowMessage("Replace the program?", "Question", IGraphics::kMessageYesNo), IGraphics::kAnswerYes);
  user.join();
  user = Answer([&](xcb_window_t) { host_->Key(0xff1b); });  // Escape
  EXPECT_EQ(frame().ShowMessage("Replace the program?", "Question", IGraphics::kMessageYesNo), IGraphics::kAnswerNo);
  user.join();
  // Clicking No: the right-hand button, centred at the bottom of the box.
  user = Answer([&](xcb_window_t w) {
    const auto g = host_->Geometry(w);
    host_->Click(g[0] + g[2] / 2 + 48, g[1] + g[3] - 30);
  });
  EXPECT_EQ(frame().ShowMessage("Replace the program?", "Question", IGraphics::kMessageYesNo), IGraphics::kAnswerNo);
  user.join();
  EXPECT_EQ(host_->PixelAt(frame().WindowId(), 150, 150), 0x0AC81Eu);
}

TEST_F(X11Editor, PopupMenusChooseThroughSubmenusWithTheirNumberingAndStayOnScreen) {
  IMenuModel menu;
  menu.AddItem("Programs", -1, IMenuEntry::kTitle);                 // top 2
  menu.AddItem("Copy");                                             // 24
  menu.AddSeparator();                                              // 46, 9 high
  menu.AddItem("Paste", -1, IMenuEntry::kDisabled);                 // 55
  auto sub = std::make_unique<IMenuModel>();
  sub->AddItem("Equal");
  sub->AddItem("Werckmeister III", -1, IMenuEntry::kChecked);
  IMenuModel* tuning = sub.get();
  menu.AddSubmenu("Tuning", std::move(sub));                        // 77
  menu.AddItem("Init");                                             // 99

  std::vector<int> where;
  Log().clear();
  std::thread user = Answer([&](xcb_window_t w) {
    where = host_->Geometry(w);
    host_->MoveTo(where[0] + 30, where[1] + 88);  // over "Tuning": its submenu opens
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host_->MoveTo(where[0] + where[2] + 30, where[1] + 75 + 2 + 22 + 11);
    host_->Button(1, true);
    host_->Button(1, false);
  });
  IMenuModel* chosen = frame().ShowPopupMenu(&menu, IBounds(100, 100, 200, 120));
  user.join();
  ASSERT_EQ(where.size(), 4u);
  EXPECT_EQ(where[0], 100);
  EXPECT_EQ(where[1], 120);
  EXPECT_EQ(chosen, tuning);
  EXPECT_EQ(tuning->ChosenItem(), 1);
  EXPECT_EQ(menu.ChosenItem(), -1);

  // Clicking a disabled item, the title or a separator chooses nothing; Escape closes.
  user = Answer([&](xcb_window_t w) {
    const auto g = host_->Geometry(w);
    host_->Click(g[0] + 30, g[1] + 66);
    host_->Click(g[0] + 30, g[1] + 12);
    host_->Click(g[0] + 30, g[1] + 50);
    host_->Key(0xff1b);
  });
  EXPECT_EQ(frame().ShowPopupMenu(&menu, IBounds(100, 100, 200, 120)), nullptr);
  user.join();
  // A click outside the menu closes it with nothing chosen; so does the keyboard's way down to
  // a plain item ... then Enter chooses it.
  user = Answer([&](xcb_window_t) { host_->Click(900, 700); });
  EXPECT_EQ(frame().ShowPopupMenu(&menu, IBounds(100, 100, 200, 120)), nullptr);
  user.join();
  user = Answer([&](xcb_window_t) {
    host_->Key(0xff54);  // Down: "Copy", the first that can be chosen
    host_->Key(0xff0d);
  });
  EXPECT_EQ(frame().ShowPopupMenu(&menu, IBounds(100, 100, 200, 120)), &menu);
  user.join();
  EXPECT_EQ(menu.ChosenItem(), 1);

  // Near the screen's corner the menu moves back onto it.
  host_->MoveWindow(1000, 1000);
  Idle([] { return false; }, 100);
  user = Answer([&](xcb_window_t w) {
    where = host_->Geometry(w);
    host_->Key(0xff1b);
  });
  EXPECT_EQ(frame().ShowPopupMenu(&menu, IBounds(550, 150, 560, 170)), nullptr);
  user.join();
  ASSERT_EQ(where.size(), 4u);
  EXPECT_LE(where[0] + where[2], 1600);
  EXPECT_LE(where[1] + where[3], 1200);
  EXPECT_GE(where[0], 1400);
}

TEST_F(X11Editor, TextEntryCommitsOrCancelsOnTheNextTickAndGoesWithTheWindow) {
  ITextStyle style;
  // Enter commits what was typed over the selected initial text, limited to the control's length.
  editor_->a->SetTextEntryLength(4);
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "120");
  ASSERT_TRUE(frame().TextEntryOpen());
  Idle([] { return false; }, 120);
  host_->Type("98765");
  host_->Key(0xff0d);
  ASSERT_TRUE(Idle([&] { return !frame().TextEntryOpen(); }));
  EXPECT_TRUE(Logged("a text 9876"));

  // Escape and the wheel cancel.
  Log().clear();
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "5");
  Idle([] { return false; }, 120);
  host_->Type("7");
  host_->Key(0xff1b);
  ASSERT_TRUE(Idle([&] { return !frame().TextEntryOpen(); }));
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "5");
  Idle([] { return false; }, 120);
  host_->MoveTo(600, 600);
  host_->Button(5, true);
  host_->Button(5, false);
  ASSERT_TRUE(Idle([&] { return !frame().TextEntryOpen(); }));
  EXPECT_FALSE(LoggedPrefix("a text"));
  EXPECT_FALSE(LoggedPrefix("bg wheel"));

  // A click elsewhere in the editor, once the box has settled, commits.
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "5");
  Idle([] { return false; }, 150);
  host_->Type("3");
  host_->Click(600, 600);
  ASSERT_TRUE(Idle([&] { return !frame().TextEntryOpen(); }));
  EXPECT_TRUE(Logged("a text 3"));
  EXPECT_FALSE(LoggedPrefix("bg down"));

  // Closing the window with a box open takes the box along; the next window's box works.
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "5");
  const xcb_window_t old = frame().WindowId();
  frame().CloseEditorWindow();
  EXPECT_FALSE(frame().TextEntryOpen());
  EXPECT_TRUE(Until([] {}, [&] { return !host_->IsWindow(old); }));
  ASSERT_NE(frame().OpenEditorWindow(host_->ParentHandle()), nullptr);
  Log().clear();
  frame().OpenTextEntry(editor_->a, style, IBounds(100, 100, 200, 120), "5");
  ASSERT_TRUE(frame().TextEntryOpen());
  Idle([] { return false; }, 120);
  host_->Type("42");
  host_->Key(0xff8d);  // the keypad's Enter
  ASSERT_TRUE(Idle([&] { return !frame().TextEntryOpen(); }));
  EXPECT_TRUE(Logged("a text 42"));
}

TEST(XcbFileChooserPatterns, ExtensionsMatchWithoutRegardToCaseAndTheBarePatternMeansNoExtension) {
  EXPECT_TRUE(XcbFileChooser::Matches({"*.fxp"}, "Bass.fxp"));
  EXPECT_TRUE(XcbFileChooser::Matches({"*.fxp"}, "BASS.FXP"));
  EXPECT_FALSE(XcbFileChooser::Matches({"*.fxp"}, "bank.fxb"));
  EXPECT_FALSE(XcbFileChooser::Matches({"*.fxp"}, "fxp"));
  EXPECT_TRUE(XcbFileChooser::Matches({"*.tun", "*.scl", "*.kbm"}, "a.kbm"));
  EXPECT_TRUE(XcbFileChooser::Matches({"*."}, "README"));
  EXPECT_FALSE(XcbFileChooser::Matches({"*."}, "a.txt"));
  EXPECT_TRUE(XcbFileChooser::Matches({}, "anything.at.all"));
}

namespace {

// A folder with preset files and a subfolder, removed afterwards.
struct PresetFolder {
  fs::path dir = fs::temp_directory_path() / ("tarvolin-chooser-" + std::to_string(getpid()));
  PresetFolder() {
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    for (const char* name : {"a.fxp", "b.fxb", "C.FXP"}) std::ofstream(dir / name) << "x";
  }
  ~PresetFolder() { fs::remove_all(dir); }
  std::string Folder() const { return dir.string() + "/"; }
};

// A stand-in for a desktop program: a script that writes its arguments to a file, prints output
// and exits with status.
void WriteProgram(const fs::path& path, const std::string& output, int status) {
  std::ofstream script(path);
  script << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << path.string() << ".args\"\n";
  if (!output.empty()) script << "echo '" << output << "'\n";
  script << "exit " << status << "\n";
  script.close();
  fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST_F(X11Editor, TheDrawnFileChooserOpensAndSavesWithTheDefaultExtension) {
  IGraphicsX11::AllowDesktopChoosers(false);
  PresetFolder presets;
  std::string name, folder = presets.Folder();
  // A typed name without an extension gets the default one.
  std::thread user = Answer([&](xcb_window_t) {
    host_->Type("a");
    host_->Key(0xff0d);
  });
  frame().AskForFile(name, 0, folder, "fxp");
  user.join();
  EXPECT_EQ(name, presets.Folder() + "a.fxp");
  EXPECT_EQ(folder, presets.Folder());

  // Saving a new name; then over an existing file, which is confirmed first.
  name = "";
  user = Answer([&](xcb_window_t) {
    host_->Type("new");
    host_->Key(0xff0d);
  });
  frame().AskForFile(name, 1, folder, "fxp");
  user.join();
  EXPECT_EQ(name, presets.Folder() + "new.fxp");
  name = "";
  std::vector<std::string> seen;
  user = Answer([&](xcb_window_t chooser) {
    host_->Type("a");
    host_->Key(0xff0d);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    // The chooser steps aside (no modal window for a moment) and the question comes up.
    while ((frame().ModalWindow() == chooser || frame().ModalWindow() == 0) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const xcb_window_t question = frame().ModalWindow();
    seen.push_back(question != chooser && question != 0 ? "asked" : "not asked");
    if (question != 0) host_->WaitUntilReady(question);
    host_->Key('y');
  });
  frame().AskForFile(name, 1, folder, "fxp");
  user.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"asked"}));
  EXPECT_EQ(name, presets.Folder() + "a.fxp");

  // Escape cancels; a name that is not there is not opened.
  name = "something";
  user = Answer([&](xcb_window_t) { host_->Key(0xff1b); });
  frame().AskForFile(name, 0, folder, "fxp");
  user.join();
  EXPECT_EQ(name, "");
  user = Answer([&](xcb_window_t) {
    host_->Type("missing");
    host_->Key(0xff0d);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host_->Key(0xff1b);
  });
  frame().AskForFile(name, 0, folder, "fxp");
  user.join();
  EXPECT_EQ(name, "");
}

TEST_F(X11Editor, DesktopProgramsStartWithoutAShellAndTheDrawnChooserStandsInForABrokenOne) {
  PresetFolder presets;
  const fs::path bin = presets.dir / "bin";
  fs::create_directories(bin);
  const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);
  unsetenv("XDG_CURRENT_DESKTOP");

  // zenity answers with a path; its arguments arrive as separate words, shell characters and all.
  WriteProgram(bin / "zenity", presets.Folder() + "C.FXP", 0);
  std::string name = "my $(preset)", folder = presets.Folder();
  frame().AskForFile(name, 1, folder, "fxp");
  EXPECT_EQ(name, presets.Folder() + "C.FXP");
  EXPECT_EQ(ReadLines(bin / "zenity.args"),
            (std::vector<std::string>{"--file-selection", "--title=Save", "--filename=" + presets.Folder() + "my $(preset)",
                                      "--save", "--confirm-overwrite", "--file-filter=*.fxp | *.fxp"}));
  // Its cancel is the user's; no other chooser follows.
  WriteProgram(bin / "zenity", "", 1);
  name = "x";
  frame().AskForFile(name, 0, folder, "fxp");
  EXPECT_EQ(name, "");
  // One that cannot show itself hands over to kdialog, and that to the drawn chooser.
  WriteProgram(bin / "zenity", "", 255);
  WriteProgram(bin / "kdialog", "", 254);
  std::thread user = Answer([&](xcb_window_t) { host_->Key(0xff1b); });
  frame().AskForFile(name, 0, folder, "tun scl");
  user.join();
  EXPECT_EQ(name, "");
  EXPECT_EQ(ReadLines(bin / "kdialog.args"),
            (std::vector<std::string>{"--title", "Open", "--getopenfilename", presets.Folder(), "*.tun *.scl|*.tun;*.scl"}));

  // Web pages go to xdg-open; its failure shows the failure text.
  WriteProgram(bin / "xdg-open", "", 0);
  EXPECT_TRUE(frame().OpenWebPage("https://example.com/a b", "Update", nullptr, nullptr));
  EXPECT_EQ(ReadLines(bin / "xdg-open.args"), (std::vector<std::string>{"https://example.com/a b"}));
  WriteProgram(bin / "xdg-open", "", 3);
  user = Answer([&](xcb_window_t) { host_->Key(0xff0d); });
  EXPECT_FALSE(frame().OpenWebPage("https://example.com/", "Update", nullptr, "Cannot open the page!"));
  user.join();
  fs::remove(bin / "xdg-open.args");
  EXPECT_FALSE(frame().OpenWebPage("--help", "Update", nullptr, nullptr));
  EXPECT_FALSE(fs::exists(bin / "xdg-open.args"));
  setenv("PATH", oldPath.c_str(), 1);
}
