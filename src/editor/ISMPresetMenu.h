#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"

class IMenuModel;
class Tarvolin;

// The program display: the current program's number and name. A click on the name renames the
// program (and stores what is playing into it); a click on the number opens the program menu, 64
// programs in four submenus of 16, the current one checked.
//
// It redraws after a rename and whenever the program it shows changes, however that came about
// (menu, step buttons, host, MIDI program change, a loaded file).
class ISMPresetMenu : public IControl {
 public:
  // Characters shown of the number and name, and taken by the rename box.
  static constexpr int kMaxShownCharacters = 27;
  // Characters of a program menu item, number included.
  static constexpr int kMaxItemCharacters = 31;
  static constexpr int kProgramsPerSubmenu = 16;

  ISMPresetMenu(Tarvolin* synth, const IBounds& numberRect, const IBounds& nameRect);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;
  void OnTextEntered(const char* text) override;
  bool FindDirtyArea() override;

  const IBounds& NumberRect() const { return numberRect_; }
  const IBounds& NameRect() const { return nameRect_; }
  // What the last Draw showed.
  const std::string& NumberText() const { return numberText_; }
  const std::string& NameText() const { return nameText_; }

  // The program menu as it opens now: submenus "00 - 15" ... "48 - 63", items "NN: name".
  std::unique_ptr<IMenuModel> BuildProgramMenu() const;

 private:
  // The number and name text of the current program.
  void CurrentTexts(std::string* number, std::string* name) const;

  Tarvolin* synth_;
  IBounds numberRect_;
  IBounds nameRect_;
  std::string numberText_;
  std::string nameText_;
};
