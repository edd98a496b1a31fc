#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/XcbPopup.h"

// A message box drawn by the editor: a dialog window transient for the host's top-level window,
// centred over it, with the text (split into lines) and either OK or Yes and No. Enter answers OK
// or Yes, Escape OK or No, Y and N answer Yes and No; closing the box by the window manager
// answers as Escape does.
class XcbMessageBox : public XcbModal {
 public:
  static constexpr int kOk = 1;
  static constexpr int kYes = 6;
  static constexpr int kNo = 7;

  // yesNo: Yes and No buttons, else OK. owner: the window it belongs to (0 for none).
  XcbMessageBox(std::shared_ptr<XcbDisplay> display, const std::string& text, const std::string& caption, bool yesNo,
                xcb_window_t owner);

  bool IsOpen() const { return popup_ != nullptr && popup_->IsValid(); }
  int Answer() const { return answer_; }
  xcb_window_t Window() const { return popup_ != nullptr ? popup_->Window() : 0; }
  // Where a button lies in the box (0: OK or Yes, 1: No).
  IBounds ButtonRect(int button) const;

  bool HandleEvent(const xcb_generic_event_t* event) override;
  bool Done() const override { return answer_ != 0; }
  void Abort() override { answer_ = yesNo_ ? kNo : kOk; }
  bool Expose(const xcb_generic_event_t* event) override { return popup_ != nullptr && popup_->Owns(event); }

 private:
  void Draw();

  std::shared_ptr<XcbDisplay> display_;
  std::unique_ptr<XcbPopup> popup_;
  std::vector<std::string> lines_;
  bool yesNo_ = false;
  int answer_ = 0;
  int pressed_ = -1;
};

// Splits text into lines at its line breaks and where a line would grow wider than width pixels.
std::vector<std::string> WrapText(const std::string& text, int width);
