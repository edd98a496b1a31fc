#pragma once

#include "editor/IBitmapControl.h"
#include "editor/IMenuModel.h"

// The number of voices: a read-out showing 1 ... 64 that opens a menu of the seven counts.
class ISMVoicesControl : public IBitmapControl {
 public:
  static constexpr int kParameter = 2;
  static constexpr int kX = 489;
  static constexpr int kY = 704;
  static constexpr int kChoices = 7;

  ISMVoicesControl(IPlugBase* plug, const IImageStrip& bitmap);

  void OnMouseDown(int x, int y, const IMouseState& mouse) override;

  const IMenuModel& Menu() const { return menu_; }

 private:
  IMenuModel menu_;
};
