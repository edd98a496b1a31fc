#include "editor/XcbPopupMenu.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kCheckColumn = 22;
constexpr int kArrowColumn = 22;
constexpr int kMinWidth = 120;

bool Selectable(const IMenuEntry* item) {
  return item != nullptr && !item->IsSeparator() && (item->Flags() & (IMenuEntry::kDisabled | IMenuEntry::kTitle)) == 0;
}

}  // namespace

XcbPopupMenu::XcbPopupMenu(std::shared_ptr<XcbDisplay> display, IMenuModel* menu, int rootX, int rootY)
    : display_(std::move(display)) {
  if (display_ == nullptr || menu == nullptr || menu->NItems() == 0 || !OpenLevel(menu, rootX, rootY, -1)) {
    done_ = true;
    return;
  }
  xcb_connection_t* c = display_->Connection();
  const xcb_window_t w = levels_.front()->popup->Window();
  // Clicks anywhere on the screen come to us, so that one outside closes the menu.
  auto* pointer = xcb_grab_pointer_reply(
      c,
      xcb_grab_pointer(c, 1, w,
                       XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
      nullptr);
  auto* keyboard = xcb_grab_keyboard_reply(
      c, xcb_grab_keyboard(c, 1, w, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
  grabbed_ = pointer != nullptr || keyboard != nullptr;
  std::free(pointer);
  std::free(keyboard);
  display_->Flush();
}

XcbPopupMenu::~XcbPopupMenu() {
  if (grabbed_ && !display_->Broken()) {
    xcb_ungrab_pointer(display_->Connection(), XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(display_->Connection(), XCB_CURRENT_TIME);
  }
  levels_.clear();
  if (display_ != nullptr && !display_->Broken()) display_->Flush();
}

bool XcbPopupMenu::OpenLevel(IMenuModel* menu, int x, int y, int alternativeX) {
  auto level = std::make_unique<Level>();
  level->menu = menu;
  int width = kMinWidth;
  int h = 2;
  for (int i = 0; i < menu->NItems(); ++i) {
    const IMenuEntry* item = menu->Item(i);
    level->tops.push_back(h);
    if (item->IsSeparator()) {
      h += kSeparatorHeight;
    } else {
      h += kItemHeight;
      width = std::max(width, kCheckColumn + XcbPopup::TextWidth(item->Text(), (item->Flags() & IMenuEntry::kTitle) != 0) +
                                  kArrowColumn + 8);
    }
  }
  level->tops.push_back(h);
  h += 2;
  width = std::min(width, display_->ScreenWidth());
  // Kept on the screen: flipped to the other side (or moved in) where it would leave it.
  if (x + width > display_->ScreenWidth()) x = alternativeX >= 0 ? alternativeX - width : display_->ScreenWidth() - width;
  if (y + h > display_->ScreenHeight()) y = display_->ScreenHeight() - h;
  x = std::max(x, 0);
  y = std::max(y, 0);
  level->popup = std::make_unique<XcbPopup>(display_, x, y, width, h, XcbPopup::kInputEvents);
  if (!level->popup->IsValid()) return false;
  Draw(*level);
  level->popup->Map();
  levels_.push_back(std::move(level));
  return true;
}

void XcbPopupMenu::Draw(Level& level) {
  XcbPopup& p = *level.popup;
  p.Fill(IBounds(0, 0, p.Width(), p.Height()), XcbLook::kFace);
  p.Frame(IBounds(0, 0, p.Width(), p.Height()), XcbLook::kBorder);
  for (int i = 0; i < level.menu->NItems(); ++i) {
    const IMenuEntry* item = level.menu->Item(i);
    const IBounds row(1, level.tops[static_cast<std::size_t>(i)], p.Width() - 1, level.tops[static_cast<std::size_t>(i) + 1]);
    if (item->IsSeparator()) {
      p.Fill(IBounds(row.L + 4, row.T + row.H() / 2, row.R - 4, row.T + row.H() / 2 + 1), XcbLook::kGrey);
      continue;
    }
    const bool highlighted = i == level.highlight && Selectable(item);
    if (highlighted) p.Fill(row, XcbLook::kHighlight);
    const bool grey = (item->Flags() & IMenuEntry::kDisabled) != 0;
    const LICE_pixel colour = highlighted ? XcbLook::kHighlightText : grey ? XcbLook::kGrey : XcbLook::kText;
    if (item->IsChecked()) {
      // A check mark of two strokes.
      const int cx = row.L + 7;
      const int cy = row.T + row.H() / 2;
      for (int t = 0; t < 2; ++t) {
        LICE_Line(p.Bitmap(), cx, cy + t, cx + 3, cy + 3 + t, colour, 1.0f, true);
        LICE_Line(p.Bitmap(), cx + 3, cy + 3 + t, cx + 9, cy - 4 + t, colour, 1.0f, true);
      }
    }
    p.Text(item->Text(), IBounds(row.L + kCheckColumn, row.T, row.R - kArrowColumn, row.B), LICE_TextAlign::kLeft, colour,
           (item->Flags() & IMenuEntry::kTitle) != 0);
    if (item->Submenu() != nullptr) {
      const int ax = row.R - 12;
      const int ay = row.T + row.H() / 2;
      for (int d = 0; d < 5; ++d) LICE_FillRect(p.Bitmap(), ax + d, ay - 4 + d, 1, 9 - 2 * d, colour, 1.0f);
    }
  }
}

bool XcbPopupMenu::Hit(int rootX, int rootY, int* level, int* item) const {
  for (int l = static_cast<int>(levels_.size()) - 1; l >= 0; --l) {
    const XcbPopup& p = *levels_[static_cast<std::size_t>(l)]->popup;
    const int x = rootX - p.X();
    const int y = rootY - p.Y();
    if (x < 0 || y < 0 || x >= p.Width() || y >= p.Height()) continue;
    *level = l;
    *item = -1;
    const auto& tops = levels_[static_cast<std::size_t>(l)]->tops;
    for (std::size_t i = 0; i + 1 < tops.size(); ++i) {
      if (y >= tops[i] && y < tops[i + 1]) *item = static_cast<int>(i);
    }
    return true;
  }
  return false;
}

void XcbPopupMenu::Hover(int l, int item) {
  Level& level = *levels_[static_cast<std::size_t>(l)];
  // Levels deeper than the one under the pointer close unless they are this item's submenu.
  const IMenuEntry* entry = level.menu->Item(item);
  const bool keepsChild = entry != nullptr && levels_.size() > static_cast<std::size_t>(l) + 1 &&
                          levels_[static_cast<std::size_t>(l) + 1]->menu == entry->Submenu();
  if (!keepsChild) {
    while (levels_.size() > static_cast<std::size_t>(l) + 1) levels_.pop_back();
  }
  if (level.highlight != item) {
    level.highlight = item;
    Draw(level);
    level.popup->Present();
  }
  if (!keepsChild && entry != nullptr && entry->Submenu() != nullptr && entry->Submenu()->NItems() > 0 &&
      (entry->Flags() & IMenuEntry::kDisabled) == 0) {
    const XcbPopup& p = *level.popup;
    OpenLevel(entry->Submenu(), p.X() + p.Width() - 2, p.Y() + level.tops[static_cast<std::size_t>(item)] - 2, p.X() + 2);
  }
  display_->Flush();
}

void XcbPopupMenu::Activate(int l, int item) {
  Level& level = *levels_[static_cast<std::size_t>(l)];
  const IMenuEntry* entry = level.menu->Item(item);
  if (entry == nullptr) return;
  if (entry->IsChoosable()) {
    Finish(level.menu, item);
  } else if (entry->Submenu() != nullptr) {
    Hover(l, item);
  }
}

void XcbPopupMenu::Finish(IMenuModel* menu, int item) {
  chosenMenu_ = menu;
  chosenItem_ = item;
  done_ = true;
}

void XcbPopupMenu::Step(int direction) {
  if (levels_.empty()) return;
  Level& level = *levels_.back();
  const int n = level.menu->NItems();
  int i = level.highlight;
  for (int k = 0; k < n; ++k) {
    i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
    if (Selectable(level.menu->Item(i))) break;
  }
  if (Selectable(level.menu->Item(i))) {
    level.highlight = i;
    Draw(level);
    level.popup->Present();
  }
}

bool XcbPopupMenu::Expose(const xcb_generic_event_t* event) {
  for (auto& level : levels_) {
    if (level->popup->Owns(event)) return true;
  }
  return false;
}

bool XcbPopupMenu::HandleEvent(const xcb_generic_event_t* event) {
  if (done_) return false;
  switch (event->response_type & 0x7f) {
    case XCB_EXPOSE:
      return Expose(event);
    case XCB_MOTION_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
      int l = -1, item = -1;
      if (Hit(e->root_x, e->root_y, &l, &item) && item >= 0) Hover(l, item);
      return true;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
      const bool press = (event->response_type & 0x7f) == XCB_BUTTON_PRESS;
      if (e->detail > 3) return true;  // the wheel does nothing here
      int l = -1, item = -1;
      if (!Hit(e->root_x, e->root_y, &l, &item)) {
        if (press) Finish(nullptr, -1);
        return true;
      }
      if (item >= 0) {
        const IMenuEntry* entry = levels_[static_cast<std::size_t>(l)]->menu->Item(item);
        if (entry != nullptr && entry->IsChoosable()) {
          if (!press) Finish(levels_[static_cast<std::size_t>(l)]->menu, item);
        } else if (press) {
          Hover(l, item);
        }
      }
      return true;
    }
    case XCB_KEY_PRESS: {
      const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
      const std::uint32_t sym = display_->KeySym(e->detail, false);
      if (sym == XcbKey::kEscape) {
        Finish(nullptr, -1);
      } else if (sym == XcbKey::kDown) {
        Step(1);
      } else if (sym == XcbKey::kUp) {
        Step(-1);
      } else if (sym == XcbKey::kLeft) {
        if (levels_.size() > 1) levels_.pop_back();
      } else if (sym == XcbKey::kRight || sym == XcbKey::kReturn || sym == XcbKey::kKeypadEnter) {
        const int l = static_cast<int>(levels_.size()) - 1;
        const int item = levels_.back()->highlight;
        if (item >= 0) {
          const IMenuEntry* entry = levels_.back()->menu->Item(item);
          if (entry->Submenu() != nullptr) {
            Hover(l, item);
            if (levels_.size() > static_cast<std::size_t>(l) + 1) Step(1);
          } else if (sym != XcbKey::kRight) {
            Activate(l, item);
          }
        }
      }
      display_->Flush();
      return true;
    }
    case XCB_KEY_RELEASE:
      return true;
    default:
      return false;
  }
}
