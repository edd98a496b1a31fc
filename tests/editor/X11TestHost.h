#pragma once

// A host's side of the X server, as the editor tests play it: a connection of its own to the
// display the test script provides (DISPLAY; nothing is started here), a top-level window the
// editor is opened in, input injected through the XTest extension, pixels read back, and the
// key events the editor hands back to the host collected.

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class X11TestHost {
 public:
  // Null when no display is reachable (the tests then skip).
  static std::unique_ptr<X11TestHost> Open(int x = 0, int y = 0, int width = 1200, int height = 900) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') return nullptr;
    // A server that lost its last client resets for a moment before it takes new ones.
    xcb_connection_t* c = nullptr;
    for (int attempt = 0; attempt < 40; ++attempt) {
      c = xcb_connect(name, nullptr);
      if (xcb_connection_has_error(c) == 0) break;
      xcb_disconnect(c);
      c = nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (c == nullptr) return nullptr;
    std::unique_ptr<X11TestHost> host(new X11TestHost());
    host->c_ = c;
    host->screen_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    host->window_ = xcb_generate_id(c);
    const std::uint32_t values[] = {host->screen_->black_pixel,
                                    XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, host->window_, host->screen_->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      host->screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c, host->window_);
    host->Sync();
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr);
    if (map != nullptr) {
      const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
      host->keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map));
      host->perKeycode_ = map->keysyms_per_keycode;
      host->minKeycode_ = setup->min_keycode;
      std::free(map);
    }
    return host;
  }

  ~X11TestHost() {
    xcb_destroy_window(c_, window_);
    xcb_disconnect(c_);
  }

  xcb_connection_t* Connection() const { return c_; }
  xcb_window_t Window() const { return window_; }
  xcb_window_t Root() const { return screen_->root; }
  void* ParentHandle() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }

  // A round trip: everything sent before has been carried out.
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

  bool IsWindow(xcb_window_t w) {
    auto* reply = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
    std::free(reply);
    return reply != nullptr;
  }
  xcb_window_t ParentOf(xcb_window_t w) {
    auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
    const xcb_window_t parent = tree != nullptr ? tree->parent : 0;
    std::free(tree);
    return parent;
  }
  // x, y (root), width, height of a window.
  std::vector<int> Geometry(xcb_window_t w) {
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
    auto* t = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, Root(), 0, 0), nullptr);
    std::vector<int> out;
    if (g != nullptr && t != nullptr) out = {t->dst_x, t->dst_y, g->width, g->height};
    std::free(g);
    std::free(t);
    return out;
  }
  // Waits until window w is shown and, unless it places itself (a menu, which grabs the keyboard
  // instead), has the keyboard focus.
  void WaitUntilReady(xcb_window_t w, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
      const bool shown = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
      const bool placesItself = a != nullptr && a->override_redirect != 0;
      std::free(a);
      auto* f = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
      const bool focused = f != nullptr && f->focus == w;
      std::free(f);
      if (shown && (placesItself || focused)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  xcb_window_t TransientFor(xcb_window_t w) {
    auto* p = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t owner = 0;
    if (p != nullptr && xcb_get_property_value_length(p) == 4) owner = *static_cast<xcb_window_t*>(xcb_get_property_value(p));
    std::free(p);
    return owner;
  }
  void MoveWindow(int x, int y) {
    const std::uint32_t v[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, v);
    Sync();
  }

  // The pixel at (x, y) of a window as the screen shows it (0xRRGGBB).
  std::uint32_t PixelAt(xcb_window_t w, int x, int y) {
    auto* image = xcb_get_image_reply(
        c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 1, 1, ~0u),
        nullptr);
    std::uint32_t pixel = 0xFFFFFFFFu;
    if (image != nullptr && xcb_get_image_data_length(image) >= 4) {
      const std::uint8_t* d = xcb_get_image_data(image);
      pixel = (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[1]) << 8) | d[0];
    }
    std::free(image);
    return pixel;
  }

  // ---- Input (root coordinates). ----
  void MoveTo(int x, int y) {
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, Root(), static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
    Sync();
  }
  void Button(int button, bool press) {
    xcb_test_fake_input(c_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    Sync();
  }
  void Click(int x, int y, int button = 1) {
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
  }
  std::uint8_t KeycodeOf(std::uint32_t sym) const {
    for (std::size_t i = 0; perKeycode_ > 0 && i < keysyms_.size(); i += static_cast<std::size_t>(perKeycode_)) {
      if (keysyms_[i] == sym) return static_cast<std::uint8_t>(minKeycode_ + i / static_cast<std::size_t>(perKeycode_));
    }
    return 0;
  }
  void Key(std::uint32_t sym) {
    const std::uint8_t code = KeycodeOf(sym);
    xcb_test_fake_input(c_, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    Sync();
  }
  void Type(const std::string& text) {
    for (char ch : text) Key(static_cast<unsigned char>(ch));
  }

  // Key events the host's window received that were sent by a client (the editor): "press <code>"
  // and "release <code>".
  std::vector<std::string> ForwardedKeys() {
    Sync();
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
      const int type = e->response_type & 0x7f;
      if ((type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) && (e->response_type & 0x80) != 0) {
        const auto* k = reinterpret_cast<const xcb_key_press_event_t*>(e);
        forwarded_.push_back(std::string(type == XCB_KEY_PRESS ? "press " : "release ") + std::to_string(k->detail));
      }
      std::free(e);
    }
    return forwarded_;
  }

 private:
  X11TestHost() = default;

  xcb_connection_t* c_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t window_ = 0;
  std::vector<std::uint32_t> keysyms_;
  int perKeycode_ = 0;
  std::uint8_t minKeycode_ = 0;
  std::vector<std::string> forwarded_;
};

// Calls step until done answers true or the time is up; answers done's last answer.
inline bool Until(const std::function<void()>& step, const std::function<bool()>& done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    step();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  step();
  return done();
}
