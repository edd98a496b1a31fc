#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/IBounds.h"
#include "render/LICE_Bitmap.h"

// One connection of the editor to the X server (DISPLAY), with what every window of the editor
// shares: the screen, one graphics context, the keyboard map and interned atoms. The editor's
// window, its menus, boxes and choosers all live on it; nothing of it touches the host's own
// connection. Errors of requests arrive as events on this connection or through checked
// requests; no process-wide handler is involved.
//
// Only the user-interface thread uses it.
class XcbDisplay {
 public:
  // Connects to the display DISPLAY names; null when none is named, it cannot be reached, or its
  // screen does not show 24-bit colour in 32-bit pixels.
  static std::shared_ptr<XcbDisplay> Connect();
  ~XcbDisplay();
  XcbDisplay(const XcbDisplay&) = delete;
  XcbDisplay& operator=(const XcbDisplay&) = delete;

  xcb_connection_t* Connection() const { return connection_; }
  const xcb_screen_t* Screen() const { return screen_; }
  xcb_window_t Root() const { return screen_->root; }
  int ScreenWidth() const { return screen_->width_in_pixels; }
  int ScreenHeight() const { return screen_->height_in_pixels; }
  bool Broken() const { return xcb_connection_has_error(connection_) != 0; }
  int FileDescriptor() const { return xcb_get_file_descriptor(connection_); }
  void Flush() { xcb_flush(connection_); }

  // The key symbol of a key code: plain, or as typed with Shift held.
  std::uint32_t KeySym(std::uint8_t keycode, bool shift) const;
  xcb_atom_t Atom(const char* name);

  // Whether window exists (a round trip).
  bool IsWindow(xcb_window_t window);
  // The top-level ancestor of window (the child of the root it lies in); 0 when there is none.
  xcb_window_t TopLevelOf(xcb_window_t window);
  // The root position of window's top-left corner; false when it cannot be told.
  bool RootPosition(xcb_window_t window, int* x, int* y);

  // A window of the root's depth in parent (the root when 0), not yet mapped. An override-redirect
  // window (menus, tooltips) is placed by us alone; a dialog is transient for owner and titled.
  // Answers 0 on failure.
  xcb_window_t CreateWindow(xcb_window_t parent, int x, int y, int width, int height, std::uint32_t eventMask,
                            bool overrideRedirect, xcb_window_t owner = 0, const std::string& title = std::string());

  // Copies rect of bitmap to (dstX, dstY) of window, in pieces no request can exceed.
  void PutImage(xcb_window_t window, const LICE_Bitmap& bitmap, const IBounds& rect, int dstX, int dstY);

 private:
  XcbDisplay() = default;

  xcb_connection_t* connection_ = nullptr;
  const xcb_screen_t* screen_ = nullptr;
  xcb_gcontext_t gc_ = 0;
  std::uint8_t minKeycode_ = 0;
  int keysymsPerKeycode_ = 0;
  std::vector<std::uint32_t> keysyms_;
  std::map<std::string, xcb_atom_t> atoms_;
  std::vector<std::uint32_t> rows_;
};

// Key symbols the editor tells apart.
namespace XcbKey {
constexpr std::uint32_t kBackSpace = 0xff08;
constexpr std::uint32_t kTab = 0xff09;
constexpr std::uint32_t kReturn = 0xff0d;
constexpr std::uint32_t kEscape = 0xff1b;
constexpr std::uint32_t kHome = 0xff50;
constexpr std::uint32_t kLeft = 0xff51;
constexpr std::uint32_t kUp = 0xff52;
constexpr std::uint32_t kRight = 0xff53;
constexpr std::uint32_t kDown = 0xff54;
constexpr std::uint32_t kPageUp = 0xff55;
constexpr std::uint32_t kPageDown = 0xff56;
constexpr std::uint32_t kEnd = 0xff57;
constexpr std::uint32_t kKeypadEnter = 0xff8d;
constexpr std::uint32_t kDelete = 0xffff;
}  // namespace XcbKey
