// The oscillators' wave-table displays and the tuning display as a user meets them: what the
// previews draw, the menus they open, the files they load (real tuning and SysEx files, WAVs made
// here) and the questions and failures on the way. Through the frame's entry points, off screen.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
#include "wavetable/WaveTestHelpers.h"

namespace fs = std::filesystem;

namespace {

IMouseState Mouse(bool left, bool right = false, bool shift = false, bool ctrl = false) {
  IMouseState m;
  m.L = left;
  m.R = right;
  m.S = shift;
  m.C = ctrl;
  return m;
}

// A fresh folder of files, removed with the object.
class Folder {
 public:
  Folder() {
    char name[] = "/tmp/tarvolin-displays-XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Copy(const std::string& from, const std::string& name, std::size_t bytes = SIZE_MAX) const {
    std::ifstream in(from, std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() > bytes) data.resize(bytes);
    return Write(name, data);
  }
  // With the trailing '/' the file dialogs give a folder.
  std::string Path() const { return path_ + "/"; }

 private:
  std::string path_;
};

// A mono 16-bit WAV of `frames` samples: wave w (2048 samples each) is a full-scale sine, wave 32
// the same sine inverted.
std::vector<std::uint8_t> SineWaves(int frames) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    const double s = std::sin(2.0 * M_PI * (n % 2048) / 2048.0) * 30000.0;
    samples[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(n / 2048 == 32 ? -s : s);
  }
  return wavetest::Wav16(samples);
}

class Displays : public ::testing::Test {
 protected:
  Displays() : previous_(SetGraphicsFactory(&CreateOffscreenGraphics)) {
    plug_ = std::make_unique<Tarvolin>(nullptr);
    frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug_->GetEditor()));
    editor = dynamic_cast<TarvolinEditor*>(plug_->EditorControls());
    frame->SetResponder(&user);
    // File choosers open only over an open window.
    frame->AllowVirtualWindow(true);
    frame->OpenWindow(nullptr);
    Settle();
  }
  ~Displays() override {
    plug_.reset();
    SetGraphicsFactory(previous_);
  }

  Tarvolin& plug() { return *plug_; }
  ISMWaveTableControl* Display(int oscillator) {
    return dynamic_cast<ISMWaveTableControl*>(editor->WaveTableDisplay(oscillator));
  }
  ISMTuningControl* TuningDisplay() {
    for (int i = 0; i < frame->NControls(); ++i) {
      if (auto* c = dynamic_cast<ISMTuningControl*>(frame->GetControl(i))) return c;
    }
    return nullptr;
  }
  void Settle() {
    plug().FinishWaveTables();
    for (int k = 0; k < 3 && frame->Tick(); ++k) {
    }
  }
  void Click(IControl* c, const IMouseState& mouse = Mouse(true)) {
    const IBounds r = c->Rect();
    frame->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, mouse);
    frame->OnMouseUp((r.L + r.R) / 2, (r.T + r.B) / 2, mouse);
    Settle();
  }
  void ClickId(int id) {
    for (int i = 0; i < frame->NControls(); ++i) {
      IControl* c = frame->GetControl(i);
      if (c->ParamIdx() == id && dynamic_cast<ISMUtilityKick*>(c) != nullptr) return Click(c);
    }
    ADD_FAILURE() << "no button " << id;
  }
  // A parameter set as the host sets it, by its plain value.
  void Set(int index, double value) {
    AEffect* e = plug().GetAEffect();
    e->setParameter(e, index, static_cast<float>(plug().GetParam(index)->ToNormalised(value)));
    Settle();
  }
  double Value(int index) { return plug().GetParam(index)->Value(); }
  // Loads file into user slot `slot` through oscillator o's menu.
  void LoadThroughMenu(int o, int slot, const std::string& file) {
    user.ChooseMenuItem({"User-Defined", "Load Wave Table " + std::to_string(slot) + "..."});
    user.ChooseFileNamed(file);
    Click(Display(o));
  }

  // The pixels the display's preview changed on the artwork (around its name and number left out).
  std::set<std::pair<int, int>> PreviewPixels(ISMWaveTableControl* d) {
    const IBounds r = d->Rect();
    d->Hide(true);
    frame->Draw(r);
    const std::vector<std::uint32_t> under = Pixels(r);
    d->Hide(false);
    frame->Draw(r);
    const std::vector<std::uint32_t> drawn = Pixels(r);
    std::set<std::pair<int, int>> out;
    std::size_t k = 0;
    for (int y = r.T; y < r.B; ++y) {
      for (int x = r.L; x < r.R; ++x, ++k) {
        // Text may reach a pixel or two beyond its rect.
        if (Near(d->NameRect(), x, y) || Near(d->NumberRect(), x, y)) continue;
        if (under[k] != drawn[k]) out.insert({x, y});
      }
    }
    return out;
  }
  static bool Near(const IBounds& r, int x, int y) { return x >= r.L - 2 && x < r.R + 2 && y >= r.T - 2 && y < r.B + 2; }
  std::vector<std::uint32_t> Pixels(const IBounds& r) {
    const LICE_Bitmap& bitmap = *frame->DrawBitmap();
    cairo_surface_flush(bitmap.Surface());
    std::vector<std::uint32_t> out;
    for (int y = r.T; y < r.B; ++y) {
      for (int x = r.L; x < r.R; ++x) out.push_back(bitmap.Row(y)[x]);
    }
    return out;
  }
  // Whether the preview is the flat line through the display's middle row, from end to end.
  static bool FlatLine(const std::set<std::pair<int, int>>& pixels, const IBounds& r) {
    std::set<int> columns;
    for (const auto& [x, y] : pixels) {
      if (y != r.T + 28) return false;
      columns.insert(x);
    }
    return columns.size() == ISMWaveTableControl::kPoints && *columns.begin() == r.L + 2 &&
           *columns.rbegin() == r.L + 98;
  }
  // The rows the preview drew in column x.
  static std::set<int> RowsAt(const std::set<std::pair<int, int>>& pixels, int x) {
    std::set<int> rows;
    for (const auto& [px, y] : pixels) {
      if (px == x) rows.insert(y);
    }
    return rows;
  }

  IGraphicsOffscreen* frame = nullptr;
  TarvolinEditor* editor = nullptr;
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
  const IBounds r = d->Rect();
  EXPECT_EQ(r, IBounds(146, 92, 246, 156));
  EXPECT_TRUE(FlatLine(PreviewPixels(d), r));
  EXPECT_EQ(d->ShownName(), "Pulse");
  EXPECT_EQ(d->ShownNumber(), std::to_string(plug().WaveTables().Table(0).WaveCount()));
  EXPECT_EQ(d->Colour(), IArgb(192, 64, 212, 255));
  // Switched off it draws dim, and redraws for it.
  Set(param::kOsc1On, 0.0);
  EXPECT_EQ(d->Colour(), IArgb(192, 144, 128, 112));
  // A saw at half shape is no flat line.
  plug().SelectWaveTable(0, 0);
  Set(param::kWaveShape1, 0.5);
  EXPECT_FALSE(FlatLine(PreviewPixels(d), r));
  EXPECT_EQ(d->ShownName(), "Saw");

  // 64 waves from a file of 140000 samples (announced as such), loaded on oscillator 2: waves 31
  // and 32 are a sine and its inverse.
  Folder folder;
  LoadThroughMenu(1, 2, folder.Write("sines.wav", SineWaves(140000)));
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "This file does not have the correct Tarvolin wave table format.\nHowever, it is treated as a wave "
            "table with 64 waves of 2048 samples.");
  EXPECT_EQ(user.Messages()[0].caption, "Load Wave Table");
  ASSERT_EQ(Value(param::kWaveTable2), 65532.0);
  ASSERT_EQ(plug().WaveTables().Table(1).WaveCount(), 64);
  Set(param::kStartPhase2, 0.0);
  Set(param::kWaveShape2, 0.5);
  // Interpolating halfway between waves 31 and 32: they cancel. The number is 33 (31.5 rounded, + 1).
  Set(param::kWaveMode2, 0.0);
  ISMWaveTableControl* d2 = Display(1);
  const IBounds r2 = d2->Rect();
  EXPECT_TRUE(FlatLine(PreviewPixels(d2), r2));
  EXPECT_EQ(d2->ShownNumber(), "33");
  EXPECT_EQ(d2->ShownName(), "sines.wav");
  // Raw shows wave 32 alone, the inverted sine: a quarter period in (point 24) it is at its lowest.
  Set(param::kWaveMode2, 1.0);
  const auto raw = PreviewPixels(d2);
  EXPECT_EQ(d2->ShownNumber(), "33");
  const std::set<int> rows = RowsAt(raw, r2.L + 2 + 24);
  ASSERT_FALSE(rows.empty());
  EXPECT_GE(*rows.rbegin(), r2.T + 42);
  EXPECT_LE(*rows.rbegin(), r2.T + 44);
  // The start phase moves where the preview begins: half a period in, the inverted sine rises.
  Set(param::kStartPhase2, 180.0);
  const std::set<int> shifted = RowsAt(PreviewPixels(d2), r2.L + 2 + 24);
  ASSERT_FALSE(shifted.empty());
  EXPECT_LE(*shifted.begin(), r2.T + 14);
}

TEST_F(Displays, TheWaveTableMenuChoosesCatalogueTablesAndTheCopyMenuCopiesAnOscillator) {
  plug().SelectWaveTable(0, 0);
  Settle();
  ISMWaveTableControl* d = Display(0);
  // DW-6000 sits beside DW-8000 in the menu but carries identifier 37.
  user.ChooseMenuItem({"Standard Waveforms", "DW-6000"});
  Click(d);
  EXPECT_EQ(Value(param::kWaveTable1), 37.0);
  // Built before it was selected: it plays, and shows, at once.
  EXPECT_EQ(plug().WaveTables().Table(0).Identifier(), 37);
  EXPECT_EQ(d->ShownName(), "DW-6000");
  ASSERT_EQ(user.Menus().size(), 1u);
  const std::string& items = user.Menus()[0].items;
  EXPECT_EQ(items.find("Standard Waveforms >\n  Saw [checked]\n  Pulse\n"), 0u) << items;
  EXPECT_NE(items.find("\nAdditive Synthesis >\n"), std::string::npos);
  EXPECT_NE(items.find("\nResynthesis >\n"), std::string::npos);
  EXPECT_NE(items.find("\nUser-Defined >\n  [not defined] [disabled]\n  [not defined] [disabled]\n"
                       "  [not defined] [disabled]\n  -\n  Load Wave Table 1...\n  Load Wave Table 2...\n"
                       "  Load Wave Table 3...\n"),
            std::string::npos)
      << items;
  const IBounds r = d->Rect();
  EXPECT_EQ(user.Menus()[0].rect, IBounds(r.L + 50, r.T + 32, r.L + 50, r.T + 32));
  // The choice is checked next time; choosing nothing keeps it.
  user.ChooseNothingFromMenu();
  Click(d);
  EXPECT_NE(user.Menus()[1].items.find("  DW-6000 [checked]\n"), std::string::npos);
  EXPECT_EQ(user.Menus()[1].items.find("Saw [checked]"), std::string::npos);
  EXPECT_EQ(Value(param::kWaveTable1), 37.0);

  // The right button, Shift and Ctrl copy settings instead; the own oscillator is no target.
  Set(param::kWaveShape1, 0.25);
  user.ChooseMenuItem({"Copy Settings to Oscillator 3"});
  Click(d, Mouse(false, true));
  EXPECT_EQ(user.Menus()[2].items,
            "Copy Settings to Oscillator 1 [disabled]\nCopy Settings to Oscillator 2\nCopy Settings to Oscillator 3\n");
  EXPECT_EQ(Value(param::kWaveTable3), 37.0);
  EXPECT_EQ(Value(param::kWaveShape3), 0.25);
  user.ChooseNothingFromMenu();
  Click(Display(2), Mouse(true, false, true));
  user.ChooseNothingFromMenu();
  Click(Display(1), Mouse(true, false, false, true));
  EXPECT_EQ(user.Menus()[3].items.find("Copy Settings to Oscillator 1\nCopy Settings to Oscillator 2\n"
                                       "Copy Settings to Oscillator 3 [disabled]"),
            0u);
  EXPECT_EQ(user.Menus()[4].items.find("Copy Settings to Oscillator 1\nCopy Settings to Oscillator 2 [disabled]"), 0u);
  EXPECT_TRUE(user.ScriptDone());
}

TEST_F(Displays, UserWaveTablesLoadOrAreRefusedAndTheStepButtonsStopOnFilledSlots) {
  Folder folder;
  const std::string two = folder.Write("two.wav", SineWaves(4096));
  const std::string stereo = folder.Write("stereo.wav", wavetest::Wav16(std::vector<std::int16_t>(8192, 1000), 2));
  const std::string cut = folder.Copy(TestDataPath("waves/syx/GUITAR.SYX"), "cut.syx", 411);

  // A two-wave table into slot 2 from oscillator 3's display: announced, then played there.
  LoadThroughMenu(2, 2, two);
  ASSERT_EQ(user.FileRequests().size(), 1u);
  EXPECT_EQ(user.FileRequests()[0].patterns, (std::vector<std::string>{"*.wav", "*.syx"}));
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, "This is assumed to be a wave table file\nwith 2 waves of 2048 samples.");
  EXPECT_EQ(user.Messages()[0].caption, "Load Wave Table");
  EXPECT_EQ(user.Messages()[0].kind, IGraphics::kMessageOk);
  EXPECT_EQ(Value(param::kWaveTable3), 65532.0);
  EXPECT_DOUBLE_EQ(Display(2)->Value(), 65532.0 / 65535.0);
  EXPECT_EQ(plug().WaveTables().Table(2).WaveCount(), 2);
  EXPECT_EQ(Display(2)->ShownName(), "two.wav");
  // The dialogs open where the last file was chosen from.
  EXPECT_EQ(plug().FileDialogFolder(), folder.Path());

  // A cut SysEx file: its own message, then the failure; nothing changes.
  const double before = Value(param::kWaveTable1);
  LoadThroughMenu(0, 1, cut);
  EXPECT_EQ(user.FileRequests().back().folder, folder.Path());
  ASSERT_EQ(user.Messages().size(), 3u);
  EXPECT_EQ(user.Messages()[1].text, "Invalid file format! Cannot load\n\"cut.syx\".");
  EXPECT_EQ(user.Messages()[1].caption, "Load Wave Table");
  EXPECT_EQ(user.Messages()[2].text, "Cannot load file!");
  EXPECT_EQ(user.Messages()[2].caption, "Error");
  // A stereo WAV fails without a description; a cancelled chooser asks nothing.
  LoadThroughMenu(0, 1, stereo);
  ASSERT_EQ(user.Messages().size(), 4u);
  EXPECT_EQ(user.Messages()[3].text, "Cannot load file!");
  LoadThroughMenu(0, 1, "");
  EXPECT_EQ(user.Messages().size(), 4u);
  EXPECT_EQ(Value(param::kWaveTable1), before);
  EXPECT_TRUE(plug().WaveTables().Slot(0).Empty());

  // A real SysEx dump of 64 waves into slot 1 from oscillator 1's display.
  LoadThroughMenu(0, 1, TestDataPath("waves/syx/GUITAR.SYX"));
  EXPECT_EQ(user.Messages().size(), 5u);
  EXPECT_EQ(user.Messages()[4].caption, "Load Wave Table");
  EXPECT_EQ(Value(param::kWaveTable1), 65531.0);
  EXPECT_EQ(plug().WaveTables().Table(0).WaveCount(), 64);
  user.ChooseNothingFromMenu();
  Click(Display(0));
  EXPECT_NE(user.Menus().back().items.find("User-Defined >\n  GUITAR.SYX [checked]\n  two.wav\n  [not defined] [disabled]\n"),
            std::string::npos)
      << user.Menus().back().items;

  // Stepping on from the last built-in table stops on each filled slot, skips the empty one and
  // wraps; every step sets exactly the identifier found, and the display follows.
  const auto last = plug().WaveTables().Catalogue().EntryAt(37);
  ASSERT_TRUE(last.has_value());
  plug().SelectWaveTable(0, last->identifier);
  std::vector<double> seen;
  for (int k = 0; k < 3; ++k) {
    ClickId(ISMUtilityKick::kWaveTable1Next);
    seen.push_back(Value(param::kWaveTable1));
  }
  EXPECT_EQ(seen, (std::vector<double>{65531.0, 65532.0, 0.0}));
  ClickId(ISMUtilityKick::kWaveTable1Previous);
  EXPECT_EQ(Value(param::kWaveTable1), 65532.0);
  EXPECT_DOUBLE_EQ(Display(0)->Value(), 65532.0 / 65535.0);
  EXPECT_EQ(Display(0)->ShownName(), "two.wav");
  EXPECT_TRUE(user.ScriptDone());
}

TEST_F(Displays, TheTuningMenuSelectsAndLoadsTuningsAskingAboutExactTuningOnce) {
  ISMTuningControl::SetAsksAboutExactTuning(true);
  TuningState::SetExactTuningPreferred(false);
  ISMTuningControl* t = TuningDisplay();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Rect(), IBounds(1000, 710, 1090, 728));

  std::string expected;
  for (int k = 0; k < 14; ++k) expected += plug().GetTuningName(k) + (k == 0 ? " [checked]\n" : "\n");
  expected += "-\n[not available] [disabled]\n-\nLoad Tuning...\n";
  user.ChooseMenuItem({plug().GetTuningName(3)});
  Click(t);
  ASSERT_EQ(user.Menus().size(), 1u);
  EXPECT_EQ(user.Menus()[0].items, expected);
  EXPECT_EQ(plug().Tuning().Selection(), 3);
  // Hovering shows the whole name.
  frame->OnMouseOver(t->Rect().L + 5, t->Rect().T + 5, IMouseState());
  EXPECT_EQ(t->Tooltip(), plug().GetTuningName(3));

  // A Scala file asks nothing and becomes the user tuning, selected.
  const std::string scl = TestDataPath("tuning/scl/werck3.scl");
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(scl);
  Click(t);
  EXPECT_EQ(user.FileRequests().back().patterns, (std::vector<std::string>{"*.tun", "*.scl", "*.kbm"}));
  EXPECT_TRUE(user.Messages().empty());
  EXPECT_EQ(plug().Tuning().Selection(), 14);
  const std::string sclName = plug().GetTuningName(14);
  ASSERT_FALSE(sclName.empty());
  // Its long name is cut short to the display; nothing is drawn beside it.
  ASSERT_GT(sclName.size(), 40u);
  const IBounds band(t->Rect().L - 150, t->Rect().T - 4, 1127, t->Rect().B + 4);
  t->Hide(true);
  frame->Draw(band);
  const std::vector<std::uint32_t> under = Pixels(band);
  t->Hide(false);
  frame->Draw(band);
  const std::vector<std::uint32_t> drawn = Pixels(band);
  int inside = 0;
  for (std::size_t k = 0; k < drawn.size(); ++k) {
    const int x = band.L + static_cast<int>(k) % band.W();
    const int y = band.T + static_cast<int>(k) / band.W();
    if (drawn[k] == under[k]) continue;
    EXPECT_TRUE(Near(t->Rect(), x, y)) << x << "," << y;
    ++inside;
  }
  EXPECT_GT(inside, 50);
  // Cut between characters, never inside one.
  std::string wide;
  for (int k = 0; k < 30; ++k) wide += "\xC3\x84";
  const std::string fitted = frame->FitStyledText(&t->Text(), wide, 40);
  ASSERT_GE(fitted.size(), 3u);
  EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
  EXPECT_EQ((fitted.size() - 3) % 2, 0u);
  EXPECT_LT(fitted.size(), wide.size());

  user.ChooseMenuItem({plug().GetTuningName(0)});
  Click(t);
  EXPECT_NE(user.Menus().back().items.find("-\n" + sclName + " [checked]\n-\n"), std::string::npos);
  EXPECT_EQ(plug().Tuning().Selection(), 0);
  user.ChooseMenuItem({sclName});
  Click(t);
  EXPECT_EQ(plug().Tuning().Selection(), 14);

  // The first TUN file asks (No keeps the functional tuning); later ones, upper case too, do not.
  Folder folder;
  const std::string upper = folder.Copy(TestDataPath("tuning/tun/unittestscale.tun"), "SCALE.TUN");
  for (const std::string& file : {TestDataPath("tuning/tun/anamark.v2.tun"), upper}) {
    user.ChooseMenuItem({"Load Tuning..."});
    user.ChooseFileNamed(file);
    Click(t);
    EXPECT_EQ(plug().Tuning().Selection(), 14);
  }
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "Do you want to use the Exact Tuning instead of the Functional Tuning as given in the TUN file?\n\n"
            "Note: Most instruments ignore Functional Tuning. For compatibility reasons it is recommended to "
            "prioritize Exact Tuning.");
  EXPECT_EQ(user.Messages()[0].caption, "Use Exact Tuning instead of Functional Tuning");
  EXPECT_EQ(user.Messages()[0].kind, IGraphics::kMessageYesNo);
  EXPECT_FALSE(TuningState::ExactTuningPreferred());
  EXPECT_FALSE(ISMTuningControl::AsksAboutExactTuning());
  // The chooser opened where the last tuning file was found.
  EXPECT_EQ(user.FileRequests().back().folder, TestDataPath("tuning/tun/"));

  // A file that is no tuning fails and leaves the user tuning as it was.
  const std::string name = plug().GetTuningName(14);
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(folder.Write("empty.scl", {}));
  plug().SelectTuning(2);
  Click(t);
  ASSERT_EQ(user.Messages().size(), 2u);
  EXPECT_EQ(user.Messages()[1].text, "Cannot load file!");
  EXPECT_EQ(user.Messages()[1].caption, "Error");
  EXPECT_EQ(plug().Tuning().Selection(), 2);
  EXPECT_EQ(plug().GetTuningName(14), name);

  // Asked again (as in a fresh process), any answer but No prefers the exact tuning.
  ISMTuningControl::SetAsksAboutExactTuning(true);
  user.AnswerNextMessage(IGraphics::kAnswerOk);
  user.ChooseMenuItem({"Load Tuning..."});
  user.ChooseFileNamed(upper);
  Click(t);
  EXPECT_EQ(user.Messages().size(), 3u);
  EXPECT_TRUE(TuningState::ExactTuningPreferred());
  EXPECT_TRUE(user.ScriptDone());
  TuningState::SetExactTuningPreferred(false);
  ISMTuningControl::SetAsksAboutExactTuning(true);
}
