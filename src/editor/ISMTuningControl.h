#pragma once

#include <string>

#include "editor/IControl.h"

class Tarvolin;

// The tuning display: the current tuning's name (also as its tooltip, for names longer than the
// display), and a click opens the tuning menu: the built-in temperaments, the user tuning and the
// loading of a tuning file. While an MTS-ESP master tunes the instrument the menu offers nothing.
class ISMTuningControl : public IControl {
 public:
  static constexpr int kId = -172;
  static constexpr int kUserTuning = 14;

  ISMTuningControl(Tarvolin* synth, const IBounds& rect);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;
  void OnMouseOver(int x, int y, const IMouseState& mouse) override;
  // Also dirty when the tuning changed without the menu (a program change, an MTS-ESP master).
  bool FindDirtyArea() override;

  // The name of the last drawing, whole.
  const std::string& ShownName() const { return shownName_; }

  // Whether the next TUN file loaded through any editor of the process asks first whether to
  // prefer its exact tuning. True at start; asking once clears it.
  static bool AsksAboutExactTuning();
  static void SetAsksAboutExactTuning(bool ask);

 private:
  // The current tuning's name, read under the plug-in lock (a program change may rename it).
  std::string CurrentName() const;
  void LoadTuning(IGraphics& graphics);

  Tarvolin* synth_;
  std::string shownName_;
};
