#pragma once

#include <string>

#include "update/UpdatePrompts.h"

class IGraphics;

// The update check's questions and messages shown by the editor's frame. The check's error (16)
// and information (64) types reach the frame as they are: every kind but Yes/No shows as a box
// with an OK button.
class FrameUpdatePrompts : public UpdatePrompts {
 public:
  explicit FrameUpdatePrompts(IGraphics& graphics) : graphics_(graphics) {}

  int ShowMessage(const std::string& text, const std::string& caption, int type) override;
  bool OpenWebPage(const std::string& url, const std::string& title, const std::string& confirmation,
                   const std::string& failureText) override;

 private:
  IGraphics& graphics_;
};
