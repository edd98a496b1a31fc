#include "editor/EditorLayout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

using namespace editor_layout;

namespace {

// The frame's overlap rule: the right and bottom edges count as touching.
bool Overlap(const Rect& a, const Rect& b) {
  return a.r >= b.l && a.l < b.r && a.b >= b.t && a.t < b.b;
}

bool Same(const Rect& a, const Rect& b) { return a.l == b.l && a.t == b.t && a.r == b.r && a.b == b.b; }

std::string Show(const Rect& r) {
  char text[64];
  std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", r.l, r.t, r.r, r.b);
  return text;
}

std::string Who(const ControlRow& c) {
  return "control " + std::to_string(c.number) + " (" + (c.param >= 0 ? c.name : c.what) + ")";
}

// The rect a control's constructor makes from its arguments and bitmap.
Rect BuiltRect(const ControlRow& c) {
  const BitmapInfo* bitmap = FindBitmap(c.bitmap);
  const int w = bitmap ? bitmap->width : 0;
  const int h = bitmap ? bitmap->height / bitmap->frames : 0;
  const int* a = c.args;
  switch (c.cls) {
    case ControlClass::ISMKnobControl:
      return {a[0] / 2, a[1] / 2, a[0] / 2 + w, a[1] / 2 + h};
    case ControlClass::ISMSourceControl:
      return {a[0] / 2, a[1] / 2, (a[0] + 64) / 2, (a[1] + 24) / 2};
    case ControlClass::ISMBitmapControl:
      return {a[0] / 2, 60, a[0] / 2 + w, 60 + h};
    case ControlClass::ISMWaveTableControl:
      return {a[0] / 2, 92, a[0] / 2 + 100, 156};
    case ControlClass::ISMOptionMenu:
    case ControlClass::ITextControl:
    case ControlClass::ISMTuningControl:
      return {a[0], a[1], a[2], a[3]};
    case ControlClass::ISMPresetMenu:
      return {c.numberRect.l, c.numberRect.t, c.nameRect.r, c.nameRect.b};
    default:
      return {a[0], a[1], a[0] + w, a[1] + h};
  }
}

}  // namespace

TEST(EditorLayout, BitmapTableHasEveryStripOnceWithWholeFrames) {
  std::vector<int> preloaded;
  int expectedId = 101;
  for (const BitmapInfo& b : Bitmaps()) {
    EXPECT_EQ(b.id, expectedId++) << b.file;
    ASSERT_GE(b.frames, 1) << b.file;
    EXPECT_EQ(b.height % b.frames, 0) << b.file;
    EXPECT_EQ(FindBitmap(b.id), &b);
    if (b.preload) preloaded.push_back(b.id);
  }
  EXPECT_EQ(expectedId, 120);
  EXPECT_EQ(FindBitmap(100), nullptr);
  EXPECT_EQ(FindBitmap(120), nullptr);
  // Loaded while the editor is built: everything but the background (attached on its own) and the
  // unlearn artwork (loaded when the learn switch first changes mode).
  const std::vector<int> expected = {102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113,
                                     114, 115, 116, 117, 119};
  EXPECT_EQ(preloaded, expected);
  const BitmapInfo* background = FindBitmap(kBackgroundBitmap);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->width, kEditorWidth + 1);  // one column wider than the window
  EXPECT_EQ(background->height, kEditorHeight);
}

TEST(EditorLayout, EveryChangeableParameterHasExactlyOneControl) {
  ASSERT_EQ(Controls().size(), static_cast<std::size_t>(kControlCount));
  std::map<int, int> uses;
  for (std::size_t i = 0; i < Controls().size(); ++i) {
    const ControlRow& c = Controls()[i];
    EXPECT_EQ(c.number, static_cast<int>(i) + 1);
    ++uses[c.param];
  }
  for (int p = 0; p < param::kFirstReserved; ++p) {
    // Unison mode has no control of its own: the two radio buttons -170 and -171 set it.
    EXPECT_EQ(uses[p], p == param::kUnisonMode ? 0 : 1) << "parameter " << p;
  }
  for (const auto& [p, count] : uses) {
    EXPECT_LT(p, param::kFirstReserved) << "a control for a reserved parameter";
    // Ids name one action or display each; only -1 (none) is shared.
    if (p < -1) {
      EXPECT_EQ(count, 1) << "id " << p;
    }
  }
  // The ids the product class keeps references to.
  for (int id : {-170, -171, -173, -174, -175, -177, -155}) {
    EXPECT_EQ(uses[id], 1) << "id " << id;
    ASSERT_NE(FindControl(id), nullptr);
    EXPECT_EQ(FindControl(id)->param, id);
  }
  EXPECT_EQ(FindControl(-1)->number, 1);  // the first of the two rows without an index
  EXPECT_EQ(FindControl(param::kUnisonMode), nullptr);
}

TEST(EditorLayout, RectsFollowFromArgumentsAndLieInsideTheWindow) {
  for (const ControlRow& c : Controls()) {
    SCOPED_TRACE(Who(c));
    const BitmapInfo* bitmap = FindBitmap(c.bitmap);
    EXPECT_EQ(bitmap == nullptr, c.bitmap == 0);
    if (c.bitmapOn != 0) {
      // The lit bitmap is drawn in the same rect, so it must have the same frames.
      const BitmapInfo* on = FindBitmap(c.bitmapOn);
      ASSERT_NE(on, nullptr);
      ASSERT_NE(bitmap, nullptr);
      EXPECT_EQ(on->width, bitmap->width);
      EXPECT_EQ(on->height, bitmap->height);
      EXPECT_EQ(on->frames, bitmap->frames);
    }
    EXPECT_TRUE(Same(BuiltRect(c), c.rect)) << "built " << Show(BuiltRect(c)) << ", listed " << Show(c.rect);
    EXPECT_LT(c.rect.l, c.rect.r);
    EXPECT_LT(c.rect.t, c.rect.b);
    EXPECT_GE(c.rect.l, 0);
    EXPECT_GE(c.rect.t, 0);
    EXPECT_LE(c.rect.r, kEditorWidth);
    EXPECT_LE(c.rect.b, kEditorHeight);
    if (c.cls == ControlClass::ISMPresetMenu) {
      EXPECT_FALSE(Overlap(c.numberRect, c.nameRect));
    }
  }
}

TEST(EditorLayout, ControlsOverlapOnlyWhereTheSyncPairsAreStacked) {
  // Frequency knob first, its sync-rate knob attached later so that it lies on top.
  const std::map<int, int> stacked = {{param::kMg1Frequency, param::kMg1SyncRate},
                                      {param::kMg2Frequency, param::kMg2SyncRate},
                                      {param::kVibratoFrequency, param::kVibratoSyncRate}};
  int pairs = 0;
  const auto controls = Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      const ControlRow& a = controls[i];
      const ControlRow& b = controls[j];
      if (!Overlap(a.rect, b.rect) && !Overlap(b.rect, a.rect)) continue;
      const auto pair = stacked.find(a.param);
      const bool isStack = pair != stacked.end() && pair->second == b.param;
      EXPECT_TRUE(isStack) << Who(a) << " " << Show(a.rect) << " overlaps " << Who(b) << " " << Show(b.rect);
      if (isStack) {
        EXPECT_TRUE(Same(a.rect, b.rect)) << Who(a);
        EXPECT_EQ(a.bitmap, b.bitmap) << Who(a);
        ++pairs;
      }
    }
  }
  EXPECT_EQ(pairs, 3);
}

TEST(EditorLayout, EachControlSuitsItsParameter) {
  Tarvolin plug(nullptr);
  for (const ControlRow& c : Controls()) {
    if (c.param < 0) continue;
    SCOPED_TRACE(Who(c));
    const Parameter* p = plug.GetParam(c.param);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->Name(), c.name);
    const BitmapInfo* bitmap = FindBitmap(c.bitmap);
    const int values = static_cast<int>(p->Max() - p->Min()) + 1;  // for enumerations
    switch (c.cls) {
      case ControlClass::ISMKnobControl:
        ASSERT_NE(bitmap, nullptr);
        if (c.gearing == 1.0) {
          // A stepped knob shows one frame per value.
          EXPECT_EQ(p->Kind(), ParameterKind::Enum);
          EXPECT_EQ(bitmap->frames, values);
        } else {
          EXPECT_EQ(c.gearing, 4.0);
          EXPECT_EQ(bitmap->frames, 65);
        }
        break;
      case ControlClass::ISMSwitchControl:
      case ControlClass::ISMVoicesControl:
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(p->Kind(), ParameterKind::Enum);
        EXPECT_EQ(bitmap->frames, values);
        break;
      case ControlClass::ISMButtonKick:
        EXPECT_EQ(p->Kind(), ParameterKind::Enum);
        EXPECT_EQ(values, 2);
        EXPECT_NE(c.bitmapOn, 0);
        break;
      case ControlClass::ISMSourceControl: {
        EXPECT_EQ(p->Kind(), ParameterKind::Enum);
        EXPECT_EQ(values, 21);
        // Each picker sits just below the amount knob it chooses the source for (the parameter
        // before it), inside the knob's width.
        const ControlRow* amount = FindControl(c.param - 1);
        ASSERT_NE(amount, nullptr);
        EXPECT_EQ(amount->cls, ControlClass::ISMKnobControl);
        EXPECT_STREQ(amount->name, c.name);
        EXPECT_EQ(c.rect.t - amount->rect.b, 3);
        EXPECT_EQ(c.rect.l - amount->rect.l, 4);
        EXPECT_EQ(amount->rect.r - c.rect.r, 4);
        break;
      }
      case ControlClass::ISMWaveTableControl:
        EXPECT_EQ(p->Max(), 65535.0);
        break;
      default:
        ADD_FAILURE() << "no parameter control of this class is expected";
    }
  }
}
