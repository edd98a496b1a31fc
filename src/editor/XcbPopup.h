#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>

#include "editor/IBounds.h"
#include "editor/XcbDisplay.h"
#include "render/LICE_Bitmap.h"
#include "render/LICE_Draw.h"
#include "render/LICE_Font.h"

// A window the editor draws itself besides its own: a menu, a tooltip, a message box, a chooser.
// It keeps its picture in a bitmap of its size and puts it to the window whenever it is exposed or
// redrawn. The window goes with the object.
class XcbPopup {
 public:
  static constexpr std::uint32_t kInputEvents =
      XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
      XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
      XCB_EVENT_MASK_LEAVE_WINDOW;

  // An override-redirect window at (x, y) of the screen when owner is 0, else a dialog transient for
  // owner. parent 0 means the root.
  XcbPopup(std::shared_ptr<XcbDisplay> display, int x, int y, int width, int height, std::uint32_t eventMask,
           xcb_window_t owner = 0, const std::string& title = std::string(), xcb_window_t parent = 0);
  ~XcbPopup();
  XcbPopup(const XcbPopup&) = delete;
  XcbPopup& operator=(const XcbPopup&) = delete;

  bool IsValid() const { return window_ != 0 && bitmap_.IsValid(); }
  xcb_window_t Window() const { return window_; }
  LICE_Bitmap& Bitmap() { return bitmap_; }
  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  XcbDisplay& Display() { return *display_; }

  void Map();
  // Puts the whole bitmap to the window.
  void Present();
  // Whether the event belongs to this window; an expose is answered here.
  bool Owns(const xcb_generic_event_t* event);

  // Drawing in the editor's own plain look.
  void Fill(const IBounds& r, LICE_pixel colour);
  void Frame(const IBounds& r, LICE_pixel colour);
  void Text(const std::string& text, const IBounds& r, LICE_TextAlign align, LICE_pixel colour, bool bold = false);
  static int TextWidth(const std::string& text, bool bold = false);
  static const LICE_Font* UiFont(bool bold = false);

 private:
  std::shared_ptr<XcbDisplay> display_;
  xcb_window_t window_ = 0;
  int x_ = 0;
  int y_ = 0;
  LICE_Bitmap bitmap_;
};

// Something that holds the user's attention until answered (a menu, a box, a chooser): the
// editor's modal loop hands it every event of the connection first and keeps the editor painted
// until it is done.
class XcbModal {
 public:
  virtual ~XcbModal() = default;
  // Answers whether the event was this modal's (then nobody else sees it).
  virtual bool HandleEvent(const xcb_generic_event_t* event) = 0;
  virtual bool Done() const = 0;
  // Gives up unanswered (the display or the editor went away).
  virtual void Abort() = 0;
  // Repaints own windows for an expose not taken (e.g. behind a nested box); answers whether it was one of them.
  virtual bool Expose(const xcb_generic_event_t* /*event*/) { return false; }
  // A descriptor to wait on besides the display (-1 none) and what to do when it is readable.
  virtual int ExtraDescriptor() const { return -1; }
  virtual void OnExtraReadable() {}
};

// Colours of the drawn menus and boxes.
namespace XcbLook {
constexpr LICE_pixel kFace = LICE_RGBA(236, 236, 236, 255);
constexpr LICE_pixel kBorder = LICE_RGBA(120, 120, 120, 255);
constexpr LICE_pixel kText = LICE_RGBA(20, 20, 20, 255);
constexpr LICE_pixel kGrey = LICE_RGBA(150, 150, 150, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(52, 101, 164, 255);
constexpr LICE_pixel kHighlightText = LICE_RGBA(255, 255, 255, 255);
constexpr LICE_pixel kField = LICE_RGBA(255, 255, 255, 255);
constexpr LICE_pixel kTooltip = LICE_RGBA(255, 255, 225, 255);
}  // namespace XcbLook
