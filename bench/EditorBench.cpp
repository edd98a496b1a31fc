// The instrument's editor as it is built: the background and its 158 controls. Targets: building the
// editor with its bitmaps decoded at most 2 ms; decoding every bitmap once at most 40 ms; a timer tick
// when nothing changed at most 20 us; redrawing the whole window at most 8 ms; a tick after one knob
// moved repaints that knob's rect alone (the "pixels" counter: 40 x 40 = 1600). In a window on the
// display DISPLAY names (skipped without one): opening it up to its first painted frame at most 30 ms,
// the host's idle call with nothing to do, and a whole redraw put on the screen.
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "editor/EditorLayout.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/IGraphicsX11.h"
#include "editor/PlatformEditor.h"
#include "editor/TarvolinEditor.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

namespace {

// An instance whose editor draws off screen, or (window) in the platform's frame.
struct EditorSetup {
  explicit EditorSetup(bool window = false) {
    const GraphicsFactory previous = SetGraphicsFactory(window ? nullptr : &CreateOffscreenGraphics);
    plug = std::make_unique<Tarvolin>(nullptr);
    SetGraphicsFactory(previous);
    IGraphics* any = IGraphics::FromEditor(plug->GetEditor());
    if (window) {
      windowFrame = dynamic_cast<IGraphicsX11*>(any);
      return;
    }
    frame = dynamic_cast<IGraphicsOffscreen*>(any);
    if (frame == nullptr) return;
    frame->AllowVirtualWindow(true);
    frame->OpenWindow(nullptr);
    while (frame->Tick()) {
    }
  }
  std::unique_ptr<Tarvolin> plug;
  IGraphicsOffscreen* frame = nullptr;
  IGraphicsX11* windowFrame = nullptr;
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

void BM_EditorCreate(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  // The bitmaps are in the process's cache already, as for every instance after the first.
  for (auto _ : state) {
    IGraphicsOffscreen frame(setup.plug.get(), editor_layout::kEditorWidth, editor_layout::kEditorHeight,
                             editor_layout::kEditorFps);
    TarvolinEditor editor(*setup.plug, frame);
    benchmark::DoNotOptimize(frame.NControls());
  }
}
BENCHMARK(BM_EditorCreate)->Unit(benchmark::kMicrosecond);

void BM_EditorDecodeEveryBitmap(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  std::int64_t pixels = 0;
  for (auto _ : state) {
    pixels = 0;
    for (const editor_layout::BitmapInfo& b : editor_layout::Bitmaps()) {
      // Straight from the resource, past the cache.
      const auto image = setup.frame->LoadBitmapResource(b.id, b.file);
      if (image == nullptr) {
        state.SkipWithError("a bitmap does not decode");
        return;
      }
      pixels += static_cast<std::int64_t>(image->Width()) * image->Height();
    }
  }
  state.counters["pixels"] = static_cast<double>(pixels);
}
BENCHMARK(BM_EditorDecodeEveryBitmap)->Unit(benchmark::kMillisecond);

void BM_EditorTickNothingDirty(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  IGraphicsOffscreen& frame = *setup.frame;
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
  IGraphicsOffscreen& frame = *setup.frame;
  for (auto _ : state) {
    frame.MarkAllControlsDirty();
    IBounds area;
    frame.FindDirtyArea(&area);
    frame.Draw(area);
  }
  state.counters["controls"] = frame.NControls();
}
BENCHMARK(BM_EditorRedrawWholeWindow)->Unit(benchmark::kMillisecond);

void BM_EditorTickOneKnobMoved(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  IGraphicsOffscreen& frame = *setup.frame;
  int k = 0;
  for (auto _ : state) {
    frame.SetParameterFromPlugin(param::kFilterCutoff, (k++ % 100) / 99.0, true);
    frame.ForgetPresented();
    while (frame.Tick()) {
    }
  }
  state.counters["pixels"] = frame.PresentedArea().W() * frame.PresentedArea().H();
}
BENCHMARK(BM_EditorTickOneKnobMoved)->Unit(benchmark::kMicrosecond);

// The editor in a window: null (and the state skipped) without a display.
IGraphicsX11* WindowFrame(benchmark::State& state, EditorSetup& setup, HostWindow& host) {
  IGraphicsX11* frame = setup.windowFrame;
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
