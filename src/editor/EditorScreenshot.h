#pragma once

#include <string>

class IGraphics;

// A picture of the whole editor as the user would see it on opening the window: every control drawn
// over the background at the values the frame holds. Works without a display: an off-screen frame
// gets a virtual window for the time it takes.
namespace EditorScreenshot {

// Paints the editor onto the frame's drawing surface; false when the frame has no surface.
bool Paint(IGraphics& frame);
// Paints and writes the surface to a PNG file; false with a reason when that fails.
bool Write(IGraphics& frame, const std::string& path, std::string* error);

}  // namespace EditorScreenshot
