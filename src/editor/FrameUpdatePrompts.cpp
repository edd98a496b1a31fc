#include "editor/FrameUpdatePrompts.h"

#include "editor/IGraphics.h"

int FrameUpdatePrompts::ShowMessage(const std::string& text, const std::string& caption, int type) {
  return graphics_.ShowMessage(text.c_str(), caption.c_str(), type);
}

bool FrameUpdatePrompts::OpenWebPage(const std::string& url, const std::string& title,
                                     const std::string& confirmation, const std::string& failureText) {
  return graphics_.OpenWebPage(url.c_str(), title.c_str(), confirmation.c_str(), failureText.c_str());
}
