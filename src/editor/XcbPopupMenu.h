#pragma once

#include <memory>
#include <vector>

#include "editor/IMenuModel.h"
#include "editor/XcbPopup.h"

// A pop-up menu drawn by the editor: one override-redirect window per open level, the first with
// its top-left corner at the point asked for, each kept on the screen. Separators, disabled
// (grey), title (not grey, not choosable) and checked items are drawn as such; hovering an item
// with a submenu opens it beside. The pointer and keyboard are grabbed while it is open: a click
// outside, Escape or losing the display closes it with nothing chosen.
//
// Releasing or clicking a choosable item chooses it; releasing the button that opened the menu
// anywhere else keeps it open. Keys: Up, Down, Right (opens a submenu), Left (closes one), Enter,
// Escape.
class XcbPopupMenu : public XcbModal {
 public:
  XcbPopupMenu(std::shared_ptr<XcbDisplay> display, IMenuModel* menu, int rootX, int rootY);
  ~XcbPopupMenu() override;

  // Whether the menu could be shown at all.
  bool IsOpen() const { return !levels_.empty() && !done_; }
  // The chosen (sub)menu and item, or null / -1.
  IMenuModel* ChosenMenu() const { return chosenMenu_; }
  int ChosenItem() const { return chosenItem_; }
  // The top-level window (for tests and the grab).
  xcb_window_t Window() const { return levels_.empty() ? 0 : levels_.front()->popup->Window(); }

  bool HandleEvent(const xcb_generic_event_t* event) override;
  bool Done() const override { return done_; }
  void Abort() override { Finish(nullptr, -1); }
  bool Expose(const xcb_generic_event_t* event) override;

  static constexpr int kItemHeight = 22;
  static constexpr int kSeparatorHeight = 9;

 private:
  struct Level {
    IMenuModel* menu = nullptr;
    std::unique_ptr<XcbPopup> popup;
    std::vector<int> tops;  // each item's top, and the bottom after the last
    int highlight = -1;
  };

  bool OpenLevel(IMenuModel* menu, int x, int y, int alternativeX);
  void Draw(Level& level);
  // The level and item under the root point; false when outside every level.
  bool Hit(int rootX, int rootY, int* level, int* item) const;
  void Hover(int level, int item);
  void Activate(int level, int item);
  void Finish(IMenuModel* menu, int item);
  void Step(int direction);

  std::shared_ptr<XcbDisplay> display_;
  std::vector<std::unique_ptr<Level>> levels_;
  IMenuModel* chosenMenu_ = nullptr;
  int chosenItem_ = -1;
  bool done_ = false;
  bool grabbed_ = false;
};
