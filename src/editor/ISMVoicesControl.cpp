#include "editor/ISMVoicesControl.h"

#include <cmath>

#include "editor/IGraphics.h"

ISMVoicesControl::ISMVoicesControl(IPlugBase* plug, const IImageStrip& bitmap)
    : IBitmapControl(plug, kX, kY, kParameter, bitmap, IBlendMode::kNone) {
  for (const char* count : {"1", "2", "4", "8", "16", "32", "64"}) menu_.AddItem(count);
}

void ISMVoicesControl::OnMouseDown(int x, int y, const IMouseState&) {
  IGraphics* graphics = GetGUI();
  if (graphics == nullptr) return;
  // The value follows the parameter's choice 0 ... 6 in sixths.
  menu_.CheckItemAlone(static_cast<int>(std::lround(value_ * (kChoices - 1))));
  menu_.SetChosenItem(-1);
  IMenuModel* chosen = graphics->ShowPopupMenu(&menu_, IBounds(x, y, x, y));
  if (chosen != &menu_) return;
  const int k = menu_.ChosenItem();
  if (k < 0 || k >= kChoices) return;
  SetValueFromUser(static_cast<double>(k) / (kChoices - 1));
  MarkDirty(false);
}
