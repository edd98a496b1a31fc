#include "editor/XcbPopup.h"

#include <algorithm>

#include "render/LICE_FontCache.h"

XcbPopup::XcbPopup(std::shared_ptr<XcbDisplay> display, int x, int y, int width, int height, std::uint32_t eventMask,
                   xcb_window_t owner, const std::string& title, xcb_window_t parent)
    : display_(std::move(display)), x_(x), y_(y), bitmap_(std::max(width, 1), std::max(height, 1)) {
  if (display_ == nullptr || !bitmap_.IsValid()) return;
  window_ = display_->CreateWindow(parent, x, y, width, height, eventMask, owner == 0 && parent == 0, owner, title);
  if (window_ != 0) Fill(IBounds(0, 0, width, height), XcbLook::kFace);
}

XcbPopup::~XcbPopup() {
  if (window_ != 0 && !display_->Broken()) {
    xcb_destroy_window(display_->Connection(), window_);
    display_->Flush();
  }
}

void XcbPopup::Map() {
  if (window_ == 0) return;
  xcb_map_window(display_->Connection(), window_);
  Present();
}

void XcbPopup::Present() {
  if (window_ == 0) return;
  display_->PutImage(window_, bitmap_, IBounds(0, 0, Width(), Height()), 0, 0);
  display_->Flush();
}

bool XcbPopup::Owns(const xcb_generic_event_t* event) {
  if (window_ == 0) return false;
  switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
      const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event);
      if (e->window != window_) return false;
      if (e->count == 0) Present();
      return true;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
      return reinterpret_cast<const xcb_button_press_event_t*>(event)->event == window_;
    case XCB_MOTION_NOTIFY:
      return reinterpret_cast<const xcb_motion_notify_event_t*>(event)->event == window_;
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
      return reinterpret_cast<const xcb_key_press_event_t*>(event)->event == window_;
    case XCB_CLIENT_MESSAGE:
      return reinterpret_cast<const xcb_client_message_event_t*>(event)->window == window_;
    case XCB_MAP_NOTIFY:
      return reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == window_;
    case XCB_LEAVE_NOTIFY:
    case XCB_ENTER_NOTIFY:
      return reinterpret_cast<const xcb_enter_notify_event_t*>(event)->event == window_;
    default:
      return false;
  }
}

void XcbPopup::Fill(const IBounds& r, LICE_pixel colour) { LICE_FillRect(bitmap_, r.L, r.T, r.W(), r.H(), colour, 1.0f); }

void XcbPopup::Frame(const IBounds& r, LICE_pixel colour) {
  LICE_FillRect(bitmap_, r.L, r.T, r.W(), 1, colour, 1.0f);
  LICE_FillRect(bitmap_, r.L, r.B - 1, r.W(), 1, colour, 1.0f);
  LICE_FillRect(bitmap_, r.L, r.T, 1, r.H(), colour, 1.0f);
  LICE_FillRect(bitmap_, r.R - 1, r.T, 1, r.H(), colour, 1.0f);
}

const LICE_Font* XcbPopup::UiFont(bool bold) {
  LICE_FontDescription d;
  d.height = 15;
  d.weight = bold ? 700 : 400;
  d.face = "DejaVu Sans";
  return LICE_FontCache::Instance().Get(d);
}

void XcbPopup::Text(const std::string& text, const IBounds& r, LICE_TextAlign align, LICE_pixel colour, bool bold) {
  const LICE_Font* font = UiFont(bold);
  if (font == nullptr || text.empty()) return;
  // Centred vertically in r.
  const int top = r.T + std::max(0, (r.H() - font->CellHeight()) / 2);
  bitmap_.SetClip(r.L, r.T, r.R, r.B);
  font->DrawText(bitmap_, text, r.L, top, r.R, r.B, align, colour);
  bitmap_.ClearClip();
}

int XcbPopup::TextWidth(const std::string& text, bool bold) {
  const LICE_Font* font = UiFont(bold);
  return font != nullptr ? font->TextWidth(text) : static_cast<int>(text.size()) * 8;
}
