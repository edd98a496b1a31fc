// The editor's frame at the size of the real one: the background, 137 knobs (one frame of a
// 65-frame strip each, by value) and 20 texts, 158 controls as in the editor. A timer tick when
// nothing changed should cost at most 20 us; redrawing the whole window at most 8 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "editor/IBitmapControl.h"
#include "editor/IGraphicsOffscreen.h"
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

struct EditorSetup {
  EditorSetup() : plug(std::make_unique<Tarvolin>(nullptr)) {
    frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug->GetEditor()));
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
  IGraphicsOffscreen* frame = nullptr;
};

void BM_EditorTickNothingDirty(benchmark::State& state) {
  EditorSetup setup;
  if (setup.frame == nullptr) {
    state.SkipWithError("no editor frame");
    return;
  }
  IGraphicsOffscreen& frame = *setup.frame;
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

}  // namespace
