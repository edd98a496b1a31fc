#include "editor/ISMButtonKick.h"

#include "editor/IGraphics.h"
#include "shell/IPlugBase.h"

ISMButtonKick::ISMButtonKick(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& offBitmap,
                             const IImageStrip& onBitmap)
    : IContactControl(plug, x, y, paramIdx, offBitmap), off_(offBitmap), on_(onBitmap) {}

bool ISMButtonKick::Lit() const {
  if (paramIdx_ == kUnisonOff || paramIdx_ == kUnisonOn) {
    const bool unison = unisonOn_ != nullptr && unisonOn_->load(std::memory_order_acquire);
    return paramIdx_ == kUnisonOn ? unison : !unison;
  }
  // The value follows the parameter (0 off, 1 on) on this thread.
  return value_ >= 0.5;
}

bool ISMButtonKick::Draw(IGraphics& graphics) {
  return graphics.BlitBitmap(Lit() ? on_ : off_, rect_, pressed_ ? 2 : 1, &blend_);
}

void ISMButtonKick::OnMouseDown(int x, int y, const IMouseState& mouse) {
  pressed_ = true;
  ISwitchControl::OnMouseDown(x, y, mouse);
}

void ISMButtonKick::OnMouseUp(int, int, const IMouseState&) {
  pressed_ = false;
  if (plug_ != nullptr) {
    if (paramIdx_ == kUnisonOff) {
      plug_->SetParameterFromEditor(kUnisonParameter, 0.0);
    } else if (paramIdx_ == kUnisonOn) {
      plug_->SetParameterFromEditor(kUnisonParameter, 1.0);
    } else if (const Parameter* p = plug_->GetParam(paramIdx_)) {
      // Read and set under one lock, so that no other change slips in between.
      PluginLock lock(plug_->PluginMutex());
      plug_->SetParameterFromEditor(paramIdx_, p->Value() >= 0.5 ? 0.0 : 1.0);
    }
  }
  // The press's value again: the parameter ends toggled.
  MarkDirty(true);
}
