#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/XcbPopup.h"

// The file chooser the editor draws itself where the desktop offers none: a dialog transient for
// the host's window with the folder, its subfolders and the files the request's patterns let
// through (folders first, both sorted), a name field and Cancel and Open (or Save) buttons.
//
// A click selects (a file's name goes into the field), a double click enters a folder or chooses a
// file, the wheel and Up/Down scroll and move the selection, typing edits the name, Backspace
// deletes, Enter chooses the name (or enters it when it names a folder), Escape cancels.
class XcbFileChooser : public XcbModal {
 public:
  enum class State { kOpen, kChosen, kCancelled };

  XcbFileChooser(std::shared_ptr<XcbDisplay> display, const IFileRequest& request, xcb_window_t owner);

  bool IsOpen() const { return popup_ != nullptr && popup_->IsValid(); }
  State Result() const { return state_; }
  // The full path chosen.
  const std::string& Chosen() const { return chosen_; }
  const std::string& Folder() const { return folder_; }
  xcb_window_t Window() const { return popup_ != nullptr ? popup_->Window() : 0; }
  // The names listed ("name/" for a folder), for tests.
  std::vector<std::string> Listed() const;
  // Whether a saved name would replace an existing file: the frame then asks; the answer goes to Confirm.
  bool WantsConfirmation() const { return confirming_; }
  void Confirm(bool replace);

  bool HandleEvent(const xcb_generic_event_t* event) override;
  bool Done() const override { return state_ != State::kOpen || confirming_; }
  void Abort() override { state_ = State::kCancelled; }
  bool Expose(const xcb_generic_event_t* event) override { return popup_ != nullptr && popup_->Owns(event); }

  // Whether name passes one of the patterns ("*.fxp" ignoring case; "*." for names without an
  // extension; no patterns pass everything).
  static bool Matches(const std::vector<std::string>& patterns, const std::string& name);

 private:
  struct Entry {
    std::string name;
    bool folder = false;
  };

  void ReadFolder(const std::string& folder);
  void Accept();
  void Draw();
  int RowAt(int x, int y) const;
  void Select(int index);

  std::shared_ptr<XcbDisplay> display_;
  std::unique_ptr<XcbPopup> popup_;
  IFileRequest request_;
  std::string folder_;
  std::string name_;
  std::vector<Entry> entries_;
  int selected_ = -1;
  int scroll_ = 0;
  State state_ = State::kOpen;
  std::string chosen_;
  bool confirming_ = false;
  unsigned lastClickTime_ = 0;
  int lastClickRow_ = -1;
  int pressedButton_ = -1;
};
