#pragma once

#include <memory>
#include <string>
#include <vector>

class IMenuModel;

// One item of a pop-up menu: its text, an optional submenu it opens, and flags.
class IMenuEntry {
 public:
  enum Flags : int {
    kDisabled = 1,   // shown grey, cannot be chosen
    kTitle = 2,      // cannot be chosen, not grey
    kChecked = 4,    // carries a check mark
    kSeparator = 8,  // a dividing line; the text is ignored
  };

  IMenuEntry(std::string text, int flags, std::unique_ptr<IMenuModel> submenu = nullptr);
  ~IMenuEntry();

  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  int Flags() const { return flags_; }
  void SetFlags(int flags) { flags_ = flags; }
  IMenuModel* Submenu() const { return submenu_.get(); }

  bool IsSeparator() const { return (flags_ & kSeparator) != 0; }
  bool IsChecked() const { return (flags_ & kChecked) != 0; }
  void SetChecked(bool checked) { flags_ = checked ? (flags_ | kChecked) : (flags_ & ~kChecked); }
  // Whether a user can choose it: not disabled, not a title, not a separator, no submenu.
  bool IsChoosable() const { return (flags_ & (kDisabled | kTitle | kSeparator)) == 0 && submenu_ == nullptr; }

 private:
  std::string text_;
  int flags_ = 0;
  std::unique_ptr<IMenuModel> submenu_;
};

// A pop-up menu: an ordered list of owned items and, after it was shown, the item chosen (-1 none).
//
// Command numbers, which a platform's menu hands out to tell the items apart, are given as the
// window system of this editor's family gives them: the items of a menu are numbered from a running
// counter in item order (separators and submenu items take a number too), then the counter passes
// to the submenus, depth first in item order.
class IMenuModel {
 public:
  IMenuModel() = default;
  IMenuModel(const IMenuModel&) = delete;
  IMenuModel& operator=(const IMenuModel&) = delete;

  // Inserts at position: -1 appends; otherwise at max(position, 0), or at the end when beyond it.
  // Answers the new item.
  IMenuEntry* AddItem(std::string text, int position = -1, int flags = 0);
  IMenuEntry* AddSubmenu(std::string text, std::unique_ptr<IMenuModel> submenu, int position = -1, int flags = 0);
  IMenuEntry* AddSeparator(int position = -1);
  void RemoveItem(int index);
  void Clear() { items_.clear(); }

  int NItems() const { return static_cast<int>(items_.size()); }
  IMenuEntry* Item(int index) const;
  // Checks exactly the item at index (clears every other check mark of this menu).
  void CheckItemAlone(int index);

  int ChosenItem() const { return chosen_; }
  void SetChosenItem(int index) { chosen_ = index; }
  // Text of the chosen item, "" when none.
  std::string ChosenItemText() const;

  // The command number of item index of menu (this menu or one of its submenus) when this menu's
  // items start at first; -1 when menu or index is not part of this tree.
  int CommandNumber(const IMenuModel* menu, int index, int first = 1) const;
  // The menu and item index that command number stands for; false when none does.
  bool ResolveCommand(int command, IMenuModel** menu, int* index, int first = 1);

 private:
  IMenuEntry* Insert(std::unique_ptr<IMenuEntry> entry, int position);
  // Walks the numbering from counter; calls visit(menu, index, number) until it answers true.
  template <typename Visit>
  bool WalkNumbers(int& counter, Visit&& visit);

  int chosen_ = -1;
  std::vector<std::unique_ptr<IMenuEntry>> items_;
};
