#include "editor/XcbMessageBox.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMargin = 18;
constexpr int kLineHeight = 19;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 28;
constexpr int kMaxTextWidth = 460;

}  // namespace

std::vector<std::string> WrapText(const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string paragraph;
  auto flush = [&](const std::string& p) {
    std::string line;
    std::size_t i = 0;
    while (i <= p.size()) {
      std::size_t end = p.find(' ', i);
      if (end == std::string::npos) end = p.size();
      const std::string word = p.substr(i, end - i);
      const std::string candidate = line.empty() ? word : line + " " + word;
      if (!line.empty() && XcbPopup::TextWidth(candidate) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      i = end + 1;
    }
    lines.push_back(line);
  };
  std::size_t start = 0;
  while (true) {
    const std::size_t nl = text.find('\n', start);
    std::string part = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!part.empty() && part.back() == '\r') part.pop_back();
    flush(part);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

XcbMessageBox::XcbMessageBox(std::shared_ptr<XcbDisplay> display, const std::string& text, const std::string& caption,
                             bool yesNo, xcb_window_t owner)
    : display_(std::move(display)), yesNo_(yesNo) {
  if (display_ == nullptr) return;
  lines_ = WrapText(text, kMaxTextWidth);
  int textWidth = 0;
  for (const auto& l : lines_) textWidth = std::max(textWidth, XcbPopup::TextWidth(l));
  const int width = std::max({textWidth + 2 * kMargin, (yesNo ? 2 : 1) * (kButtonWidth + 12) + 2 * kMargin, 260});
  const int height = kMargin + static_cast<int>(lines_.size()) * kLineHeight + kMargin + kButtonHeight + kMargin;
  // Centred over the owner, else over the screen.
  int ox = 0, oy = 0, ow = display_->ScreenWidth(), oh = display_->ScreenHeight();
  if (owner != 0) {
    auto* geometry = xcb_get_geometry_reply(display_->Connection(), xcb_get_geometry(display_->Connection(), owner), nullptr);
    int rx = 0, ry = 0;
    if (geometry != nullptr && display_->RootPosition(owner, &rx, &ry)) {
      ox = rx;
      oy = ry;
      ow = geometry->width;
      oh = geometry->height;
    }
    std::free(geometry);
  }
  const int x = std::clamp(ox + (ow - width) / 2, 0, std::max(0, display_->ScreenWidth() - width));
  const int y = std::clamp(oy + (oh - height) / 2, 0, std::max(0, display_->ScreenHeight() - height));
  popup_ = std::make_unique<XcbPopup>(display_, x, y, width, height, XcbPopup::kInputEvents,
                                      owner != 0 ? owner : display_->Root(), caption);
  if (!popup_->IsValid()) {
    popup_.reset();
    return;
  }
  Draw();
  popup_->Map();
}

IBounds XcbMessageBox::ButtonRect(int button) const {
  if (popup_ == nullptr) return IBounds();
  const int w = popup_->Width();
  const int h = popup_->Height();
  const int top = h - kMargin - kButtonHeight;
  if (!yesNo_) return IBounds((w - kButtonWidth) / 2, top, (w + kButtonWidth) / 2, top + kButtonHeight);
  const int left = (w - 2 * kButtonWidth - 12) / 2 + button * (kButtonWidth + 12);
  return IBounds(left, top, left + kButtonWidth, top + kButtonHeight);
}

void XcbMessageBox::Draw() {
  XcbPopup& p = *popup_;
  p.Fill(IBounds(0, 0, p.Width(), p.Height()), XcbLook::kFace);
  p.Frame(IBounds(0, 0, p.Width(), p.Height()), XcbLook::kBorder);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const int top = kMargin + static_cast<int>(i) * kLineHeight;
    p.Text(lines_[i], IBounds(kMargin, top, p.Width() - kMargin, top + kLineHeight), LICE_TextAlign::kLeft, XcbLook::kText);
  }
  const char* labels[2] = {yesNo_ ? "Yes" : "OK", "No"};
  for (int b = 0; b < (yesNo_ ? 2 : 1); ++b) {
    const IBounds r = ButtonRect(b);
    p.Fill(r, b == pressed_ ? XcbLook::kHighlight : XcbLook::kField);
    p.Frame(r, XcbLook::kBorder);
    p.Text(labels[b], r, LICE_TextAlign::kCentre, b == pressed_ ? XcbLook::kHighlightText : XcbLook::kText);
  }
}

bool XcbMessageBox::HandleEvent(const xcb_generic_event_t* event) {
  if (popup_ == nullptr) {
    Abort();
    return false;
  }
  if (!popup_->Owns(event)) return false;
  switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY:
      // Keys come here while the box is up.
      xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, popup_->Window(), XCB_CURRENT_TIME);
      display_->Flush();
      break;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
      if (e->detail != 1) break;
      int hit = -1;
      for (int b = 0; b < (yesNo_ ? 2 : 1); ++b) {
        if (ButtonRect(b).Contains(e->event_x, e->event_y)) hit = b;
      }
      if ((event->response_type & 0x7f) == XCB_BUTTON_PRESS) {
        pressed_ = hit;
        xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, popup_->Window(), XCB_CURRENT_TIME);
      } else {
        if (hit >= 0 && hit == pressed_) answer_ = !yesNo_ ? kOk : hit == 0 ? kYes : kNo;
        pressed_ = -1;
      }
      Draw();
      popup_->Present();
      break;
    }
    case XCB_KEY_PRESS: {
      const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
      const std::uint32_t sym = display_->KeySym(e->detail, false);
      if (sym == XcbKey::kReturn || sym == XcbKey::kKeypadEnter || sym == ' ') answer_ = yesNo_ ? kYes : kOk;
      else if (sym == XcbKey::kEscape) Abort();
      else if (yesNo_ && sym == 'y') answer_ = kYes;
      else if (yesNo_ && sym == 'n') answer_ = kNo;
      break;
    }
    case XCB_CLIENT_MESSAGE: {
      const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(event);
      if (e->type == display_->Atom("WM_PROTOCOLS") && e->data.data32[0] == display_->Atom("WM_DELETE_WINDOW")) Abort();
      break;
    }
    default:
      break;
  }
  return true;
}
