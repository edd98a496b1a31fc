#include "editor/IMenuModel.h"

IMenuEntry::IMenuEntry(std::string text, int flags, std::unique_ptr<IMenuModel> submenu)
    : text_(std::move(text)), flags_(flags), submenu_(std::move(submenu)) {}

IMenuEntry::~IMenuEntry() = default;

IMenuEntry* IMenuModel::Insert(std::unique_ptr<IMenuEntry> entry, int position) {
  IMenuEntry* added = entry.get();
  if (position < 0 && position != -1) position = 0;
  if (position == -1 || position >= NItems()) {
    items_.push_back(std::move(entry));
  } else {
    items_.insert(items_.begin() + position, std::move(entry));
  }
  return added;
}

IMenuEntry* IMenuModel::AddItem(std::string text, int position, int flags) {
  return Insert(std::make_unique<IMenuEntry>(std::move(text), flags), position);
}

IMenuEntry* IMenuModel::AddSubmenu(std::string text, std::unique_ptr<IMenuModel> submenu, int position, int flags) {
  return Insert(std::make_unique<IMenuEntry>(std::move(text), flags, std::move(submenu)), position);
}

IMenuEntry* IMenuModel::AddSeparator(int position) {
  return Insert(std::make_unique<IMenuEntry>(std::string(), IMenuEntry::kSeparator), position);
}

void IMenuModel::RemoveItem(int index) {
  if (index >= 0 && index < NItems()) items_.erase(items_.begin() + index);
}

IMenuEntry* IMenuModel::Item(int index) const {
  return index >= 0 && index < NItems() ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

void IMenuModel::CheckItemAlone(int index) {
  for (int i = 0; i < NItems(); ++i) items_[static_cast<std::size_t>(i)]->SetChecked(i == index);
}

std::string IMenuModel::ChosenItemText() const {
  const IMenuEntry* item = Item(chosen_);
  return item != nullptr ? item->Text() : std::string();
}

template <typename Visit>
bool IMenuModel::WalkNumbers(int& counter, Visit&& visit) {
  const int first = counter;
  counter += NItems();
  for (int i = 0; i < NItems(); ++i) {
    if (visit(this, i, first + i)) return true;
  }
  for (const auto& item : items_) {
    if (item->Submenu() != nullptr && item->Submenu()->WalkNumbers(counter, visit)) return true;
  }
  return false;
}

int IMenuModel::CommandNumber(const IMenuModel* menu, int index, int first) const {
  int found = -1;
  int counter = first;
  const_cast<IMenuModel*>(this)->WalkNumbers(counter, [&](IMenuModel* m, int i, int number) {
    if (m != menu || i != index) return false;
    found = number;
    return true;
  });
  return found;
}

bool IMenuModel::ResolveCommand(int command, IMenuModel** menu, int* index, int first) {
  int counter = first;
  return WalkNumbers(counter, [&](IMenuModel* m, int i, int number) {
    if (number != command) return false;
    if (menu != nullptr) *menu = m;
    if (index != nullptr) *index = i;
    return true;
  });
}
