// The instrument's own editor in a window on a real X server, played with injected input as a
// musician plays it: a knob dragged and double-clicked, the voice count chosen from its menu, and a
// controller learnt through the learn switch while the host delivers MIDI. Without a display these
// tests skip.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "X11TestHost.h"
#include "editor/EditorLayout.h"
#include "editor/IGraphicsX11.h"
#include "editor/ISMPresetMenu.h"
#include "editor/ISMWaveTableControl.h"
#include "editor/XcbPopupMenu.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"
#include "wavetable/WaveTestHelpers.h"

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_hostLog;

// The host's record of the gestures and automation the editor reports.
VstIntPtr HostCallback(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr, void*, float opt) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (opcode == audioMasterBeginEdit) g_hostLog.push_back("begin " + std::to_string(index));
  if (opcode == audioMasterEndEdit) g_hostLog.push_back("end " + std::to_string(index));
  if (opcode == audioMasterAutomate) g_hostLog.push_back("automate " + std::to_string(index) + " " + std::to_string(opt));
  if (opcode == audioMasterVersion) return 2400;
  return 0;
}

std::vector<std::string> HostLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  return g_hostLog;
}

void ClearHostLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  g_hostLog.clear();
}

class X11Instrument : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = X11TestHost::Open();
    if (host_ == nullptr) GTEST_SKIP() << "no X display reachable";
    plug_ = std::make_unique<Tarvolin>(&HostCallback);
    e_ = plug_->GetAEffect();
    Dispatch(effOpen);
    e_->dispatcher(e_, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Dispatch(effSetBlockSize, 256);
    // Switched on first: switching on delivers every parameter, which learning would take for moves.
    Dispatch(effMainsChanged, 1);
    ASSERT_EQ(Dispatch(effEditOpen, 0, host_->ParentHandle()), 1);
    frame_ = dynamic_cast<IGraphicsX11*>(IGraphics::FromEditor(plug_->GetEditor()));
    ASSERT_NE(frame_, nullptr);
    // Painted once the host has idled the editor a few times.
    const xcb_window_t w = frame_->WindowId();
    ASSERT_TRUE(Until([&] { Idle(); }, [&] {
      return host_->PixelAt(w, 563, 388) == (frame_->DrawBitmap()->Pixel(563, 388) & 0xFFFFFFu);
    }));
    ClearHostLog();
  }
  void TearDown() override {
    if (plug_ != nullptr) {
      Dispatch(effEditClose);
      Dispatch(effMainsChanged, 0);
    }
  }

  VstIntPtr Dispatch(std::int32_t opcode, VstIntPtr value = 0, void* ptr = nullptr) {
    return e_->dispatcher(e_, opcode, 0, value, ptr, 0.0f);
  }
  void Idle(int times = 1) {
    for (int i = 0; i < times; ++i) Dispatch(effEditIdle);
  }
  // Idles for the editor's next ticks to have run (40 ms apart).
  void Settle() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(120);
    while (std::chrono::steady_clock::now() < end) {
      Idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The centre of the control bound to a parameter or id (the editor lies at the host window's
  // top left, which lies at the screen's).
  static std::pair<int, int> Centre(int paramOrId) {
    const editor_layout::ControlRow* row = editor_layout::FindControl(paramOrId);
    return {(row->rect.l + row->rect.r) / 2, (row->rect.t + row->rect.b) / 2};
  }
  double Normalised(int index) const { return e_->getParameter(e_, index); }
  // A MIDI message delivered and played on an audio thread of the host's.
  void MidiOnAudioThread(int status, int data1, int data2) {
    std::thread audio([&] {
      VstMidiEvent m{};
      m.type = kVstMidiType;
      m.byteSize = sizeof(VstMidiEvent);
      m.midiData[0] = static_cast<char>(status);
      m.midiData[1] = static_cast<char>(data1);
      m.midiData[2] = static_cast<char>(data2);
      VstEvents events{};
      events.numEvents = 1;
      events.events[0] = reinterpret_cast<VstEvent*>(&m);
      e_->dispatcher(e_, effProcessEvents, 0, 0, &events, 0.0f);
      std::vector<float> left(256), right(256);
      float* outs[2] = {left.data(), right.data()};
      e_->processReplacing(e_, nullptr, outs, 256);
    });
    audio.join();
  }

  std::unique_ptr<X11TestHost> host_;
  std::unique_ptr<Tarvolin> plug_;
  AEffect* e_ = nullptr;
  IGraphicsX11* frame_ = nullptr;
};

TEST_F(X11Instrument, TheCutoffKnobFollowsADragAndADoubleClickInsideTheHostsGestures) {
  const int p = param::kFilterCutoff;
  e_->setParameter(e_, p, 0.5f);
  Settle();
  const auto [x, y] = Centre(p);
  host_->MoveTo(x, y);
  Settle();
  host_->Button(1, true);
  Settle();
  // Up beyond the top of the screen: the knob keeps the pointer and ends at its top.
  for (int dy = 10; dy <= 400; dy += 30) {
    host_->MoveTo(x, y - dy);
    Idle(2);
  }
  Settle();
  host_->Button(1, false);
  Settle();
  EXPECT_NEAR(Normalised(p), 1.0, 1e-6);
  const std::vector<std::string> log = HostLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front(), "begin " + std::to_string(p));
  EXPECT_EQ(log.back(), "end " + std::to_string(p));
  EXPECT_EQ(log[log.size() - 2].rfind("automate " + std::to_string(p) + " 1.0", 0), 0u) << log[log.size() - 2];

  // A double click (two clicks close in time and place) brings back the default.
  host_->Click(x, y);
  Idle(2);
  host_->Click(x, y);
  Settle();
  EXPECT_NEAR(Normalised(p), plug_->GetParam(p)->NormalisedDefault(), 1e-6);
}

// Chooses row `row` (22 pixels each) of the menu that a click at `at` opens. The
// menu runs inside the host's idle call; a second thread plays the user.
void ChooseFromMenu(X11TestHost& host, IGraphicsX11& frame, std::pair<int, int> at, int row,
                    const std::function<void()>& settle) {
  std::thread user([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frame.ModalWindow() == 0 && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const xcb_window_t menu = frame.ModalWindow();
    if (menu == 0) return;
    host.WaitUntilReady(menu);
    const std::vector<int> where = host.Geometry(menu);
    if (where.size() != 4) return;
    host.Click(where[0] + 20, where[1] + 2 + row * 22 + 11);
  });
  host.Click(at.first, at.second);
  settle();
  user.join();
  settle();
}

TEST_F(X11Instrument, TheVoiceCountAndAModulationSourceAreChosenFromTheirMenus) {
  e_->setParameter(e_, param::kNumberOfVoices, 1.0f);  // 64
  e_->setParameter(e_, param::kFilterCfmSource, 0.0f);
  Settle();
  const auto settle = [&] { Settle(); };
  ChooseFromMenu(*host_, *frame_, Centre(param::kNumberOfVoices), 4, settle);  // "16"
  EXPECT_NEAR(Normalised(param::kNumberOfVoices), 4.0 / 6.0, 1e-6);
  EXPECT_EQ(plug_->VoiceCount(), 16);
  ChooseFromMenu(*host_, *frame_, Centre(param::kFilterCfmSource), 11, settle);  // "Velocity"
  EXPECT_NEAR(Normalised(param::kFilterCfmSource), 11.0 / 20.0, 1e-6);
}

TEST_F(X11Instrument, TheLearnSwitchLearnsAControllerTheHostDelivers) {
  plug_->SetControllerMapping(20, param::kFilterResonance);
  const auto [lx, ly] = Centre(-155);
  host_->Click(lx, ly);
  Settle();
  ASSERT_TRUE(plug_->LearnArmed());
  // A knob touched, then controller 74 moved: the controller plays that knob from now on.
  const auto [x, y] = Centre(param::kFilterResonance);
  host_->MoveTo(x, y);
  host_->Button(1, true);
  Idle(2);
  host_->MoveTo(x, y - 12);
  Idle(2);
  host_->Button(1, false);
  Settle();
  MidiOnAudioThread(0xB0, 74, 127);
  Settle();
  EXPECT_EQ(plug_->ControllerMap()[74], param::kFilterResonance);
  EXPECT_EQ(plug_->ControllerMap()[20], -1);
  EXPECT_FALSE(plug_->LearnArmed());
  MidiOnAudioThread(0xB0, 74, 0);
  EXPECT_NEAR(Normalised(param::kFilterResonance), 0.0, 1e-6);
}

// The program menu opens below the program number; hovering "32 - 47" opens that submenu beside
// it, and its sixth item is program 37.
TEST_F(X11Instrument, AProgramIsPickedFromTheSubmenusOfTheProgramMenu) {
  plug_->SelectProgram(0);
  Settle();
  const editor_layout::ControlRow* row = editor_layout::FindControl(-1);
  const auto* display = dynamic_cast<ISMPresetMenu*>(frame_->GetControl(row->number));
  ASSERT_NE(display, nullptr);
  std::thread user([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frame_->ModalWindow() == 0 && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const xcb_window_t menu = frame_->ModalWindow();
    if (menu == 0) return;
    host_->WaitUntilReady(menu);
    const std::vector<int> g = host_->Geometry(menu);
    if (g.size() != 4) return;
    const int rowHeight = XcbPopupMenu::kItemHeight;
    // The submenu's top lies level with its entry (2 pixels of frame above each list).
    const int subX = g[0] + g[2] - 2;
    const int subY = g[1] + 2 + 2 * rowHeight - 2;
    const int itemX = subX + 20;
    const int itemY = subY + 2 + 5 * rowHeight + rowHeight / 2;
    const std::uint32_t before = host_->PixelAt(host_->Root(), itemX + 60, itemY);
    host_->MoveTo(g[0] + 20, g[1] + 2 + 2 * rowHeight + rowHeight / 2);
    Until([] {}, [&] { return host_->PixelAt(host_->Root(), itemX + 60, itemY) != before; });
    host_->MoveTo(itemX, itemY);
    host_->Click(itemX, itemY);
  });
  host_->Click((row->numberRect.l + row->numberRect.r) / 2, (row->numberRect.t + row->numberRect.b) / 2);
  Settle();
  user.join();
  Settle();
  EXPECT_EQ(plug_->CurrentProgram(), 37);
  EXPECT_EQ(display->NumberText(), "37");
  EXPECT_EQ(display->NameText(), plug_->ProgramName(37).substr(0, 27));
}

// The modal window that follows `previous` (a menu, chooser or box), once it is up.
xcb_window_t NextModal(X11TestHost& host, IGraphicsX11& frame, xcb_window_t previous) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while ((frame.ModalWindow() == 0 || frame.ModalWindow() == previous) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const xcb_window_t w = frame.ModalWindow();
  if (w != 0 && w != previous) host.WaitUntilReady(w);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  return w != previous ? w : 0;
}

TEST_F(X11Instrument, AWaveTableFileIsChosenInTheDrawnChooserAnnouncedAndPlayed) {
  IGraphicsX11::AllowDesktopChoosers(false);
  char folder[] = "/tmp/tarvolin-x11-waves-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  {
    std::vector<std::int16_t> samples(4096);
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = static_cast<std::int16_t>((n % 2048) * 16 - 16384);
    const std::vector<std::uint8_t> wav = wavetest::Wav16(samples);
    std::ofstream(std::string(folder) + "/two.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  }
  plug_->FileDialogFolder() = std::string(folder) + "/";

  std::vector<std::string> seen;
  std::thread user([&] {
    const xcb_window_t menu = NextModal(*host_, *frame_, 0);
    const std::vector<int> g = menu != 0 ? host_->Geometry(menu) : std::vector<int>();
    if (g.size() != 4) return;
    seen.push_back("menu");
    // "User-Defined", the fourth group, opens beside its row; in it, three empty slots and a
    // separator come before "Load Wave Table 1..." and "Load Wave Table 2...".
    host_->MoveTo(g[0] + 30, g[1] + 2 + 3 * 22 + 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const int submenuTop = g[1] + 2 + 3 * 22 - 2;
    host_->Click(g[0] + g[2] + 30, submenuTop + 2 + 3 * 22 + 9 + 22 + 11);
    const xcb_window_t chooser = NextModal(*host_, *frame_, menu);
    if (chooser == 0) return;
    seen.push_back("chooser");
    host_->Type("two.wav");
    host_->Key(0xff0d);
    const xcb_window_t box = NextModal(*host_, *frame_, chooser);
    if (box == 0) return;
    seen.push_back("description");
    host_->Key(0xff0d);
  });
  const auto [x, y] = Centre(param::kWaveTable1);
  host_->Click(x, y);
  Settle();
  user.join();
  Settle();
  std::filesystem::remove_all(folder);

  EXPECT_EQ(seen, (std::vector<std::string>{"menu", "chooser", "description"}));
  EXPECT_EQ(frame_->ModalWindow(), 0u);
  EXPECT_EQ(plug_->GetParam(param::kWaveTable1)->Value(), 65532.0);
  EXPECT_EQ(plug_->WaveTables().Table(0).WaveCount(), 2);
  EXPECT_EQ(plug_->FileDialogFolder(), std::string(folder) + "/");
  // The display shows the new table, on screen as drawn.
  auto* display = dynamic_cast<ISMWaveTableControl*>(frame_->GetControl(editor_layout::FindControl(param::kWaveTable1)->number));
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(display->ShownName(), "two.wav");
  const xcb_window_t w = frame_->WindowId();
  const IBounds r = display->Rect();
  EXPECT_TRUE(Until([&] { Idle(); }, [&] {
    for (int px = r.L; px < r.R; px += 7) {
      if (host_->PixelAt(w, px, r.T + 28) != (frame_->DrawBitmap()->Pixel(px, r.T + 28) & 0xFFFFFFu)) return false;
    }
    return true;
  }));
  IGraphicsX11::AllowDesktopChoosers(true);
}

}  // namespace
