#include "editor/XcbDisplay.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
struct FreeReply {
  void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply<T>>;

}  // namespace

std::shared_ptr<XcbDisplay> XcbDisplay::Connect() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || name[0] == '\0') return nullptr;
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(name, &screenNumber);
  if (c == nullptr) return nullptr;
  if (xcb_connection_has_error(c) != 0) {
    xcb_disconnect(c);
    return nullptr;
  }
  std::shared_ptr<XcbDisplay> display(new XcbDisplay());
  display->connection_ = c;
  const xcb_setup_t* setup = xcb_get_setup(c);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
  if (it.rem == 0) return nullptr;
  display->screen_ = it.data;
  // The surface's pixels go out as they are: 24-bit colour in 32-bit little-endian words.
  bool usable = display->screen_->root_depth == 24 && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  bool pixels32 = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
    if (f.data->depth == 24 && f.data->bits_per_pixel == 32) pixels32 = true;
  }
  if (!usable || !pixels32) return nullptr;

  display->gc_ = xcb_generate_id(c);
  const std::uint32_t gcValues[] = {0};
  xcb_create_gc(c, display->gc_, display->screen_->root, XCB_GC_GRAPHICS_EXPOSURES, gcValues);

  const std::uint8_t first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  Reply<xcb_get_keyboard_mapping_reply_t> map(
      xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, static_cast<std::uint8_t>(count)), nullptr));
  if (map != nullptr) {
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int n = xcb_get_keyboard_mapping_keysyms_length(map.get());
    display->keysyms_.assign(syms, syms + n);
    display->keysymsPerKeycode_ = map->keysyms_per_keycode;
    display->minKeycode_ = first;
  }
  if (xcb_connection_has_error(c) != 0) return nullptr;
  return display;
}

XcbDisplay::~XcbDisplay() {
  if (connection_ != nullptr) {
    if (gc_ != 0 && xcb_connection_has_error(connection_) == 0) xcb_free_gc(connection_, gc_);
    xcb_disconnect(connection_);
  }
}

std::uint32_t XcbDisplay::KeySym(std::uint8_t keycode, bool shift) const {
  if (keysymsPerKeycode_ <= 0 || keycode < minKeycode_) return 0;
  const std::size_t base = static_cast<std::size_t>(keycode - minKeycode_) * static_cast<std::size_t>(keysymsPerKeycode_);
  if (base >= keysyms_.size()) return 0;
  std::uint32_t plain = keysyms_[base];
  std::uint32_t shifted = keysymsPerKeycode_ > 1 && base + 1 < keysyms_.size() ? keysyms_[base + 1] : 0;
  // A key with one symbol for a letter has its capital as the shifted one.
  if (shifted == 0) {
    shifted = plain >= 'a' && plain <= 'z' ? plain - 32 : plain;
  }
  return shift ? shifted : plain;
}

xcb_atom_t XcbDisplay::Atom(const char* name) {
  const auto found = atoms_.find(name);
  if (found != atoms_.end()) return found->second;
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  atoms_[name] = atom;
  return atom;
}

bool XcbDisplay::IsWindow(xcb_window_t window) {
  if (window == 0) return false;
  Reply<xcb_get_window_attributes_reply_t> reply(
      xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr));
  return reply != nullptr;
}

xcb_window_t XcbDisplay::TopLevelOf(xcb_window_t window) {
  // Bounded: a tree deeper than this is not one a host builds.
  for (int depth = 0; depth < 64 && window != 0; ++depth) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (tree == nullptr) return 0;
    if (tree->parent == tree->root || tree->parent == 0) return window;
    window = tree->parent;
  }
  return 0;
}

bool XcbDisplay::RootPosition(xcb_window_t window, int* x, int* y) {
  Reply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, window, Root(), 0, 0), nullptr));
  if (reply == nullptr) return false;
  *x = reply->dst_x;
  *y = reply->dst_y;
  return true;
}

xcb_window_t XcbDisplay::CreateWindow(xcb_window_t parent, int x, int y, int width, int height,
                                      std::uint32_t eventMask, bool overrideRedirect, xcb_window_t owner,
                                      const std::string& title) {
  const xcb_window_t window = xcb_generate_id(connection_);
  // No background: every pixel is ours to put, and nothing flashes before it is.
  const std::uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, overrideRedirect ? 1u : 0u, eventMask};
  xcb_void_cookie_t cookie = xcb_create_window_checked(
      connection_, XCB_COPY_FROM_PARENT, window, parent != 0 ? parent : Root(), static_cast<std::int16_t>(x),
      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(std::max(width, 1)),
      static_cast<std::uint16_t>(std::max(height, 1)), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, mask,
      values);
  if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
    std::free(error);
    return 0;
  }
  if (!title.empty()) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
  }
  if (owner != 0) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                        &owner);
    const xcb_atom_t type = Atom("_NET_WM_WINDOW_TYPE_DIALOG");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                        &type);
    const xcb_atom_t state = Atom("_NET_WM_STATE_MODAL");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1,
                        &state);
    const xcb_atom_t protocols = Atom("WM_DELETE_WINDOW");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1,
                        &protocols);
  }
  return window;
}

void XcbDisplay::PutImage(xcb_window_t window, const LICE_Bitmap& bitmap, const IBounds& rect, int dstX, int dstY) {
  const IBounds r = rect.Intersect(IBounds(0, 0, bitmap.Width(), bitmap.Height()));
  if (r.Empty() || r.W() <= 0 || r.H() <= 0 || !bitmap.IsValid()) return;
  cairo_surface_flush(bitmap.Surface());
  // Room for the request header besides the pixels.
  const std::size_t maxBytes = static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 64;
  const std::size_t rowBytes = static_cast<std::size_t>(r.W()) * 4;
  const int rowsPerPiece = static_cast<int>(std::max<std::size_t>(1, maxBytes / rowBytes));
  const bool wholeRows = r.L == 0 && r.W() == bitmap.Width() && bitmap.RowSpan() == r.W() * 4;
  for (int y = r.T; y < r.B; y += rowsPerPiece) {
    const int rows = std::min(rowsPerPiece, r.B - y);
    const std::uint8_t* data = nullptr;
    if (wholeRows) {
      data = reinterpret_cast<const std::uint8_t*>(bitmap.Row(y));
    } else {
      rows_.resize(static_cast<std::size_t>(r.W()) * static_cast<std::size_t>(rows));
      for (int i = 0; i < rows; ++i) {
        std::memcpy(&rows_[static_cast<std::size_t>(i) * static_cast<std::size_t>(r.W())], bitmap.Row(y + i) + r.L, rowBytes);
      }
      data = reinterpret_cast<const std::uint8_t*>(rows_.data());
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc_, static_cast<std::uint16_t>(r.W()),
                  static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(dstX + (r.L - rect.L)),
                  static_cast<std::int16_t>(dstY + (y - rect.T)), 0, 24,
                  static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)), data);
  }
}
