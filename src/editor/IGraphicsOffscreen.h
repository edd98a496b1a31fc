#pragma once

#include <optional>
#include <string>

#include "editor/IGraphics.h"
#include "editor/IGraphicsResponder.h"

// A frame without a display: it draws on its surface like any frame, presents into nothing (it
// only remembers what was presented), and asks its responder whatever a window would ask the user.
// Tests drive it through the frame's entry points and Tick; the render tool's screenshots use it.
//
// It has no window of its own, so hosts are not told of an editor and effEditOpen fails, unless a
// test allows a virtual window (AllowVirtualWindow): then opening succeeds without a display and
// behaves as an open window does (every control dirty, file choosers available).
class IGraphicsOffscreen : public IGraphics {
 public:
  IGraphicsOffscreen(IPlugBase* plug, int width, int height, int fps);
  ~IGraphicsOffscreen() override;

  // The responder answering questions (not owned); null restores the default one.
  void SetResponder(IGraphicsResponder* responder) { responder_ = responder != nullptr ? responder : &standard_; }
  void AllowVirtualWindow(bool allow) { virtualWindowAllowed_ = allow; }

  // One timer tick of a window: a finished text entry is delivered (committed text to its control)
  // and closed, and nothing else happens in that tick; otherwise the dirty area is drawn. Answers
  // whether it drew.
  bool Tick();

  bool TextEntryOpen() const { return entryControl_ != nullptr; }
  int PresentCount() const { return presentCount_; }
  // The union of the rects presented since the last ForgetPresented.
  const IBounds& PresentedArea() const { return presented_; }
  void ForgetPresented() {
    presentCount_ = 0;
    presented_ = IBounds();
  }

  bool CanOpenWindow() const override { return false; }
  bool PresentRect(const IBounds& rect) override;
  int ShowMessage(const char* text, const char* caption, int kind) override;
  IMenuModel* ShowPopupMenu(IMenuModel* menu, const IBounds& rect) override;
  void OpenTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect, const char* initialText) override;
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* GetWindowHandle() override { return window_; }

 protected:
  bool LaunchWebPage(const char* url) override;
  bool ChooseFile(const IFileRequest& request, std::string* chosen) override;

 private:
  IGraphicsResponder standard_;
  IGraphicsResponder* responder_ = &standard_;
  bool virtualWindowAllowed_ = false;
  void* window_ = nullptr;
  char windowToken_ = 0;
  int presentCount_ = 0;
  IBounds presented_;
  IControl* entryControl_ = nullptr;
  std::optional<std::string> entryAnswer_;
};
