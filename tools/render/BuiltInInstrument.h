#pragma once

#include <string>

#include "shell/VstTypes.h"

// The Tarvolin this tool is built with, run in-process instead of loaded from a library, so that
// its editor can be drawn off screen (no display is needed).
namespace BuiltInInstrument {

// An entry point as the plug-in library exports it; the instance's editor draws off screen.
AEffect* Create(HostCallback host);
// Draws the whole editor of an instance made by Create into a PNG file, with the pointer resting on
// the control of parameter hover (none when negative); false with a reason when that fails (also
// when the tool was built without the editor).
bool WriteScreenshot(AEffect* effect, const std::string& path, int hover, std::string* error);

}  // namespace BuiltInInstrument
