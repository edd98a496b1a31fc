#pragma once

#include <memory>

#include "editor/IControl.h"

class IMenuModel;
class Tarvolin;

// The utility menu's button (drawn by the background): a click opens the menu of program files,
// startup bank, configuration, global MIDI settings and the maker's web site at the pointer, built
// from the state of the moment, and runs the chosen entry.
class ISMOptionMenu : public IControl {
 public:
  static constexpr int kId = -154;

  ISMOptionMenu(Tarvolin* synth, const IBounds& rect);

  bool Draw(IGraphics&) override { return true; }
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;

  // The menu as it opens now.
  std::unique_ptr<IMenuModel> BuildMenu() const;
  // The utility action code of an item of menu (BuildMenu's) or one of its submenus; -1 for none.
  static int CodeOf(const IMenuModel& menu, const IMenuModel* chosen, int item);

 private:
  Tarvolin* synth_;
};
