// The graphics frame through its entry points: which control gets an event, capture and drag,
// gestures, redrawing, the idle hook and the parameter traffic.
#include "editor/IGraphics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "EditorTestSupport.h"
#include "editor/IBitmapControl.h"

namespace {

using Log = std::vector<std::string>;

class Frame : public ::testing::Test {
 protected:
  Frame() {
    plug.out = &log;
    frame.CreateSurfaces();
    // background (index 0), a and b overlapping, c hidden on top of both.
    frame.AddControl(new ProbeControl(&plug, &log, "bg", IBounds(0, 0, 200, 100)));
    a = Add("a", IBounds(10, 10, 50, 50), 1);
    b = Add("b", IBounds(40, 40, 80, 80), 2);
    c = Add("c", IBounds(0, 0, 100, 100));
    c->Hide(true);
    Clean();
  }
  ProbeControl* Add(const char* name, const IBounds& r, int param = -1) {
    auto* p = new ProbeControl(&plug, &log, name, r, param);
    frame.AddControl(p);
    return p;
  }
  void Clean() {
    frame.Draw(IBounds(0, 0, 200, 100));
    frame.Draw(IBounds(0, 0, 200, 100));
    log.clear();
  }
  Log Take() {
    Log all;
    all.swap(log);
    return all;
  }

  RecordingPlug plug;
  Log log;
  StripFrame frame{&plug};
  ProbeControl* a = nullptr;
  ProbeControl* b = nullptr;
  ProbeControl* c = nullptr;
  IMouseState left{true, false, false, false, false};
};

}  // namespace

TEST_F(Frame, TheLaterOfOverlappingControlsTakesTheClickAndHiddenOnesNone) {
  EXPECT_EQ(frame.FindControlAt(45, 45), 2);  // a and b overlap; b came later; c is hidden
  EXPECT_EQ(frame.FindControlAt(15, 15), 1);
  EXPECT_EQ(frame.FindControlAt(150, 90), 0);  // the background catches the rest
  EXPECT_EQ(frame.FindControlAt(200, 50), -1);  // right edge lies outside
  c->Hide(false);
  EXPECT_EQ(frame.FindControlAt(45, 45), 3);
  c->Hide(true);
  // A target rect other than the drawing rect decides hits.
  a->SetTargetRect(IBounds(100, 0, 110, 10));
  EXPECT_EQ(frame.FindControlAt(15, 15), 0);
  EXPECT_EQ(frame.FindControlAt(105, 5), 1);
}

TEST_F(Frame, ClickCapturesWithGesturesAroundIt) {
  frame.OnMouseDown(45, 45, left);
  EXPECT_EQ(frame.MouseCaptureIndex(), 2);
  EXPECT_EQ(Take(), (Log{"begin 2", "b down 45,45"}));
  frame.OnMouseUp(15, 15, left);  // released over a: still b's release
  EXPECT_EQ(frame.MouseCaptureIndex(), -1);
  EXPECT_EQ(Take(), (Log{"b up 15,15", "end 2"}));
  // Without a parameter there is no gesture; without a control nothing happens.
  frame.OnMouseDown(150, 90, left);
  frame.OnMouseUp(150, 90, left);
  EXPECT_EQ(Take(), (Log{"bg down 150,90", "bg up 150,90"}));
  frame.OnMouseDown(500, 500, left);
  EXPECT_EQ(frame.MouseCaptureIndex(), -1);
  frame.OnMouseUp(500, 500, left);
  EXPECT_TRUE(Take().empty());
}

TEST_F(Frame, DraggingFeedsTheCapturedControlEvenOutsideTheWindow) {
  frame.OnMouseDrag(20, 20, left);  // no capture: nothing
  EXPECT_TRUE(Take().empty());
  frame.OnMouseDown(15, 15, left);
  Take();
  frame.OnMouseDrag(15, 15, left);  // same place: nothing
  frame.OnMouseDrag(15, 5, left);
  frame.OnMouseDrag(-40, -300, left);  // far outside the editor
  frame.OnMouseWheel(500, 500, left, -2);  // the wheel goes to the captured control too
  EXPECT_EQ(Take(), (Log{"a drag 15,5 d0,-10", "a drag -40,-300 d-55,-305", "a wheel 500,500 -2"}));
  frame.OnMouseUp(-40, -300, left);
  EXPECT_EQ(Take(), (Log{"a up -40,-300", "end 1"}));
  frame.OnMouseWheel(45, 45, left, 1);
  EXPECT_EQ(Take(), (Log{"b wheel 45,45 1"}));
}

TEST_F(Frame, DoubleClickRestoresTheDefaultWithoutCaptureOrGesture) {
  // The first value the plug-in pushes is the default.
  frame.SetParameterFromPlugin(1, 30.0, false);  // plain: 30 of 0 ... 100
  EXPECT_DOUBLE_EQ(a->DefaultValue(), 0.3);
  frame.SetParameterFromPlugin(1, 0.9, true);
  EXPECT_DOUBLE_EQ(a->Value(), 0.9);
  EXPECT_DOUBLE_EQ(a->DefaultValue(), 0.3);
  frame.OnMouseDown(15, 15, left);
  Take();
  frame.OnMouseDoubleClick(15, 15, left);
  EXPECT_EQ(frame.MouseCaptureIndex(), -1);
  EXPECT_DOUBLE_EQ(a->Value(), 0.3);
  EXPECT_EQ(Take(), (Log{"a double 15,15", "report 1 0.30"}));  // pushed: the host is told
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 30.0);
  // A control that never got a value from the plug-in has no default: nothing changes.
  b->SetValueFromUser(0.7);
  Take();
  frame.OnMouseDoubleClick(75, 75, left);
  EXPECT_DOUBLE_EQ(b->Value(), 0.7);
  EXPECT_EQ(Take(), (Log{"b double 75,75"}));
}

TEST_F(Frame, MouseOverAndOut) {
  EXPECT_FALSE(frame.OnMouseOver(15, 15, IMouseState()));  // off until switched on
  EXPECT_TRUE(Take().empty());
  frame.HandleMouseOver(true);
  EXPECT_TRUE(frame.OnMouseOver(15, 15, IMouseState()));
  EXPECT_TRUE(frame.OnMouseOver(16, 15, IMouseState()));
  EXPECT_TRUE(frame.OnMouseOver(45, 45, IMouseState()));
  EXPECT_EQ(frame.MouseOverIndex(), 2);
  EXPECT_EQ(Take(), (Log{"a over 15,15", "a over 16,15", "b over 45,45", "a out"}));
  frame.OnMouseOut();
  EXPECT_EQ(frame.MouseOverIndex(), -1);
  EXPECT_EQ(Take(), (Log{"bg out", "a out", "b out", "c out"}));
}

TEST_F(Frame, KeysGoToTheControlUnderThePointerButNeverToTheBackground) {
  EXPECT_FALSE(frame.OnKeyDown(150, 90, kKeySpace));
  EXPECT_TRUE(Take().empty());
  EXPECT_FALSE(frame.OnKeyDown(15, 15, kKeyLetterA + 2));
  a->takesKeys = true;
  EXPECT_TRUE(frame.OnKeyDown(15, 15, kKeyUp));
  EXPECT_FALSE(frame.OnKeyDown(-5, -5, kKeyUp));
  EXPECT_EQ(Take(), (Log{"a key 15,15 17", "a key 15,15 1"}));
}

TEST_F(Frame, DirtyUnionStrictDrawingAndPresenting) {
  IBounds area;
  EXPECT_FALSE(frame.FindDirtyArea(&area));
  EXPECT_TRUE(area.Empty());
  a->MarkDirty(false);
  c->MarkDirty(false);  // hidden controls still count
  ASSERT_TRUE(frame.FindDirtyArea(&area));
  EXPECT_EQ(area, IBounds(0, 0, 100, 100));
  frame.ForgetPresented();
  frame.Draw(IBounds(10, 10, 30, 30));
  // Everything visible overlapping the region, in list order; the hidden one only marked clean.
  EXPECT_EQ(Take(), (Log{"bg draw", "a draw"}));
  EXPECT_FALSE(c->IsDirty());
  EXPECT_EQ(frame.PresentCount(), 1);
  EXPECT_EQ(frame.PresentedArea(), IBounds(10, 10, 30, 30));
  // Drawing clips to the region: b lies outside it and its pixels stay untouched.
  EXPECT_EQ(frame.DrawBitmap()->Pixel(70, 70), 0xFFC86432u);  // from the earlier full draws
  b->colour = IArgb(255, 0, 0, 255);
  b->MarkDirty(false);
  frame.Draw(IBounds(30, 30, 45, 45));
  EXPECT_EQ(Take(), (Log{"bg draw", "a draw", "b draw"}));
  EXPECT_EQ(frame.DrawBitmap()->Pixel(42, 42), 0xFF0000FFu);
  EXPECT_EQ(frame.DrawBitmap()->Pixel(70, 70), 0xFFC86432u);
  // A change from the plug-in draws twice (it asks for a redraw after the first pass).
  frame.SetParameterFromPlugin(1, 0.5, true);
  frame.SetParameterFromPlugin(1, 0.6, true);
  EXPECT_TRUE(frame.RedrawDirty());
  EXPECT_TRUE(a->IsDirty());
  EXPECT_TRUE(frame.RedrawDirty());
  EXPECT_FALSE(frame.RedrawDirty());
}

TEST_F(Frame, IdleHookRunsAfterTwentyOneQuietTicks) {
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(frame.RedrawDirty());
  EXPECT_EQ(plug.idleCalls, 0);
  frame.RedrawDirty();
  EXPECT_EQ(plug.idleCalls, 1);
  EXPECT_EQ(frame.IdleTickCount(), 0);
  // A dirty tick starts the count again.
  for (int i = 0; i < 10; ++i) frame.RedrawDirty();
  a->MarkDirty(false);
  frame.RedrawDirty();
  for (int i = 0; i < 20; ++i) frame.RedrawDirty();
  EXPECT_EQ(plug.idleCalls, 1);
  frame.RedrawDirty();
  EXPECT_EQ(plug.idleCalls, 2);
  // An empty frame is never dirty.
  RecordingPlug other;
  IGraphicsOffscreen empty(&other, 10, 10, 25);
  IBounds area(1, 2, 3, 4);
  EXPECT_FALSE(empty.FindDirtyArea(&area));
  EXPECT_TRUE(area.Empty());
}

TEST_F(Frame, ControlBaseValueRules) {
  // The first push sets default and value without marking; later ones mark and ask a redraw.
  ProbeControl* d = Add("d", IBounds(0, 0, 5, 5), 3);
  d->MarkClean();
  frame.SetParameterFromPlugin(3, 0.4, true);
  EXPECT_DOUBLE_EQ(d->DefaultValue(), 0.4);
  EXPECT_FALSE(d->IsDirty());
  frame.SetParameterFromPlugin(3, 0.4, true);  // unchanged: nothing
  EXPECT_FALSE(d->IsDirty());
  frame.SetParameterFromPlugin(3, 250.0, false);  // plain values are clamped into the range
  EXPECT_DOUBLE_EQ(d->Value(), 1.0);
  EXPECT_TRUE(d->IsDirty() && d->RedrawPending());
  EXPECT_TRUE(Take().empty());  // nothing goes back to the plug-in
  // Indices outside the parameters and values that are no number are ignored.
  frame.SetParameterFromPlugin(4, 0.1, true);
  frame.SetParameterFromPlugin(-1, 0.1, true);
  frame.SetParameterFromPlugin(3, std::nan(""), true);
  EXPECT_DOUBLE_EQ(d->Value(), 1.0);
  // From the user: clamped to the control's range and pushed.
  d->SetClamp(0.0, 0.5);
  d->SetValueFromUser(0.8);
  EXPECT_DOUBLE_EQ(d->Value(), 0.5);
  EXPECT_EQ(Take(), (Log{"report 3 0.50"}));
  // Negative indices never reach the plug-in.
  c->SetValueFromUser(0.3);
  EXPECT_TRUE(Take().empty());
  // Hiding asks for a redraw too; MarkAllControlsDirty marks everything without pushing.
  d->MarkClean();
  d->Hide(true);
  EXPECT_TRUE(d->IsDirty() && d->RedrawPending());
  frame.MarkAllControlsDirty();
  for (int i = 0; i < frame.NControls(); ++i) EXPECT_TRUE(frame.GetControl(i)->IsDirty());
  EXPECT_TRUE(Take().empty());
}

TEST(FrameBitmaps, LoadedOncePerProcessAndDrawnFrameByFrame) {
  RecordingPlug plug;
  StripFrame frame(&plug);
  frame.CreateSurfaces();
  // A 65-frame strip of 40-pixel frames, like the knobs.
  const IImageStrip knob = frame.LoadBitmap(9000 + 6500 + 40, "knob.png", 65);
  ASSERT_NE(knob.image, nullptr);
  EXPECT_EQ(knob.H, 2600);
  EXPECT_EQ(knob.FrameHeight(), 40);
  EXPECT_EQ(knob.FrameOffset(1), 0);
  EXPECT_EQ(knob.FrameOffset(2), 40);
  EXPECT_EQ(knob.FrameOffset(65), 2560);
  StripFrame second(&plug);
  const IImageStrip again = second.LoadBitmap(9000 + 6500 + 40, "knob.png", 65);
  EXPECT_EQ(again.image, knob.image);
  EXPECT_LE(frame.resourceLoads, 1);
  EXPECT_EQ(second.resourceLoads, 0);
  // Frame i shows exactly frame i's pixels: 1 the top, 65 the bottom.
  for (int i : {1, 2, 33, 65}) {
    frame.Draw(IBounds(0, 0, 200, 100));  // sets the redraw region
    EXPECT_TRUE(frame.BlitBitmap(knob, IBounds(0, 0, 8, 40), i, nullptr));
    EXPECT_EQ(frame.DrawBitmap()->Pixel(0, 0), 0xFF000000u | static_cast<std::uint32_t>(i)) << i;
    EXPECT_EQ(frame.DrawBitmap()->Pixel(7, 39), 0xFF000000u | static_cast<std::uint32_t>(i)) << i;
  }
  // Seven frames of 23 rows: frame 2 starts at 161 * 1 / 7 + 0.5 = 23.5, truncated.
  const IImageStrip voices = frame.LoadBitmap(9000 + 700 + 23, "voices.png", 7);
  EXPECT_EQ(voices.FrameOffset(2), 23);
  EXPECT_EQ(voices.FrameOffset(7), 138);
  // A bitmap control shows the frame of its value.
  auto* control = new IBitmapControl(&plug, 20, 0, 0, voices, IBlendMode::kNone);
  frame.AddControl(control);
  EXPECT_EQ(control->Rect(), IBounds(20, 0, 28, 23));
  for (auto [value, shown] : {std::pair{0.0, 1}, {0.5, 4}, {1.0, 7}, {0.59, 5}, {-0.5, 1}, {3.0, 7}}) {
    control->SetValueFromUser(value);
    EXPECT_EQ(control->FrameForValue(), shown) << value;
  }
  control->SetValueFromUser(4.0 / 6.0);
  frame.Draw(IBounds(0, 0, 200, 100));
  EXPECT_EQ(frame.DrawBitmap()->Pixel(24, 10), 0xFF000005u);
}

TEST(FrameBitmaps, AMissingOrBadImageDrawsNothing) {
  RecordingPlug plug;
  StripFrame frame(&plug);
  frame.CreateSurfaces();
  // Not a PNG name, no such resource, a resource that is there but not under that type.
  EXPECT_EQ(frame.LoadBitmapResource(102, "knob.bmp"), nullptr);
  EXPECT_EQ(frame.LoadBitmapResource(102, "knob"), nullptr);
  EXPECT_NE(frame.LoadBitmapResource(102, "KNOB.PNG"), nullptr);
  EXPECT_EQ(frame.LoadBitmapResource(150, "x.png"), nullptr);
  const IImageStrip missing = frame.LoadBitmap(8999, "missing.png", 3);
  EXPECT_EQ(missing.image, nullptr);
  EXPECT_EQ(missing.W, 0);
  EXPECT_FALSE(frame.BlitBitmap(missing, IBounds(0, 0, 10, 10), 2, nullptr));
  auto* control = new IBitmapControl(&plug, 5, 5, -1, missing);
  frame.AddControl(control);
  frame.Draw(IBounds(0, 0, 200, 100));  // nothing to draw, nothing breaks
  // Failures are not remembered: a later load asks again.
  frame.LoadBitmap(8999, "missing.png", 3);
  EXPECT_EQ(frame.resourceLoads, 6);
}

TEST(FrameBitmaps, BackgroundGoesFirstAndClobbers) {
  RecordingPlug plug;
  StripFrame frame(&plug);
  frame.CreateSurfaces();
  std::vector<std::string> log;
  frame.AddControl(new ProbeControl(&plug, &log, "p", IBounds(0, 0, 4, 4)));
  frame.SetBackground(9000 + 100 + 90, "bg.png");
  ASSERT_EQ(frame.NControls(), 2);
  auto* background = dynamic_cast<IBitmapControl*>(frame.GetControl(0));
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Rect(), IBounds(0, 0, 8, 90));
  EXPECT_EQ(background->ParamIdx(), -1);
  EXPECT_EQ(background->Blend().method, IBlendMode::kClobber);
  EXPECT_EQ(background->GetGUI(), &frame);
  frame.Draw(IBounds(0, 0, 200, 100));
  EXPECT_EQ(frame.DrawBitmap()->Pixel(6, 80), 0xFF000001u);
  EXPECT_EQ(log, (std::vector<std::string>{"p draw"}));
}

TEST(FrameBitmaps, EveryEditorBitmapIsLinkedAtItsSize) {
  struct Expected {
    int id;
    const char* name;
    int w, h;
  };
  const Expected all[] = {
      {101, "tarvolin.png", 1128, 776}, {102, "knob.png", 40, 2600},       {103, "knob_white.png", 40, 2600},
      {104, "button_off.png", 24, 80},  {105, "button_on.png", 24, 80},    {106, "button_white_off.png", 24, 80},
      {107, "button_white_on.png", 24, 80}, {108, "button_orange_off.png", 24, 80},
      {109, "button_orange_on.png", 24, 80}, {110, "switch2.png", 14, 40}, {111, "switch3.png", 14, 90},
      {112, "switch4white.png", 40, 160}, {113, "switch6.png", 40, 240},   {114, "voices.png", 35, 161},
      {115, "up.png", 24, 32},          {116, "down.png", 24, 32},         {117, "learn.png", 48, 48},
      {118, "unlearn.png", 48, 48},     {119, "led.png", 12, 12},
  };
  RecordingPlug plug;
  IGraphicsOffscreen frame(&plug, 1127, 776, 25);
  for (const Expected& e : all) {
    const auto bitmap = frame.LoadBitmapResource(e.id, e.name);
    ASSERT_NE(bitmap, nullptr) << e.id;
    EXPECT_EQ(bitmap->Width(), e.w) << e.id;
    EXPECT_EQ(bitmap->Height(), e.h) << e.id;
  }
}
