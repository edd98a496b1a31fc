#pragma once

#include <memory>

#include "editor/IGraphics.h"

// The seam where a platform's frame is chosen. CreatePlatformEditor (shell/IPlugEditor.h), which
// the Synth constructor calls, makes the frame of this platform; tests can replace the choice for
// the instances they create afterwards, e.g. with an IGraphicsOffscreen where the platform's frame
// would need a display.
using GraphicsFactory = std::unique_ptr<IGraphics> (*)(IPlugBase* plug, int width, int height, int fps);

// Makes the frame of this platform.
std::unique_ptr<IGraphics> CreatePlatformGraphics(IPlugBase* plug, int width, int height, int fps);

// Replaces the factory (null restores the platform's); answers the previous one.
GraphicsFactory SetGraphicsFactory(GraphicsFactory factory);

// Makes an IGraphicsOffscreen (a GraphicsFactory).
std::unique_ptr<IGraphics> CreateOffscreenGraphics(IPlugBase* plug, int width, int height, int fps);
