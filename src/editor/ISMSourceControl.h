#pragma once

#include "editor/IControl.h"
#include "editor/IMenuModel.h"

// A modulation-source picker: shows the short name of the source chosen ("MG1", "Velo") and opens
// a menu of the 21 sources by their long names. Pickers that dim "OFF" show it in a darker colour,
// so that a modulation in use stands out.
class ISMSourceControl : public IControl {
 public:
  static constexpr int kSources = 21;

  // rect = (x2 / 2, y2 / 2, (x2 + 64) / 2, (y2 + 24) / 2): 32 x 12.
  ISMSourceControl(IPlugBase* plug, int x2, int y2, int paramIdx, bool dimWhenOff);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;

  // The source chosen, 0 ... 20, from the value.
  int Source() const;
  bool DimWhenOff() const { return dimWhenOff_; }
  static const char* ShortName(int source);
  static const char* LongName(int source);

 private:
  ITextStyle dim_;
  bool dimWhenOff_;
  IMenuModel menu_;
};
