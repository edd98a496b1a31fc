#include "editor/IContactControl.h"

void IContactControl::OnMouseUp(int, int, const IMouseState&) {
  value_ = 0.0;
  MarkDirty(true);
}
