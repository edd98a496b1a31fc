#include "editor/IControl.h"

#include <algorithm>
#include <cmath>

#include "shell/IPlugBase.h"

IControl::IControl(IPlugBase* plug, const IBounds& rect, int paramIdx, int blendMethod)
    : plug_(plug), rect_(rect), targetRect_(rect), paramIdx_(paramIdx), blend_(blendMethod, 1.0f) {}

IControl::~IControl() = default;

void IControl::OnMouseDoubleClick(int, int, const IMouseState&) {
  if (defaultValue_ >= 0.0) {
    value_ = defaultValue_;
    MarkDirty(true);
  }
}

void IControl::SetValueFromPlugin(double value) {
  if (defaultValue_ < 0.0) {
    defaultValue_ = value;
    value_ = value;
  } else if (value_ != value) {
    value_ = value;
    MarkDirty(false);
    redraw_ = true;
  }
}

void IControl::SetValueFromUser(double value) {
  if (value_ != value) {
    value_ = value;
    MarkDirty(true);
    redraw_ = true;
  }
}

void IControl::Hide(bool hidden) {
  hidden_ = hidden;
  redraw_ = true;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) { return targetRect_.Contains(x, y); }

void IControl::MarkDirty(bool push) {
  // A value that is not a number would reach the parameter as one; the low end stands in for it.
  value_ = std::isnan(value_) ? clampLo_ : std::clamp(value_, std::min(clampLo_, clampHi_), clampHi_);
  dirty_ = true;
  if (push && plug_ != nullptr && paramIdx_ >= 0) plug_->SetParameterFromEditor(paramIdx_, value_);
}

void IControl::MarkClean() {
  dirty_ = redraw_;
  redraw_ = false;
}

bool IControl::FindDirtyArea() { return dirty_; }
