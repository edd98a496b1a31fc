#include "editor/ITextControl.h"

#include "editor/IGraphics.h"

bool ITextControl::Draw(IGraphics& graphics) {
  if (str_.empty()) return true;
  return graphics.DrawStyledText(&text_, str_.c_str(), rect_);
}
