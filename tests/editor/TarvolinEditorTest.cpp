// The instrument's editor as a user meets it: the controls of the layout built into the frame, and
// what clicks, drags, menus, the learn switch and idle time do to the parameters the host sees. All
// through the frame's event entry points, without a display.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "EditorTestSupport.h"
#include "editor/EditorLayout.h"
#include "editor/EditorScreenshot.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/ISMBitmapControl.h"
#include "editor/ISMButtonKick.h"
#include "editor/ISMKnobControl.h"
#include "editor/ISMOptionMenu.h"
#include "editor/ISMPresetMenu.h"
#include "editor/ISMSourceControl.h"
#include "editor/ISMSwitchControl.h"
#include "editor/ISMSwitchMidiLearn.h"
#include "editor/ISMTuningControl.h"
#include "editor/ISMUtilityKick.h"
#include "editor/ISMVoicesControl.h"
#include "editor/ISMWaveTableControl.h"
#include "editor/IScriptedResponder.h"
#include "editor/ITextControl.h"
#include "editor/PlatformEditor.h"
#include "editor/TarvolinEditor.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "render/LICE_Bitmap.h"
#include "render/LICE_BitmapCache.h"
#include "shell/VstTypes.h"

using editor_layout::ControlClass;
using editor_layout::ControlRow;

namespace {

// What the host was told: "begin I", "end I", "automate I V" (V to three decimals).
std::vector<std::string>& HostLog() {
  static std::vector<std::string> log;
  return log;
}

VstIntPtr RecordingHost(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr, void*, float opt) {
  char line[64];
  if (opcode == audioMasterAutomate) {
    std::snprintf(line, sizeof line, "automate %d %.3f", index, static_cast<double>(opt));
    HostLog().push_back(line);
  } else if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit) {
    std::snprintf(line, sizeof line, "%s %d", opcode == audioMasterBeginEdit ? "begin" : "end", index);
    HostLog().push_back(line);
  }
  return 0;
}

IMouseState Left(bool shift = false) {
  IMouseState m;
  m.L = true;
  m.S = shift;
  return m;
}

IMouseState Right() {
  IMouseState m;
  m.R = true;
  return m;
}

class EditorControls : public ::testing::Test {
 protected:
  EditorControls() : previous_(SetGraphicsFactory(&CreateOffscreenGraphics)) {
    plug_ = std::make_unique<Tarvolin>(&RecordingHost);
    frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug_->GetEditor()));
    editor = dynamic_cast<TarvolinEditor*>(plug_->EditorControls());
    frame->SetResponder(&user);
    e = plug_->GetAEffect();
    HostLog().clear();
  }
  ~EditorControls() override { SetGraphicsFactory(previous_); }

  Tarvolin& plug() { return *plug_; }

  void OpenWindow() {
    frame->AllowVirtualWindow(true);
    ASSERT_TRUE(frame->OpenWindow(nullptr));
    Settle();
  }
  // Ticks until nothing is left to draw (a control changed from outside draws twice).
  void Settle() {
    for (int k = 0; k < 3 && frame->Tick(); ++k) {
    }
  }

  // The control of a layout row (the row's number is its index after the background).
  IControl* ControlFor(int paramOrId) const { return frame->GetControl(editor_layout::FindControl(paramOrId)->number); }
  static IBounds RectOf(int paramOrId) {
    const auto& r = editor_layout::FindControl(paramOrId)->rect;
    return IBounds(r.l, r.t, r.r, r.b);
  }
  void Click(int paramOrId, const IMouseState& mouse = Left()) {
    const IBounds r = RectOf(paramOrId);
    frame->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, mouse);
    frame->OnMouseUp((r.L + r.R) / 2, (r.T + r.B) / 2, mouse);
  }
  double Normalised(int index) { return plug().GetParam(index)->GetNormalised(); }
  void SetFromHost(int index, double normalised) { e->setParameter(e, index, static_cast<float>(normalised)); }

  void Midi(int status, int data1, int data2) {
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = sizeof m;
    m.midiData[0] = static_cast<char>(status);
    m.midiData[1] = static_cast<char>(data1);
    m.midiData[2] = static_cast<char>(data2);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&m);
    e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
  }
  void Process() {
    std::vector<float> left(256), right(256);
    float* outs[2] = {left.data(), right.data()};
    e->processReplacing(e, nullptr, outs, 256);
  }

  IGraphicsOffscreen* frame = nullptr;
  TarvolinEditor* editor = nullptr;
  IScriptedResponder user;
  AEffect* e = nullptr;

 private:
  GraphicsFactory previous_;
  std::unique_ptr<Tarvolin> plug_;
};

}  // namespace

TEST_F(EditorControls, TheFrameHoldsTheBackgroundAndEveryControlOfTheLayoutInOrder) {
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(editor, nullptr);
  ASSERT_EQ(frame->NControls(), editor_layout::kControlCount + 1);
  EXPECT_TRUE(frame->HandlesMouseOver());
  EXPECT_TRUE(frame->TooltipsEnabled());
  const auto* background = dynamic_cast<IBitmapControl*>(frame->GetControl(0));
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Rect(), IBounds(0, 0, 1128, 776));
  EXPECT_EQ(background->Blend().method, IBlendMode::kClobber);
  EXPECT_EQ(background->ParamIdx(), -1);

  for (const ControlRow& row : editor_layout::Controls()) {
    IControl* c = frame->GetControl(row.number);
    SCOPED_TRACE("control " + std::to_string(row.number));
    EXPECT_EQ(c->ParamIdx(), row.param);
    EXPECT_EQ(c->Rect(), IBounds(row.rect.l, row.rect.t, row.rect.r, row.rect.b));
    EXPECT_FALSE(c->Tooltip().empty());
    bool classMatches = false;
    switch (row.cls) {
      case ControlClass::ISMKnobControl: {
        auto* knob = dynamic_cast<ISMKnobControl*>(c);
        classMatches = knob != nullptr;
        if (knob) {
          EXPECT_EQ(knob->Gearing(), row.gearing);
          EXPECT_EQ(knob->Bitmap().N, editor_layout::FindBitmap(row.bitmap)->frames);
          EXPECT_NE(knob->Bitmap().image, nullptr);
          EXPECT_EQ(knob->ValueRect(), IBounds(c->Rect().L + 4, c->Rect().T + 12, c->Rect().R - 4, c->Rect().B - 12));
        }
        break;
      }
      case ControlClass::ISMSourceControl: {
        auto* picker = dynamic_cast<ISMSourceControl*>(c);
        classMatches = picker != nullptr && picker->DimWhenOff() == row.dimWhenOff;
        break;
      }
      case ControlClass::ISMSwitchControl:
        classMatches = dynamic_cast<ISMSwitchControl*>(c) != nullptr;
        break;
      case ControlClass::ISMButtonKick:
        classMatches = dynamic_cast<ISMButtonKick*>(c) != nullptr;
        break;
      case ControlClass::ISMUtilityKick:
        classMatches = dynamic_cast<ISMUtilityKick*>(c) != nullptr;
        break;
      case ControlClass::ISMBitmapControl:
        classMatches = dynamic_cast<ISMBitmapControl*>(c) != nullptr;
        // Hidden until a note sounds.
        EXPECT_TRUE(c->IsHidden());
        break;
      case ControlClass::ISMVoicesControl:
        classMatches = dynamic_cast<ISMVoicesControl*>(c) != nullptr;
        break;
      case ControlClass::ISMSwitchMidiLearn:
        classMatches = dynamic_cast<ISMSwitchMidiLearn*>(c) != nullptr;
        break;
      case ControlClass::ITextControl:
        classMatches = dynamic_cast<ITextControl*>(c) != nullptr &&
                       dynamic_cast<ITextControl*>(c)->GetTextString() == row.text;
        break;
      case ControlClass::ISMPresetMenu:
        classMatches = dynamic_cast<ISMPresetMenu*>(c) != nullptr;
        break;
      case ControlClass::ISMOptionMenu:
        classMatches = dynamic_cast<ISMOptionMenu*>(c) != nullptr;
        break;
      case ControlClass::ISMWaveTableControl:
        classMatches = dynamic_cast<ISMWaveTableControl*>(c) != nullptr;
        break;
      case ControlClass::ISMTuningControl:
        classMatches = dynamic_cast<ISMTuningControl*>(c) != nullptr;
        break;
      default:
        // The instrument's layout places none of the frame's generic classes.
        break;
    }
    EXPECT_TRUE(classMatches);
    // Every bound control got its parameter's default first (attached before the factory bank).
    if (row.param >= 0) {
      EXPECT_NEAR(c->DefaultValue(), plug().GetParam(row.param)->NormalisedDefault(), 1e-9);
    }
  }
  // The references the instrument keeps.
  EXPECT_EQ(editor->Indicator(1), ControlFor(-174));
  EXPECT_EQ(editor->FrequencyKnob(2), ControlFor(param::kVibratoFrequency));
  EXPECT_EQ(editor->SyncRateKnob(0), ControlFor(param::kMg1SyncRate));
  EXPECT_EQ(editor->UnisonButton(true), ControlFor(-171));
  EXPECT_EQ(editor->PasteButton(), ControlFor(-177));
  EXPECT_EQ(editor->WaveTableDisplay(2), ControlFor(param::kWaveTable3));
  EXPECT_EQ(plug().LearnControl(), editor->LearnSwitch());
  EXPECT_FALSE(plug().LearnArmed());
  EXPECT_TRUE(editor->LearnSwitch()->LearnMode());
  EXPECT_EQ(editor->LearnSwitch()->Bitmap().image, LICE_BitmapCache::Instance().Find(editor_layout::kLearnBitmap));
}

TEST_F(EditorControls, KnobsFollowTheMouseAndTheHostSeesEachChangeInsideAGesture) {
  const int p = param::kFilterCutoff;
  SetFromHost(p, 0.5);
  auto* knob = dynamic_cast<ISMKnobControl*>(ControlFor(p));
  ASSERT_NE(knob, nullptr);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.5);
  EXPECT_EQ(knob->FrameForValue(), 33);  // of 65
  HostLog().clear();
  const int x = 373, y = 397;
  frame->OnMouseDown(x, y, Left());
  // Up 80 pixels with gearing 4 covers the upper half, and more stays at the top, also when the
  // pointer leaves the window: the knob keeps the mouse.
  for (int k = 1; k <= 10; ++k) frame->OnMouseDrag(x, y - 8 * k, Left());
  EXPECT_NEAR(knob->Value(), 1.0, 1e-9);
  EXPECT_NEAR(Normalised(p), 1.0, 1e-9);
  frame->OnMouseDrag(x + 900, -400, Left());
  EXPECT_DOUBLE_EQ(knob->Value(), 1.0);
  frame->OnMouseUp(x + 900, -400, Left());
  ASSERT_GE(HostLog().size(), 3u);
  EXPECT_EQ(HostLog().front(), "begin 78");
  EXPECT_EQ(HostLog()[HostLog().size() - 2], "automate 78 1.000");
  EXPECT_EQ(HostLog().back(), "end 78");
  EXPECT_EQ(frame->MouseCaptureIndex(), -1);

  // Shift makes it ten times finer: 400 pixels for a quarter.
  SetFromHost(p, 0.5);
  frame->OnMouseDown(x, y, Left());
  frame->OnMouseDrag(x, y + 400, Left(true));
  EXPECT_NEAR(Normalised(p), 0.25, 1e-6);
  frame->OnMouseUp(x, y + 400, Left());
  // The wheel: a hundredth per notch.
  frame->OnMouseWheel(x, y, IMouseState(), 5);
  EXPECT_NEAR(knob->Value(), 0.30, 1e-9);

  // A double click brings back the default, and the host hears of it.
  HostLog().clear();
  frame->OnMouseDoubleClick(x, y, Left());
  EXPECT_NEAR(Normalised(p), plug().GetParam(p)->NormalisedDefault(), 1e-6);
  ASSERT_EQ(HostLog().size(), 1u);
  EXPECT_EQ(HostLog()[0].rfind("automate 78 ", 0), 0u);

  // A stepped knob: frame by position, no read-out when hovered.
  auto* octave = dynamic_cast<ISMKnobControl*>(ControlFor(param::kOctave1));
  SetFromHost(param::kOctave1, 0.66);
  EXPECT_EQ(octave->FrameForValue(), 3);
}

TEST_F(EditorControls, HoveringAContinuousKnobShowsItsValueAndASteppedOneDoesNot) {
  OpenWindow();
  const LICE_Bitmap& surface = *frame->DrawBitmap();
  auto hovered = [&](int index) {
    auto* knob = dynamic_cast<ISMKnobControl*>(ControlFor(index));
    const IBounds r = knob->Rect();
    Settle();
    const auto before = Pixels(surface, knob->ValueRect());
    frame->OnMouseOver((r.L + r.R) / 2, (r.T + r.B) / 2, IMouseState());
    EXPECT_TRUE(knob->MouseIsOver());
    frame->Tick();
    const auto during = Pixels(surface, knob->ValueRect());
    frame->OnMouseOut();
    EXPECT_FALSE(knob->MouseIsOver());
    Settle();
    EXPECT_EQ(Pixels(surface, knob->ValueRect()), before);
    return during != before;
  };
  SetFromHost(param::kFilterResonance, 0.25);
  char text[64];
  dynamic_cast<ISMKnobControl*>(ControlFor(param::kFilterResonance))->ValueText(text, sizeof text);
  char expected[64];
  plug().GetParam(param::kFilterResonance)->GetDisplayForHost(expected, sizeof expected);
  EXPECT_STREQ(text, expected);
  EXPECT_TRUE(hovered(param::kFilterResonance));
  EXPECT_FALSE(hovered(param::kOctave2));
  EXPECT_FALSE(hovered(param::kMg1Waveform));
}

TEST_F(EditorControls, SwitchesAndButtonsStepAndToggleTheirParameters) {
  // Three positions, then back to the first.
  SetFromHost(param::kFilterType, 0.0);
  std::vector<double> seen;
  for (int k = 0; k < 3; ++k) {
    Click(param::kFilterType);
    seen.push_back(Normalised(param::kFilterType));
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0}));

  // A button toggles its on/off parameter per click; the host hears three changes ending on the new
  // value, inside one gesture.
  SetFromHost(param::kXMode, 0.0);
  HostLog().clear();
  Click(param::kXMode);
  EXPECT_EQ(Normalised(param::kXMode), 1.0);
  EXPECT_EQ(HostLog(), (std::vector<std::string>{"begin 6", "automate 6 1.000", "automate 6 0.000",
                                                 "automate 6 1.000", "end 6"}));
  auto* xMode = dynamic_cast<ISMButtonKick*>(ControlFor(param::kXMode));
  EXPECT_TRUE(xMode->Lit());
  EXPECT_FALSE(xMode->Pressed());
  // A double click is two clicks.
  const IBounds r = RectOf(param::kXMode);
  frame->OnMouseDown(r.L + 2, r.T + 2, Left());
  EXPECT_TRUE(xMode->Pressed());
  frame->OnMouseUp(r.L + 2, r.T + 2, Left());
  frame->OnMouseDoubleClick(r.L + 2, r.T + 2, Left());
  frame->OnMouseUp(r.L + 2, r.T + 2, Left());
  EXPECT_EQ(Normalised(param::kXMode), 1.0);

  // The unison pair: each sets the mode its way and is lit while the mode is its way, also when the
  // host changes it.
  auto* poly = editor->UnisonButton(false);
  auto* unison = editor->UnisonButton(true);
  Click(-171);
  EXPECT_EQ(Normalised(param::kUnisonMode), 1.0);
  EXPECT_TRUE(unison->Lit());
  EXPECT_FALSE(poly->Lit());
  Click(-171);
  EXPECT_EQ(Normalised(param::kUnisonMode), 1.0);
  Click(-170);
  EXPECT_EQ(Normalised(param::kUnisonMode), 0.0);
  EXPECT_TRUE(poly->Lit());
  std::thread automation([&] { SetFromHost(param::kUnisonMode, 1.0); });
  automation.join();
  frame->Tick();
  EXPECT_TRUE(unison->Lit());
  EXPECT_FALSE(poly->Lit());
}

TEST_F(EditorControls, PickersSetWhatIsChosenFromTheirMenus) {
  const int source = param::kFilterCfmSource;
  SetFromHost(source, 0.0);
  const IBounds r = RectOf(source);
  user.ChooseMenuItem({"Velocity"});
  frame->OnMouseDown(r.L + 5, r.T + 5, Left());
  frame->OnMouseUp(r.L + 5, r.T + 5, Left());
  EXPECT_NEAR(Normalised(source), 11.0 / 20.0, 1e-9);
  ASSERT_EQ(user.Menus().size(), 1u);
  EXPECT_EQ(user.Menus()[0].rect, IBounds(r.L + 5, r.T + 5, r.L + 5, r.T + 5));
  const std::string& items = user.Menus()[0].items;
  EXPECT_EQ(items.find("Off [checked]\nOn\nModulation Wheel\n"), 0u) << items;
  EXPECT_NE(items.find("\nLinear EG 2"), std::string::npos);
  auto* picker = dynamic_cast<ISMSourceControl*>(ControlFor(source));
  EXPECT_EQ(picker->Source(), 11);
  EXPECT_STREQ(ISMSourceControl::ShortName(picker->Source()), "Velo");
  // The menu shows the choice next time; choosing nothing changes nothing.
  user.ChooseNothingFromMenu();
  Click(source);
  EXPECT_NE(user.Menus()[1].items.find("Velocity [checked]"), std::string::npos);
  EXPECT_NEAR(Normalised(source), 11.0 / 20.0, 1e-9);

  // The voice count.
  SetFromHost(param::kNumberOfVoices, 1.0);
  user.ChooseMenuItem({"16"});
  Click(param::kNumberOfVoices);
  EXPECT_NEAR(Normalised(param::kNumberOfVoices), 4.0 / 6.0, 1e-9);
  EXPECT_EQ(user.Menus().back().items, "1\n2\n4\n8\n16\n32\n64 [checked]\n");
  EXPECT_EQ(plug().VoiceCount(), 16);
  user.ChooseNothingFromMenu();
  Click(param::kNumberOfVoices);
  EXPECT_EQ(plug().VoiceCount(), 16);
  EXPECT_TRUE(user.ScriptDone());
}

TEST_F(EditorControls, TheRateKnobOfASyncedGeneratorIsItsSyncRateWindowOpenOrNot) {
  // Closed window: the pair follows at once on this thread.
  ASSERT_FALSE(frame->IsWindowOpen());
  SetFromHost(param::kMg1SyncToHost, 1.0);
  EXPECT_TRUE(editor->FrequencyKnob(0)->IsHidden());
  EXPECT_FALSE(editor->SyncRateKnob(0)->IsHidden());
  EXPECT_EQ(frame->FindControlAt(60, 600), editor_layout::FindControl(param::kMg1SyncRate)->number);
  OpenWindow();
  EXPECT_FALSE(ControlFor(param::kMg1SyncRate)->IsDirty());
  EXPECT_FALSE(ControlFor(param::kMg1SyncRate)->IsHidden());
  SetFromHost(param::kMg1SyncToHost, 0.0);
  EXPECT_FALSE(editor->FrequencyKnob(0)->IsHidden());
  EXPECT_TRUE(editor->SyncRateKnob(0)->IsHidden());
  EXPECT_EQ(frame->FindControlAt(60, 600), editor_layout::FindControl(param::kMg1Frequency)->number);
  // From another thread, at the next tick of the user-interface thread.
  std::thread automation([&] { SetFromHost(param::kVibratoSyncToHost, 1.0); });
  automation.join();
  EXPECT_FALSE(editor->FrequencyKnob(2)->IsHidden());
  frame->Tick();
  EXPECT_TRUE(editor->FrequencyKnob(2)->IsHidden());
  EXPECT_FALSE(editor->SyncRateKnob(2)->IsHidden());
  // Clicking the sync button itself switches the pair.
  Click(param::kMg2SyncToHost);
  EXPECT_EQ(Normalised(param::kMg2SyncToHost), 1.0);
  EXPECT_TRUE(editor->FrequencyKnob(1)->IsHidden());
  // A program recall sets them as the program has them.
  plug().InitCurrentProgram();
  for (int g = 0; g < 3; ++g) {
    EXPECT_FALSE(editor->FrequencyKnob(g)->IsHidden()) << g;
    EXPECT_TRUE(editor->SyncRateKnob(g)->IsHidden()) << g;
  }
}

TEST_F(EditorControls, IndicatorsShowTheOscillatorsOfHeldNotesAtIdleTime) {
  OpenWindow();
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  SetFromHost(param::kOsc1On, 1.0);
  SetFromHost(param::kOsc2On, 0.0);
  SetFromHost(param::kOsc3On, 1.0);
  SetFromHost(param::kXMode, 0.0);
  auto shown = [&] {
    std::string s;
    for (int k = 0; k < 3; ++k) s += editor->Indicator(k)->IsHidden() ? '-' : 'o';
    return s;
  };
  plug().OnHostIdle();
  EXPECT_EQ(shown(), "---");
  Midi(0x90, 60, 100);
  Process();
  EXPECT_EQ(shown(), "---");  // not before idle time
  // Idle time comes after 21 quiet ticks.
  for (int k = 0; k < 30; ++k) frame->Tick();
  EXPECT_EQ(shown(), "o-o");
  EXPECT_FALSE(frame->GetControl(0)->IsDirty());
  // X-Mode: only the oscillator the last note went to.
  SetFromHost(param::kXMode, 1.0);
  Midi(0x90, 64, 100);
  Process();
  plug().OnHostIdle();
  EXPECT_EQ(shown(), std::string(plug().XModeIndex() == 0 ? "o--" : (plug().XModeIndex() == 2 ? "--o" : "---")));
  Midi(0x80, 60, 0);
  Midi(0x80, 64, 0);
  Process();
  plug().OnHostIdle();
  EXPECT_EQ(shown(), "---");
}

TEST_F(EditorControls, TheLearnSwitchBindsAControllerThatArrivesOnTheAudioThread) {
  OpenWindow();
  // Switching on delivers every parameter, which learning would take for a move of each.
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  auto* learn = editor->LearnSwitch();
  const std::shared_ptr<LICE_Bitmap> learnArt = learn->Bitmap().image;
  // While off, the right button changes the mode and its artwork.
  Click(-155, Right());
  EXPECT_FALSE(learn->LearnMode());
  EXPECT_NE(learn->Bitmap().image, learnArt);
  EXPECT_EQ(learn->Bitmap().image, LICE_BitmapCache::Instance().Find(editor_layout::kUnlearnBitmap));
  EXPECT_TRUE(learn->IsDirty());
  Click(-155, Right());
  EXPECT_TRUE(learn->LearnMode());
  EXPECT_EQ(learn->Bitmap().image, learnArt);
  // On: armed in learn mode; now the right button does nothing.
  Click(-155);
  EXPECT_EQ(learn->Value(), 1.0);
  EXPECT_TRUE(plug().LearnArmed());
  EXPECT_FALSE(plug().UnlearnMode());
  Click(-155, Right());
  EXPECT_TRUE(learn->LearnMode());

  // Turn a knob, then move controller 74: bound, and the switch goes off at the next tick.
  plug().SetControllerMapping(20, param::kFilterResonance);
  const IBounds r = RectOf(param::kFilterResonance);
  frame->OnMouseDown(r.L + 20, r.T + 20, Left());
  frame->OnMouseDrag(r.L + 20, r.T + 10, Left());
  frame->OnMouseUp(r.L + 20, r.T + 10, Left());
  EXPECT_TRUE(plug().LearnArmed());
  std::thread audio([&] {
    Midi(0xB0, 74, 127);
    Process();
  });
  audio.join();
  EXPECT_EQ(plug().ControllerMap()[74], param::kFilterResonance);
  EXPECT_EQ(plug().ControllerMap()[20], -1);  // one controller per parameter
  EXPECT_FALSE(plug().LearnArmed());
  EXPECT_EQ(learn->Value(), 1.0);  // the audio thread left it for the user-interface thread
  frame->ApplyPendingValues();
  EXPECT_EQ(learn->Value(), 0.0);
  EXPECT_TRUE(learn->IsDirty());

  // The bound controller now plays the knob, which follows at the next tick.
  std::thread audio2([&] {
    Midi(0xB0, 74, 127);
    Process();
  });
  audio2.join();
  EXPECT_DOUBLE_EQ(Normalised(param::kFilterResonance), 1.0);
  frame->Tick();
  EXPECT_DOUBLE_EQ(ControlFor(param::kFilterResonance)->Value(), 1.0);
}

TEST_F(EditorControls, ActionButtonsStepProgramsAndTheClipboardLightsPaste) {
  OpenWindow();
  plug().SelectProgram(0);
  Click(-160);
  EXPECT_EQ(plug().CurrentProgram(), 1);
  // The controls show the program stepped to.
  for (int index : {param::kFilterCutoff, param::kChorusMix, param::kWaveShape2, param::kNumberOfVoices}) {
    EXPECT_NEAR(ControlFor(index)->Value(), Normalised(index), 1e-9) << index;
  }
  Click(-159);
  Click(-159);
  EXPECT_EQ(plug().CurrentProgram(), 63);
  Click(-160);
  EXPECT_EQ(plug().CurrentProgram(), 0);

  // Paste does nothing before a copy; after it the paste button is lit at idle time.
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Click(-177);
  EXPECT_TRUE(user.Messages().empty());
  Click(-176);
  EXPECT_TRUE(plug().ClipboardHoldsProgram());
  frame->Tick();
  plug().OnHostIdle();
  EXPECT_TRUE(editor->PasteButton()->IsDirty());
  frame->Tick();
  EXPECT_EQ(editor->PasteButton()->Bitmap().image,
            LICE_BitmapCache::Instance().Find(editor_layout::kButtonWhiteOnBitmap));
  // Paste asks first and, on Yes, overwrites program 1 with program 0.
  Click(-160);
  const std::string zero = plug().ProgramName(0);
  Click(-177);
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, "Do you really want to overwrite the current program?");
  EXPECT_EQ(user.Messages()[0].caption, "Paste Program");
  EXPECT_EQ(plug().ProgramName(1), zero);
  EXPECT_EQ(editor->PasteButton()->Value(), 0.0);  // released after the question
  // Initialise asks too; No keeps the program.
  SetFromHost(param::kFilterCutoff, 0.125);
  user.AnswerNextMessage(IGraphics::kAnswerNo);
  Click(-178);
  EXPECT_NEAR(Normalised(param::kFilterCutoff), 0.125, 1e-6);
  user.AnswerNextMessage(IGraphics::kAnswerYes);
  Click(-178);
  EXPECT_EQ(plug().ProgramName(1), "Init");
  EXPECT_EQ(user.Messages().back().caption, "Initialize Program");

  // Wave-table steps move to the next table that has a name and wrap.
  SetFromHost(param::kWaveTable1, 0.0);
  Click(-163);
  EXPECT_EQ(plug().GetParam(param::kWaveTable1)->Value(), 1.0);
  Click(-162);
  Click(-162);
  const auto last = plug().WaveTables().Catalogue().EntryAt(37);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(plug().GetParam(param::kWaveTable1)->Value(), last->identifier);  // user slots are empty
  EXPECT_DOUBLE_EQ(ControlFor(param::kWaveTable1)->Value(), last->identifier / 65535.0);
}

TEST_F(EditorControls, OneKnobMovedRepaintsOnlyThatKnob) {
  OpenWindow();
  frame->ForgetPresented();
  frame->ForgetDrawnArea();
  SetFromHost(param::kChorusDepth, 0.75);
  IBounds dirty;
  ASSERT_TRUE(frame->FindDirtyArea(&dirty));
  EXPECT_EQ(dirty, RectOf(param::kChorusDepth));
  frame->Draw(dirty);
  EXPECT_EQ(frame->PresentedArea(), RectOf(param::kChorusDepth));
  EXPECT_EQ(frame->DrawnArea().Union(RectOf(param::kChorusDepth)), RectOf(param::kChorusDepth));
  // The background beneath it and the knob itself; neighbours only where their edges touch it.
  EXPECT_LE(frame->DrawnControlCount(), 3);
  // A value from outside draws once more, and then nothing is left.
  frame->ForgetPresented();
  EXPECT_TRUE(frame->RedrawDirty());
  EXPECT_EQ(frame->PresentedArea(), RectOf(param::kChorusDepth));
  EXPECT_FALSE(frame->RedrawDirty());
}

TEST_F(EditorControls, ScreenshotsShowTheProgramsValuesAndRepeatExactly) {
  ASSERT_TRUE(EditorScreenshot::Paint(*frame));
  EXPECT_FALSE(frame->IsWindowOpen());
  const IBounds all(0, 0, 1127, 776);
  const auto first = Pixels(*frame->DrawBitmap(), all);
  ASSERT_TRUE(EditorScreenshot::Paint(*frame));
  EXPECT_EQ(Pixels(*frame->DrawBitmap(), all), first);
  // Another instance at the same program draws the same picture.
  Tarvolin other(nullptr);
  auto* otherFrame = IGraphics::FromEditor(other.GetEditor());
  ASSERT_TRUE(EditorScreenshot::Paint(*otherFrame));
  EXPECT_EQ(Pixels(*otherFrame->DrawBitmap(), all), first);

  // Init differs from program 0 exactly at the knobs whose frame differs.
  other.InitCurrentProgram();
  ASSERT_TRUE(EditorScreenshot::Paint(*otherFrame));
  int differing = 0;
  for (const ControlRow& row : editor_layout::Controls()) {
    if (row.cls != ControlClass::ISMKnobControl) continue;
    const auto* mine = dynamic_cast<ISMKnobControl*>(frame->GetControl(row.number));
    const auto* theirs = dynamic_cast<ISMKnobControl*>(otherFrame->GetControl(row.number));
    if (mine->IsHidden() || theirs->IsHidden()) continue;
    const IBounds r = mine->Rect();
    const bool same = Pixels(*frame->DrawBitmap(), r) == Pixels(*otherFrame->DrawBitmap(), r);
    EXPECT_EQ(same, mine->FrameForValue() == theirs->FrameForValue()) << row.name;
    if (!same) ++differing;
  }
  EXPECT_GT(differing, 5);

  const std::string path = ::testing::TempDir() + "tarvolin-editor-screenshot.png";
  std::string error;
  ASSERT_TRUE(EditorScreenshot::Write(*frame, path, &error)) << error;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  unsigned char signature[8] = {};
  EXPECT_EQ(std::fread(signature, 1, 8, f), 8u);
  std::fclose(f);
  EXPECT_EQ(std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8), 0);
  std::remove(path.c_str());
}

// The host automates and the audio thread plays (notes, a controller being learnt) while the
// user-interface thread draws and clicks: the controls end as the parameters and the learn state
// end, and nothing is read or written by two threads at once (this runs under ThreadSanitizer).
TEST(EditorConcurrency, TheEditorFollowsTheAudioAndAutomationThreads) {
  const GraphicsFactory previous = SetGraphicsFactory(&CreateOffscreenGraphics);
  {
    Tarvolin plug(nullptr);
    auto* frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug.GetEditor()));
    auto* editor = dynamic_cast<TarvolinEditor*>(plug.EditorControls());
    ASSERT_NE(editor, nullptr);
    frame->AllowVirtualWindow(true);
    ASSERT_TRUE(frame->OpenWindow(nullptr));
    AEffect* e = plug.GetAEffect();
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::atomic<bool> stop{false};
    std::thread automation([&] {
      for (int k = 0; k < 400; ++k) {
        e->setParameter(e, param::kMg1SyncToHost, static_cast<float>(k % 2));
        e->setParameter(e, param::kUnisonMode, static_cast<float>((k / 3) % 2));
        e->setParameter(e, param::kFilterCutoff, static_cast<float>(k % 17) / 16.0f);
      }
    });
    std::thread audio([&] {
      std::vector<float> left(128), right(128);
      float* outs[2] = {left.data(), right.data()};
      for (int k = 0; !stop.load() || k < 200; ++k) {
        VstMidiEvent m{};
        m.type = kVstMidiType;
        m.byteSize = sizeof m;
        const bool cc = k % 3 == 0;
        m.midiData[0] = static_cast<char>(cc ? 0xB0 : (k % 2 ? 0x90 : 0x80));
        m.midiData[1] = static_cast<char>(cc ? 21 : 60);
        m.midiData[2] = static_cast<char>(cc ? k % 128 : 100);
        VstEvents events{};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&m);
        e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
        e->processReplacing(e, nullptr, outs, 128);
      }
    });
    const IBounds learn = IBounds(810, 732, 858, 756);
    IMouseState left;
    left.L = true;
    for (int k = 0; k < 300; ++k) {
      if (k % 10 == 0 && editor->LearnSwitch()->Value() == 0.0) {
        frame->OnMouseDown(learn.L + 4, learn.T + 4, left);
        frame->OnMouseUp(learn.L + 4, learn.T + 4, left);
      }
      frame->Tick();
      plug.OnHostIdle();
    }
    automation.join();
    stop = true;
    audio.join();
    // A controller learnt during the run may have taken over Unison Mode or the sync switch after
    // the automation ended: the host's last word comes once the audio thread is done.
    std::thread([&] {
      e->setParameter(e, param::kMg1SyncToHost, 1.0f);
      e->setParameter(e, param::kUnisonMode, 1.0f);
    }).join();
    for (int k = 0; k < 3; ++k) frame->Tick();
    EXPECT_TRUE(editor->FrequencyKnob(0)->IsHidden());
    EXPECT_FALSE(editor->SyncRateKnob(0)->IsHidden());
    EXPECT_TRUE(editor->UnisonButton(true)->Lit());
    EXPECT_EQ(editor->LearnSwitch()->Value() > 0.0, plug.LearnArmed());
  }
  SetGraphicsFactory(previous);
}
