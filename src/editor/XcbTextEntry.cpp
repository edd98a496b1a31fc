#include "editor/XcbTextEntry.h"

#include <algorithm>
#include <cstring>

#include "render/LICE_FontCache.h"

XcbTextEntry::XcbTextEntry(std::shared_ptr<XcbDisplay> display, xcb_window_t parent, const IBounds& rect,
                           const ITextStyle& style, const std::string& initialText, int maxLength)
    : display_(std::move(display)), style_(style), maxLength_(static_cast<std::size_t>(std::max(maxLength, 0))) {
  style_.cachedFont = nullptr;
  text_ = initialText.substr(0, maxLength_);
  caret_ = text_.size();
  // The box covers the rect with its right and bottom edges.
  popup_ = std::make_unique<XcbPopup>(display_, rect.L, rect.T, rect.W() + 1, rect.H() + 1,
                                      XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE |
                                          XCB_EVENT_MASK_BUTTON_PRESS,
                                      0, std::string(), parent);
  if (!popup_->IsValid()) return;
  Draw();
  popup_->Map();
}

void XcbTextEntry::Focus() {
  if (!IsValid()) return;
  xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, popup_->Window(), XCB_CURRENT_TIME);
  display_->Flush();
}

void XcbTextEntry::Type(const std::string& text) {
  if (allSelected_) {
    text_.clear();
    caret_ = 0;
    allSelected_ = false;
  }
  for (char ch : text) {
    if (text_.size() >= maxLength_) break;
    text_.insert(caret_, 1, ch);
    ++caret_;
  }
  Draw();
  popup_->Present();
}

XcbTextEntry::KeyResult XcbTextEntry::Key(const xcb_key_press_event_t* event) {
  const bool shift = (event->state & XCB_MOD_MASK_SHIFT) != 0;
  const bool caps = (event->state & XCB_MOD_MASK_LOCK) != 0;
  std::uint32_t sym = display_->KeySym(event->detail, shift);
  if (caps && sym >= 'a' && sym <= 'z') sym -= 32;
  switch (sym) {
    case XcbKey::kReturn:
    case XcbKey::kKeypadEnter:
      return KeyResult::kCommit;
    case XcbKey::kEscape:
      return KeyResult::kCancel;
    case XcbKey::kBackSpace:
    case XcbKey::kDelete:
      if (allSelected_) {
        text_.clear();
        caret_ = 0;
      } else if (sym == XcbKey::kBackSpace && caret_ > 0) {
        text_.erase(--caret_, 1);
      } else if (sym == XcbKey::kDelete && caret_ < text_.size()) {
        text_.erase(caret_, 1);
      }
      allSelected_ = false;
      break;
    case XcbKey::kLeft:
      caret_ = allSelected_ ? 0 : caret_ - (caret_ > 0 ? 1 : 0);
      allSelected_ = false;
      break;
    case XcbKey::kRight:
      caret_ = allSelected_ ? text_.size() : std::min(caret_ + 1, text_.size());
      allSelected_ = false;
      break;
    case XcbKey::kHome:
      caret_ = 0;
      allSelected_ = false;
      break;
    case XcbKey::kEnd:
      caret_ = text_.size();
      allSelected_ = false;
      break;
    default:
      // Printable ASCII; the entered text is handed on as bytes.
      if (sym >= 0x20 && sym < 0x7f && (event->state & XCB_MOD_MASK_CONTROL) == 0) {
        Type(std::string(1, static_cast<char>(sym)));
        return KeyResult::kEdited;
      }
      return KeyResult::kIgnored;
  }
  Draw();
  popup_->Present();
  return KeyResult::kEdited;
}

void XcbTextEntry::Draw() {
  XcbPopup& p = *popup_;
  LICE_Bitmap& b = p.Bitmap();
  p.Fill(IBounds(0, 0, p.Width(), p.Height()), style_.entryBackground.Packed() | 0xff000000u);
  LICE_FontDescription d;
  d.height = style_.size;
  d.weight = style_.style == ITextStyle::kBold ? 700 : 400;
  d.italic = style_.style == ITextStyle::kItalic;
  d.face.assign(style_.face, strnlen(style_.face, ITextStyle::kFaceSize));
  const LICE_Font* font = LICE_FontCache::Instance().Get(d);
  if (font == nullptr) return;
  const LICE_pixel fg = style_.entryForeground.Packed() | 0xff000000u;
  const LICE_pixel bg = style_.entryBackground.Packed() | 0xff000000u;
  const int w = font->TextWidth(text_);
  int left = 2;
  if (style_.align == ITextStyle::kAlignCentre) left = (p.Width() - w) / 2;
  else if (style_.align == ITextStyle::kAlignRight) left = p.Width() - 2 - w;
  // Scrolled so that the caret stays inside.
  const int caretX = left + font->TextWidth(std::string_view(text_).substr(0, caret_));
  if (caretX > p.Width() - 2) left -= caretX - (p.Width() - 2);
  if (caretX < 1) left += 1 - caretX;
  const int top = std::max(0, (p.Height() - font->CellHeight()) / 2);
  if (allSelected_ && !text_.empty()) {
    LICE_FillRect(b, left, top, w, font->CellHeight(), fg, 1.0f);
    font->DrawText(b, text_, left, top, left + w, top + font->CellHeight(), LICE_TextAlign::kLeft, bg);
  } else {
    font->DrawText(b, text_, left, top, left + w, top + font->CellHeight(), LICE_TextAlign::kLeft, fg);
    const int cx = left + font->TextWidth(std::string_view(text_).substr(0, caret_));
    LICE_FillRect(b, cx, top, 1, font->CellHeight(), fg, 1.0f);
  }
}
