#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/XcbDisplay.h"
#include "editor/XcbPopup.h"
#include "editor/XcbTextEntry.h"

// The editor's frame on X11: a child window of the host's window with a connection of its own
// (XCB), the drawing surface put to it with PutImage, and the services drawn by the editor itself
// (menus, message boxes, the text-entry box, tooltips, a file chooser where the desktop has none).
//
// The host's user-interface thread does everything, from effEditIdle: the window's events are
// taken from the connection there and the 25 Hz tick runs there; no thread of ours touches the
// window. Message boxes, menus and choosers are modal: they run a loop of their own on that thread
// which keeps the editor painted and ticking behind them.
//
// Mouse: buttons 1 to 3 press and release, 4 and 5 are wheel notches; a press holds the pointer
// (a grab) until the buttons are up, so that a drag outside the window keeps feeding the control;
// a second left press within 400 ms and 4 pixels of the first is a double click. Keys the editor
// does not take are sent on to the host's top-level window unchanged.
class IGraphicsX11 : public IGraphics {
 public:
  static constexpr unsigned kDoubleClickMs = 400;
  static constexpr int kDoubleClickDistance = 4;
  static constexpr int kHoverMs = 500;
  // At most this many characters leave a text-entry box.
  static constexpr int kMaxEnteredText = 31;

  IGraphicsX11(IPlugBase* plug, int width, int height, int fps);
  ~IGraphicsX11() override;

  bool CanOpenWindow() const override { return true; }
  bool PresentRect(const IBounds& rect) override;
  int ShowMessage(const char* text, const char* caption, int kind) override;
  IMenuModel* ShowPopupMenu(IMenuModel* menu, const IBounds& rect) override;
  void OpenTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect, const char* initialText) override;
  // parent: the host's X11 window id.
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* GetWindowHandle() override;
  void Idle() override;

  // ---- What tests and benchmarks look at. ----
  std::uint32_t WindowId() const { return window_; }
  bool TextEntryOpen() const { return entry_ != nullptr; }
  bool TooltipShown() const { return tooltip_ != nullptr; }
  // The window of the menu, box or chooser being shown, 0 for none; any thread may ask.
  std::uint32_t ModalWindow() const { return modalWindow_.load(); }
  // Waits until the server has carried out everything sent so far (a round trip).
  void Sync();
  // Whether the desktop's file choosers (zenity, kdialog) are tried before the drawn one.
  static void AllowDesktopChoosers(bool allowed);

 protected:
  bool LaunchWebPage(const char* url) override;
  bool ChooseFile(const IFileRequest& request, std::string* chosen) override;

 private:
  enum class EditState { kNone, kEditing, kUpdate, kCancel, kCommit };
  using Clock = std::chrono::steady_clock;

  void ProcessEvents();
  void HandleEvent(const xcb_generic_event_t* event);
  void HandleEntryEvent(const xcb_generic_event_t* event);
  void HandleButton(const xcb_button_press_event_t* e, bool press);
  void HandleMotion(const xcb_motion_notify_event_t* e);
  void HandleKey(const xcb_key_press_event_t* e, bool press);
  bool TickDue() const;
  void Tick();
  void PresentExposed();
  void RunModal(XcbModal& modal, const std::shared_ptr<XcbDisplay>& display, xcb_window_t window);
  void ReleasePointer();
  void CloseTextEntry(bool commit);
  void ShowTooltip();
  void HideTooltip();
  // Forgets everything of a window that is gone already (destroyed with its parent, display lost).
  void Forget();
  // Answers whether a desktop chooser answered (chose or was cancelled).
  bool DesktopChooser(const IFileRequest& request, std::string* chosen, bool* answered);

  std::shared_ptr<XcbDisplay> display_;
  xcb_window_t window_ = 0;
  xcb_window_t topLevel_ = 0;
  int windowX_ = 0;
  int windowY_ = 0;
  Clock::time_point lastTick_{};
  bool tickNow_ = false;
  IBounds exposed_;

  bool grabbed_ = false;
  std::uint32_t lastPressTime_ = 0;
  int lastPressX_ = -100;
  int lastPressY_ = -100;
  bool lastPressWasDouble_ = false;
  bool havePress_ = false;

  std::unique_ptr<XcbTextEntry> entry_;
  IControl* entryControl_ = nullptr;
  EditState editState_ = EditState::kNone;

  std::unique_ptr<XcbPopup> tooltip_;
  int tooltipIndex_ = -1;
  bool hoverPending_ = false;
  Clock::time_point hoverSince_{};
  int pointerRootX_ = 0;
  int pointerRootY_ = 0;

  std::vector<XcbModal*> modals_;
  std::atomic<std::uint32_t> modalWindow_{0};
};
