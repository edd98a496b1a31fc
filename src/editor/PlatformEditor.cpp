#include "editor/PlatformEditor.h"

#include <atomic>

#include "editor/IGraphicsOffscreen.h"
#include "editor/IGraphicsX11.h"

namespace {

std::atomic<GraphicsFactory> g_factory{nullptr};

}  // namespace

std::unique_ptr<IGraphics> CreateOffscreenGraphics(IPlugBase* plug, int width, int height, int fps) {
  return std::make_unique<IGraphicsOffscreen>(plug, width, height, fps);
}

std::unique_ptr<IGraphics> CreatePlatformGraphics(IPlugBase* plug, int width, int height, int fps) {
  return std::make_unique<IGraphicsX11>(plug, width, height, fps);
}

GraphicsFactory SetGraphicsFactory(GraphicsFactory factory) { return g_factory.exchange(factory); }

std::unique_ptr<IPlugEditor> CreatePlatformEditor(IPlugBase* plug, int width, int height, int fps) {
  const GraphicsFactory factory = g_factory.load();
  if (factory != nullptr) return factory(plug, width, height, fps);
  return CreatePlatformGraphics(plug, width, height, fps);
}
