// The editor's frame at the size of the real one: the background, 137 knobs (one frame of a
// 65-frame strip each, by value) and 20 texts, 158 controls as in the editor. A timer tick when
// nothing changed should cost at most 20 us; redrawing the whole window at most 8 ms. In a window
// on the display DISPLAY names (skipped without one): opening it up to its first painted frame at
// most 30 ms, the host's idle call with nothing to do, and a whole redraw put on the screen.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "editor/IBitmapControl.h"
#include <xcb/xcb.h>

#include <cstdlib>

#include "editor/IGraphicsOffscreen.h"
#include "editor/IGraphicsX11.h"
#include "editor/PlatformEditor.h"
#include "engine/Tarvolin.h"

namespace {

class TextLabel : public IControl {
 public:
  TextLabel(IPlugBase* plug, const IBounds& rect, std::string text) : IControl(plug, rect), label_(std::move(text)) {
    text_.colour = IArgb(255, 255, 128, 0);
  }
  bool Draw(IGraphics& g) override { return g.DrawStyledText(&text_, label_.c_str(), rect_); }

 private:
  std::string label_;
};

// An instance whose editor frame draws off screen, or (window) the platform's frame.
struct EditorSetup {
  explicit EditorSetup(bool window = false) {
    const GraphicsFactory previous = SetGraphicsFactory(window ? nullptr : &CreateOffscreenGraphics);
    plug = std::make_unique<Tarvolin>(nullptr);
    SetGraphicsFactory(previous);
    frame = IGraphics::FromEditor(plug->GetEditor());
    if (frame == nullptr) return;
    frame->SetBackground(101, "tarvolin.png");
    const IImageStrip knob = frame->LoadBitmap(102, "knob.png", 65);
    for (int i = 0; i < 137; ++i) {
      const int x = 8 + (i % 25) * 44;
      const int y = 8 + (i / 25) * 60;
      frame->AddControl(new IBitmapControl(plug.get(), x, y, i % plug->NParams(), knob));
    }
    for (int i = 0; i < 20; ++i) {
      const int x = 8 + (i % 10) * 110;
      const int y = 400 + (i / 10) * 30;
      frame->AddControl(new TextLabel(plug.get(), IBounds(x, y, x + 64, y + 12), "Vib+ " + std::to_string(i)));
    }
    plug->RefreshParameterControls();
  }
  std::unique_ptr<Tarvolin> plug;
  IGraphics* frame = nullptr;
};

// A host's top-level window to open the editor in, on a connection of its own.
struct HostWindow {
  HostWindow() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') return;
    c = xcb_connect(name, nullptr);
    if (xcb_connection_has_error(c) != 0) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1200, 900, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(c, window);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  ~HostWindow() {
    if (c != nullptr) xcb_disconnect(c);
  }
  void* Parent() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }
  xcb_connection_t* c = nullptr;
  xcb_window_t window = 0;
};

void BM_EditorTickNothingDirty(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  auto& frame = dynamic_cast<IGraphicsOffscreen&>(*setup.frame);
  while (frame.Tick()) {
  }
  for (auto _ : state) benchmark::DoNotOptimize(frame.Tick());
  state.counters["controls"] = frame.NControls();
}
BENCHMARK(BM_EditorTickNothingDirty)->Unit(benchmark::kMicrosecond);

void BM_EditorRedrawWholeWindow(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  IGraphics& frame = *setup.frame;
  for (auto _ : state) {
    frame.MarkAllControlsDirty();
    IBounds area;
    frame.FindDirtyArea(&area);
    frame.Draw(area);
  }
  state.counters["controls"] = frame.NControls();
}
BENCHMARK(BM_EditorRedrawWholeWindow)->Unit(benchmark::kMillisecond);

// The editor in a window: null (and the state skipped) without a display.
IGraphicsX11* WindowFrame(benchmark::State& state, EditorSetup& setup, HostWindow& host) {
  auto* frame = dynamic_cast<IGraphicsX11*>(setup.frame);
  if (frame == nullptr || host.window == 0) {
    state.SkipWithError("no X display to open the editor on");
    return nullptr;
  }
  return frame;
}

// From the host's effEditOpen to the first whole frame carried out by the server.
void BM_EditorWindowOpenToFirstFrame(benchmark::State& state) {
  HostWindow host;
  EditorSetup setup(true);
  IGraphicsX11* frame = WindowFrame(state, setup, host);
  if (frame == nullptr) return;
  for (auto _ : state) {
    if (frame->OpenEditorWindow(host.Parent()) == nullptr) {
      state.SkipWithError("the window did not open");
      break;
    }
    frame->Idle();
    frame->Sync();
    state.PauseTiming();
    frame->CloseEditorWindow();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorWindowOpenToFirstFrame)->Unit(benchmark::kMillisecond);

// The host's idle call while nothing changes: the events looked at, and the tick when one is due.
void BM_EditorWindowIdleNothingDirty(benchmark::State& state) {
  HostWindow host;
  EditorSetup setup(true);
  IGraphicsX11* frame = WindowFrame(state, setup, host);
  if (frame == nullptr || frame->OpenEditorWindow(host.Parent()) == nullptr) return;
  frame->Idle();
  frame->Sync();
  for (auto _ : state) frame->Idle();
  frame->CloseEditorWindow();
}
BENCHMARK(BM_EditorWindowIdleNothingDirty)->Unit(benchmark::kMicrosecond);

// Every control drawn and the whole surface put on the screen, until the server has it.
void BM_EditorWindowFullRedraw(benchmark::State& state) {
  HostWindow host;
  EditorSetup setup(true);
  IGraphicsX11* frame = WindowFrame(state, setup, host);
  if (frame == nullptr || frame->OpenEditorWindow(host.Parent()) == nullptr) return;
  frame->Idle();
  for (auto _ : state) {
    frame->MarkAllControlsDirty();
    IBounds area;
    frame->FindDirtyArea(&area);
    frame->Draw(area);
    frame->Sync();
  }
  frame->CloseEditorWindow();
}
BENCHMARK(BM_EditorWindowFullRedraw)->Unit(benchmark::kMillisecond);

}  // namespace
