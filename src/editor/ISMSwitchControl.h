#pragma once

#include "editor/ISwitchControl.h"

// The editor's two- and three-position switches.
class ISMSwitchControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
};
