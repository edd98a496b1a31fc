#pragma once

#include <atomic>

#include "editor/IContactControl.h"

// A push button for an on/off parameter, lit (its "on" artwork) while the parameter is on and shown
// pressed while held. Each click toggles the parameter.
//
// Two instances with the ids kUnisonOff and kUnisonOn form a radio pair for "Unison Mode": each sets
// the mode its way and is lit while the mode is its way. They learn the mode from the flag the
// editor keeps for them (SetUnisonFlag), which any thread may write.
class ISMButtonKick : public IContactControl {
 public:
  static constexpr int kUnisonOff = -170;
  static constexpr int kUnisonOn = -171;
  static constexpr int kUnisonParameter = 3;

  ISMButtonKick(IPlugBase* plug, int x, int y, int paramIdx, const IImageStrip& offBitmap, const IImageStrip& onBitmap);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;
  void OnMouseUp(int x, int y, const IMouseState& mouse) override;

  void SetUnisonFlag(const std::atomic<bool>* unisonOn) { unisonOn_ = unisonOn; }
  bool Pressed() const { return pressed_; }
  // Whether it shows its "on" artwork.
  bool Lit() const;

 private:
  IImageStrip off_;
  IImageStrip on_;
  bool pressed_ = false;
  const std::atomic<bool>* unisonOn_ = nullptr;
};
