#include "editor/EditorScreenshot.h"

#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"

namespace EditorScreenshot {

bool Paint(IGraphics& frame) {
  if (frame.DrawBitmap() == nullptr) return false;
  auto* offscreen = dynamic_cast<IGraphicsOffscreen*>(&frame);
  // What shows only in an open window (indicators, the lit paste button) shows here too.
  const bool opened = offscreen != nullptr && !offscreen->IsWindowOpen();
  if (opened) {
    offscreen->AllowVirtualWindow(true);
    offscreen->OpenWindow(nullptr);
  }
  frame.MarkAllControlsDirty();
  frame.Draw(IBounds(0, 0, frame.Width(), frame.Height()));
  if (opened) {
    offscreen->CloseWindow();
    offscreen->AllowVirtualWindow(false);
  }
  return true;
}

bool Write(IGraphics& frame, const std::string& path, std::string* error) {
  if (!Paint(frame)) {
    if (error != nullptr) *error = "the editor has no drawing surface";
    return false;
  }
  if (!frame.WriteScreenshot(path)) {
    if (error != nullptr) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace EditorScreenshot
