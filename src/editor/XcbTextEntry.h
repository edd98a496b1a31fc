#pragma once

#include <memory>
#include <string>

#include "editor/ITextStyle.h"
#include "editor/XcbPopup.h"

// The one-line text-entry box of the editor: a child window over a control, in the control's entry
// colours and font, holding at most a given number of characters. The text starts out selected
// whole, so that typing replaces it. It edits; what Enter, Escape and losing the focus mean is the
// frame's business (Key answers them).
class XcbTextEntry {
 public:
  enum class KeyResult { kEdited, kCommit, kCancel, kIgnored };

  XcbTextEntry(std::shared_ptr<XcbDisplay> display, xcb_window_t parent, const IBounds& rect, const ITextStyle& style,
               const std::string& initialText, int maxLength);

  bool IsValid() const { return popup_ != nullptr && popup_->IsValid(); }
  xcb_window_t Window() const { return popup_ != nullptr ? popup_->Window() : 0; }
  const std::string& Text() const { return text_; }
  XcbPopup& Popup() { return *popup_; }

  void Focus();
  // A key pressed in the box.
  KeyResult Key(const xcb_key_press_event_t* event);
  // Types text at the caret (replacing a selection), as far as the length allows.
  void Type(const std::string& text);

 private:
  void Draw();

  std::shared_ptr<XcbDisplay> display_;
  std::unique_ptr<XcbPopup> popup_;
  ITextStyle style_;
  std::string text_;
  std::size_t caret_ = 0;
  bool allSelected_ = true;
  std::size_t maxLength_ = 0;
};
