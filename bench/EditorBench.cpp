// The instrument's editor as it is built: the background and its 158 controls. Targets: building the
// editor with its bitmaps decoded at most 2 ms; decoding every bitmap once at most 40 ms; a timer tick
// when nothing changed at most 20 us; redrawing the whole window at most 8 ms; a tick after one knob
// moved repaints that knob's rect alone (the "pixels" counter: 40 x 40 = 1600).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "editor/EditorLayout.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/PlatformEditor.h"
#include "editor/TarvolinEditor.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

namespace {

struct EditorSetup {
  EditorSetup() {
    const GraphicsFactory previous = SetGraphicsFactory(&CreateOffscreenGraphics);
    plug = std::make_unique<Tarvolin>(nullptr);
    SetGraphicsFactory(previous);
    frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug->GetEditor()));
    if (frame == nullptr) return;
    frame->AllowVirtualWindow(true);
    frame->OpenWindow(nullptr);
    while (frame->Tick()) {
    }
  }
  std::unique_ptr<Tarvolin> plug;
  IGraphicsOffscreen* frame = nullptr;
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

}  // namespace
