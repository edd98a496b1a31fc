#include "editor/ISMSourceControl.h"

#include <cmath>

#include "editor/IGraphics.h"

namespace {

constexpr const char* kShortNames[ISMSourceControl::kSources] = {
    "OFF", "ON", "MW", "PB", "Note", "MG1", "MG2", "Vib", "MW+", "PB+", "Note+",
    "Velo", "P-AT", "C-AT", "MG1+", "MG2+", "Vib+", "F-EG", "A-EG", "EG 1", "EG 2"};

constexpr const char* kLongNames[ISMSourceControl::kSources] = {
    "Off", "On", "Modulation Wheel", "Pitch Bend", "Note", "MG 1", "MG 2", "Vibrato",
    "Modulation Wheel (positive)", "Pitch Bend (positive)", "Note (positive)", "Velocity",
    "Poly After Touch", "Channel After Touch", "MG 1 (positive)", "MG 2 (positive)", "Vibrato (positive)",
    "Filter EG", "Amp EG", "Linear EG 1", "Linear EG 2"};

}  // namespace

ISMSourceControl::ISMSourceControl(IPlugBase* plug, int x2, int y2, int paramIdx, bool dimWhenOff)
    : IControl(plug, IBounds(x2 / 2, y2 / 2, (x2 + 64) / 2, (y2 + 24) / 2), paramIdx, IBlendMode::kNone),
      dimWhenOff_(dimWhenOff) {
  text_ = ITextStyle("Verdana", 12, IArgb(192, 255, 128, 0));
  dim_ = ITextStyle("Verdana", 12, IArgb(128, 160, 128, 96));
  for (const char* name : kLongNames) menu_.AddItem(name);
}

const char* ISMSourceControl::ShortName(int source) {
  return source >= 0 && source < kSources ? kShortNames[source] : "";
}

const char* ISMSourceControl::LongName(int source) {
  return source >= 0 && source < kSources ? kLongNames[source] : "";
}

int ISMSourceControl::Source() const {
  // The value follows the parameter's choice 0 ... 20 in twentieths; the choice is the step below
  // or at it, as the parameter truncates.
  const double v = std::trunc(value_ * (kSources - 1) + 1e-9);
  if (!(v >= 0.0)) return 0;
  return v >= kSources - 1 ? kSources - 1 : static_cast<int>(v);
}

bool ISMSourceControl::Draw(IGraphics& graphics) {
  const int v = Source();
  ITextStyle* style = dimWhenOff_ && v == 0 ? &dim_ : &text_;
  return graphics.DrawStyledText(style, ShortName(v), rect_);
}

void ISMSourceControl::OnMouseDown(int x, int y, const IMouseState&) {
  IGraphics* graphics = GetGUI();
  if (graphics == nullptr) return;
  menu_.CheckItemAlone(Source());
  menu_.SetChosenItem(-1);
  IMenuModel* chosen = graphics->ShowPopupMenu(&menu_, IBounds(x, y, x, y));
  if (chosen != &menu_) return;
  const int k = menu_.ChosenItem();
  if (k < 0 || k >= kSources) return;
  SetValueFromUser(static_cast<double>(k) / (kSources - 1));
  MarkDirty(true);
}
