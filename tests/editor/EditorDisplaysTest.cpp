// The oscillators' wave-table displays and the tuning display as a user meets them: what they draw,
// the menus they open, the files they load (real tuning and SysEx files, WAVs made here) and the
// questions and failures on the way. Through the frame's entry points, off screen.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "editor/EditorLayout.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/ISMTuningControl.h"
#include "editor/ISMUtilityKick.h"
#include "editor/ISMWaveTableControl.h"
#include "editor/IScriptedResponder.h"
#include "editor/PlatformEditor.h"
#include "editor/TarvolinEditor.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "render/LICE_Bitmap.h"
#include "support/TestPaths.h"
#include "wavetable/UserWaveContent.h"
#include "wavetable/WaveTestHelpers.h"

using wavetest::TempFile;

namespace {

// A mono 16-bit WAV of `frames` samples: every 2048-sample wave a sine, wave 32 the inverted one.
std::vector<std::uint8_t> SineWaves(int frames) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    const double s = std::sin(2.0 * M_PI * (n % 2048) / 2048.0) * 30000.0;
    samples[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(n / 2048 == 32 ? -s : s);
  }
  return wavetest::Wav16(samples);
}

std::vector<std::uint8_t> Bytes(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  data.resize(std::min(limit, data.size()));
  return data;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

class Displays : public ::testing::Test {
 protected:
  Displays() : previous_(SetGraphicsFactory(&CreateOffscreenGraphics)), plug_(std::make_unique<Tarvolin>(nullptr)) {
    frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug_->GetEditor()));
    frame->SetResponder(&user);
    // File choosers open only over an open window.
    frame->AllowVirtualWindow(true);
    frame->OpenWindow(nullptr);
  }
  ~Displays() override {
    plug_.reset();
    SetGraphicsFactory(previous_);
  }

  Tarvolin& plug() { return *plug_; }
  IControl* Control(int paramOrId) { return frame->GetControl(editor_layout::FindControl(paramOrId)->number); }
  ISMWaveTableControl* Display(int o) {
    const int tables[3] = {param::kWaveTable1, param::kWaveTable2, param::kWaveTable3};
    return dynamic_cast<ISMWaveTableControl*>(Control(tables[o]));
  }
  void Settle() {
    plug().FinishWaveTables();
    for (int k = 0; k < 3 && frame->Tick(); ++k) {
    }
  }
  void Click(IControl* c, bool left = true, bool right = false, bool shift = false, bool ctrl = false) {
    IMouseState m;
    m.L = left, m.R = right, m.S = shift, m.C = ctrl;
    const int x = (c->Rect().L + c->Rect().R) / 2, y = (c->Rect().T + c->Rect().B) / 2;
    frame->OnMouseDown(x, y, m);
    frame->OnMouseUp(x, y, m);
    Settle();
  }
  // A parameter set as the host sets it, by its plain value.
  void Set(int index, double value) {
    AEffect* e = plug().GetAEffect();
    e->setParameter(e, index, static_cast<float>(plug().GetParam(index)->ToNormalised(value)));
    Settle();
  }
  double Value(int index) { return plug().GetParam(index)->Value(); }
  void LoadThroughMenu(int o, int slot, const std::string& file) {
    user.ChooseMenuItem({"User-Defined", "Load Wave Table " + std::to_string(slot) + "..."});
    user.ChooseFileNamed(file);
    Click(Display(o));
  }

  // The rows c changed in each column of area, drawn over what lies beneath it (pixels near the
  // rects in `skip`, where text may reach, left out).
  std::map<int, std::set<int>> Drawn(IControl* c, const IBounds& area, std::vector<IBounds> skip = {}) {
    std::vector<std::uint32_t> layers[2];
    for (int shown = 0; shown < 2; ++shown) {
      c->Hide(shown == 0);
      frame->Draw(area);
      const LICE_Bitmap& b = *frame->DrawBitmap();
      cairo_surface_flush(b.Surface());
      for (int y = area.T; y < area.B; ++y) layers[shown].insert(layers[shown].end(), b.Row(y) + area.L, b.Row(y) + area.R);
    }
    std::map<int, std::set<int>> out;
    for (std::size_t k = 0; k < layers[0].size(); ++k) {
      const int x = area.L + static_cast<int>(k) % area.W(), y = area.T + static_cast<int>(k) / area.W();
      bool skipped = false;
      for (const IBounds& r : skip) skipped = skipped || IBounds(r.L - 2, r.T - 2, r.R + 2, r.B + 2).Contains(x, y);
      if (!skipped && layers[0][k] != layers[1][k]) out[x].insert(y);
    }
    return out;
  }
  std::map<int, std::set<int>> Preview(ISMWaveTableControl* d) { return Drawn(d, d->Rect(), {d->NameRect(), d->NumberRect()}); }
  // The flat line through the display's middle row, from its first point to its last.
  static bool FlatLine(const std::map<int, std::set<int>>& drawn, const IBounds& r) {
    if (drawn.size() != ISMWaveTableControl::kPoints || drawn.begin()->first != r.L + 2) return false;
    for (const auto& [x, rows] : drawn) {
      if (rows != std::set<int>{r.T + 28}) return false;
    }
    return true;
  }

  IGraphicsOffscreen* frame = nullptr;
  IScriptedResponder user;

 private:
  GraphicsFactory previous_;
  std::unique_ptr<Tarvolin> plug_;
};

}  // namespace

TEST_F(Displays, PreviewsDrawTheWaveEachOscillatorStartsWithItsTableNameAndWaveNumber) {
  // Pulse at full shape: the two reads of the wave cancel, a flat line through the middle.
  plug().SelectWaveTable(0, 1);
  Set(param::kWaveShape1, 1.0);
  Set(param::kStartPhase1, 90.0);
  ISMWaveTableControl* d = Display(0);
  EXPECT_EQ(d->Rect(), IBounds(146, 92, 246, 156));
  EXPECT_TRUE(FlatLine(Preview(d), d->Rect()));
  EXPECT_EQ(d->ShownName(), "Pulse");
  EXPECT_EQ(d->ShownNumber(), std::to_string(plug().WaveTables().Table(0).WaveCount()));
  EXPECT_EQ(d->Colour(), IArgb(192, 64, 212, 255));
  Set(param::kOsc1On, 0.0);
  EXPECT_EQ(d->Colour(), IArgb(192, 144, 128, 112));

  // 64 waves from a file of 140000 samples (announced as such) on oscillator 2.
  TempFile sines("sines.wav", SineWaves(140000));
  LoadThroughMenu(1, 2, sines.Path());
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "This file does not have the correct Tarvolin wave table format.\nHowever, it is treated as a wave "
            "table with 64 waves of 2048 samples.");
  ASSERT_EQ(Value(param::kWaveTable2), 65532.0);
  ASSERT_EQ(plug().WaveTables().Table(1).WaveCount(), 64);
  // Interpolating halfway between waves 31 and 32, a sine and its inverse: they cancel. The number
  // is 33 (31.5 rounded, + 1).
  Set(param::kStartPhase2, 0.0);
  Set(param::kWaveShape2, 0.5);
  ISMWaveTableControl* d2 = Display(1);
  const IBounds r = d2->Rect();
  EXPECT_TRUE(FlatLine(Preview(d2), r));
  EXPECT_EQ(d2->ShownNumber(), "33");
  EXPECT_EQ(d2->ShownName(), "sines.wav");
  // Raw shows wave 32 alone, the inverted sine, at its lowest a quarter period in (point 24) ...
  Set(param::kWaveMode2, 1.0);
  EXPECT_EQ(d2->ShownNumber(), "33");
  const std::set<int> lowest = Preview(d2)[r.L + 26];
  ASSERT_FALSE(lowest.empty());
  EXPECT_EQ(*lowest.rbegin(), r.T + 43);
  // ... and half a period later with the start phase at 180 degrees.
  Set(param::kStartPhase2, 180.0);
  const std::set<int> highest = Preview(d2)[r.L + 26];
  ASSERT_FALSE(highest.empty());
  EXPECT_EQ(*highest.begin(), r.T + 12);
}

TEST_F(Displays, TheWaveTableMenuChoosesCatalogueTablesAndTheCopyMenuCopiesAnOscillator) {
  plug().SelectWaveTable(0, 0);
  // DW-6000 sits beside DW-8000 in the menu but carries identifier 37; built before it is selected,
  // it plays and shows at once.
  user.ChooseMenuItem({"Standard Waveforms", "DW-6000"});
  Click(Display(0));
  EXPECT_EQ(Value(param::kWaveTable1), 37.0);
  EXPECT_EQ(plug().WaveTables().Table(0).Identifier(), 37);
  EXPECT_EQ(Display(0)->ShownName(), "DW-6000");
  const std::string& items = user.Menus().at(0).items;
  EXPECT_EQ(items.find("Standard Waveforms >\n  Saw [checked]\n  Pulse\n"), 0u) << items;
  EXPECT_NE(items.find("\nAdditive Synthesis >\n"), std::string::npos);
  EXPECT_NE(items.find("\nResynthesis >\n"), std::string::npos);
  EXPECT_NE(items.find("\nUser-Defined >\n  [not defined] [disabled]\n  [not defined] [disabled]\n"
                       "  [not defined] [disabled]\n  -\n  Load Wave Table 1...\n  Load Wave Table 2...\n"
                       "  Load Wave Table 3...\n"),
            std::string::npos);
  const IBounds r = Display(0)->Rect();
  EXPECT_EQ(user.Menus()[0].rect, IBounds(r.L + 50, r.T + 32, r.L + 50, r.T + 32));
  user.ChooseNothingFromMenu();
  Click(Display(0));
  EXPECT_NE(user.Menus()[1].items.find("  DW-6000 [checked]\n"), std::string::npos);
  EXPECT_EQ(Value(param::kWaveTable1), 37.0);

  // The right button, Shift and Ctrl copy settings instead; the own oscillator is no target.
  Set(param::kWaveShape1, 0.25);
  user.ChooseMenuItem({"Copy Settings to Oscillator 3"});
  Click(Display(0), false, true);
  EXPECT_EQ(user.Menus()[2].items,
            "Copy Settings to Oscillator 1 [disabled]\nCopy Settings to Oscillator 2\nCopy Settings to Oscillator 3\n");
  EXPECT_EQ(Value(param::kWaveTable3), 37.0);
  EXPECT_EQ(Value(param::kWaveShape3), 0.25);
  Click(Display(2), true, false, true);
  Click(Display(1), true, false, false, true);
  EXPECT_NE(user.Menus()[3].items.find("Oscillator 3 [disabled]"), std::string::npos);
  EXPECT_NE(user.Menus()[4].items.find("Oscillator 2 [disabled]"), std::string::npos);
}

TEST_F(Displays, UserWaveTablesLoadOrAreRefusedAndTheStepButtonsStopOnFilledSlots) {
  TempFile two("two.wav", SineWaves(4096));
  TempFile stereo("stereo.wav", wavetest::Wav16(std::vector<std::int16_t>(8192, 1000), 2));
  TempFile cut("cut.syx", Bytes(TestDataPath("waves/syx/GUITAR.SYX"), 411));

  // Two waves into slot 2 from oscillator 3's display: announced, then played there.
  LoadThroughMenu(2, 2, two.Path());
  EXPECT_EQ(user.FileRequests().at(0).patterns, (std::vector<std::string>{"*.wav", "*.syx"}));
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, "This is assumed to be a wave table file\nwith 2 waves of 2048 samples.");
  EXPECT_EQ(user.Messages()[0].caption, "Load Wave Table");
  EXPECT_EQ(Value(param::kWaveTable3), 65532.0);
  EXPECT_DOUBLE_EQ(Display(2)->Value(), 65532.0 / 65535.0);
  EXPECT_EQ(plug().WaveTables().Table(2).WaveCount(), 2);
  EXPECT_EQ(plug().FileDialogFolder(), FolderOf(two.Path()));

  // A cut SysEx file: its own message, then the failure. A stereo WAV: the failure alone. A
  // cancelled chooser: nothing. Oscillator 1 keeps its table throughout.
  const double before = Value(param::kWaveTable1);
  LoadThroughMenu(0, 1, cut.Path());
  EXPECT_EQ(user.FileRequests().back().folder, FolderOf(two.Path()));
  LoadThroughMenu(0, 1, stereo.Path());
  LoadThroughMenu(0, 1, "");
  ASSERT_EQ(user.Messages().size(), 4u);
  EXPECT_EQ(user.Messages()[1].text, "Invalid file format! Cannot load\n\"cut.syx\".");
  EXPECT_EQ(user.Messages()[2].text + user.Messages()[2].caption, "Cannot load file!Error");
  EXPECT_EQ(user.Messages()[3].text, "Cannot load file!");
  EXPECT_EQ(Value(param::kWaveTable1), before);
  EXPECT_TRUE(plug().WaveTables().Slot(0).Empty());

  // A real SysEx dump of 64 waves into slot 1.
  LoadThroughMenu(0, 1, TestDataPath("waves/syx/GUITAR.SYX"));
  EXPECT_EQ(Value(param::kWaveTable1), 65531.0);
  EXPECT_EQ(plug().WaveTables().Table(0).WaveCount(), 64);
  user.ChooseNothingFromMenu();
  Click(Display(0));
  EXPECT_NE(user.Menus().back().items.find("User-Defined >\n  GUITAR.SYX [checked]\n  two.wav\n  [not defined]"),
            std::string::npos);

  // Stepping on from the last built-in table stops on each filled slot, skips the empty one and
  // wraps, setting exactly the identifier found; the display follows.
  plug().SelectWaveTable(0, plug().WaveTables().Catalogue().EntryAt(37)->identifier);
  std::vector<double> seen;
  for (int k = 0; k < 3; ++k) {
    Click(Control(ISMUtilityKick::kWaveTable1Next));
    seen.push_back(Value(param::kWaveTable1));
  }
  EXPECT_EQ(seen, (std::vector<double>{65531.0, 65532.0, 0.0}));
  Click(Control(ISMUtilityKick::kWaveTable1Previous));
  EXPECT_EQ(Value(param::kWaveTable1), 65532.0);
  EXPECT_DOUBLE_EQ(Display(0)->Value(), 65532.0 / 65535.0);
  EXPECT_EQ(Display(0)->ShownName(), "two.wav");

  // New content in slot 3, selected from outside the editor: its table is built by the worker and
  // installed by the render loop after the display drew; the display then redraws.
  std::vector<std::int16_t> ramps(3 * 2048);
  for (std::size_t n = 0; n < ramps.size(); ++n) ramps[n] = static_cast<std::int16_t>((n * 29) % 30000);
  {
    PluginLock lock(plug().PluginMutex());
    plug().WaveTables().SetSlotContent(2, UserWaveContent::Make(ramps, "ramps"));
  }
  AEffect* e = plug().GetAEffect();
  e->setParameter(e, param::kWaveTable3, static_cast<float>(plug().GetParam(param::kWaveTable3)->ToNormalised(65533.0)));
  while (frame->Tick()) {
  }
  ASSERT_EQ(plug().WaveTables().Table(2).WaveCount(), 2);
  IBounds dirty;
  EXPECT_FALSE(frame->FindDirtyArea(&dirty));
  plug().FinishWaveTables();
  ASSERT_EQ(plug().WaveTables().Table(2).WaveCount(), 3);
  ASSERT_TRUE(frame->FindDirtyArea(&dirty));
  EXPECT_EQ(dirty, Display(2)->Rect());
}

TEST_F(Displays, TheTuningMenuSelectsAndLoadsTuningsAskingAboutExactTuningOnce) {
  ISMTuningControl::SetAsksAboutExactTuning(true);
  TuningState::SetExactTuningPreferred(false);
  IControl* t = Control(ISMTuningControl::kId);
  std::string expected;
  for (int k = 0; k < 14; ++k) expected += plug().GetTuningName(k) + (k == 0 ? " [checked]\n" : "\n");
  user.ChooseMenuItem({plug().GetTuningName(3)});
  Click(t);
  EXPECT_EQ(user.Menus().at(0).items, expected + "-\n[not available] [disabled]\n-\nLoad Tuning...\n");
  EXPECT_EQ(plug().Tuning().Selection(), 3);
  // A program change selects without the menu; the display follows at the next tick.
  plug().SelectTuning(5);
  Settle();
  EXPECT_EQ(dynamic_cast<ISMTuningControl*>(t)->ShownName(), plug().GetTuningName(5));

  // A Scala file asks nothing and becomes the user tuning, selected; its long name is cut short
  // to the display (nothing drawn beside it) and shown whole in the tooltip.
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(TestDataPath("tuning/scl/werck3.scl"));
  Click(t);
  EXPECT_EQ(user.FileRequests().back().patterns, (std::vector<std::string>{"*.tun", "*.scl", "*.kbm"}));
  EXPECT_TRUE(user.Messages().empty());
  EXPECT_EQ(plug().Tuning().Selection(), 14);
  const std::string name = plug().GetTuningName(14);
  ASSERT_GT(name.size(), 40u);
  const auto drawn = Drawn(t, IBounds(t->Rect().L - 150, t->Rect().T - 4, 1127, t->Rect().B + 4));
  EXPECT_GT(drawn.size(), 40u);
  EXPECT_GE(drawn.begin()->first, t->Rect().L - 1);
  EXPECT_LE(drawn.rbegin()->first, t->Rect().R);
  frame->OnMouseOver(t->Rect().L + 5, t->Rect().T + 5, IMouseState());
  EXPECT_EQ(t->Tooltip(), name);
  user.ChooseMenuItem({plug().GetTuningName(0)});
  Click(t);
  EXPECT_NE(user.Menus().back().items.find("-\n" + name + " [checked]\n-\n"), std::string::npos);
  user.ChooseMenuItem({name});
  Click(t);
  EXPECT_EQ(plug().Tuning().Selection(), 14);

  // The first TUN file asks (No keeps the functional tuning); the next, upper case, does not.
  TempFile upper("SCALE.TUN", Bytes(TestDataPath("tuning/tun/unittestscale.tun"), SIZE_MAX));
  for (const std::string& file : {TestDataPath("tuning/tun/anamark.v2.tun"), upper.Path()}) {
    user.ChooseMenuItem({"Load Tuning..."});
    user.ChooseFileNamed(file);
    Click(t);
  }
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "Do you want to use the Exact Tuning instead of the Functional Tuning as given in the TUN file?\n\n"
            "Note: Most instruments ignore Functional Tuning. For compatibility reasons it is recommended to "
            "prioritize Exact Tuning.");
  EXPECT_EQ(user.Messages()[0].caption, "Use Exact Tuning instead of Functional Tuning");
  EXPECT_EQ(user.Messages()[0].kind, IGraphics::kMessageYesNo);
  EXPECT_FALSE(TuningState::ExactTuningPreferred());
  // The chooser opened where the tuning file before was found.
  EXPECT_EQ(user.FileRequests().back().folder, FolderOf(TestDataPath("tuning/tun/anamark.v2.tun")));

  // A file that is no tuning fails and leaves the user tuning and the selection as they were.
  const std::string loaded = plug().GetTuningName(14);
  TempFile empty("empty.scl", {});
  plug().SelectTuning(2);
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(empty.Path());
  Click(t);
  ASSERT_EQ(user.Messages().size(), 2u);
  EXPECT_EQ(user.Messages()[1].text + user.Messages()[1].caption, "Cannot load file!Error");
  EXPECT_EQ(plug().Tuning().Selection(), 2);
  EXPECT_EQ(plug().GetTuningName(14), loaded);

  // Asked again (as in a fresh process), any answer but No prefers the exact tuning.
  ISMTuningControl::SetAsksAboutExactTuning(true);
  user.AnswerNextMessage(IGraphics::kAnswerOk);
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(upper.Path());
  Click(t);
  EXPECT_TRUE(TuningState::ExactTuningPreferred());
  EXPECT_TRUE(user.ScriptDone());
  TuningState::SetExactTuningPreferred(false);
}
