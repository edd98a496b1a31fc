// The frame as part of an instance: created and owned by it, attached with every value, and fed by
// the host and by MIDI controllers from whatever thread they arrive on.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "EditorTestSupport.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/IGraphicsX11.h"
#include "editor/PlatformEditor.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace {

// While it exists, instances get an off-screen frame with one probe control per parameter.
class ProbedInstances {
 public:
  ProbedInstances() { previous_ = SetGraphicsFactory(&Make); }
  ~ProbedInstances() { SetGraphicsFactory(previous_); }

  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }

 private:
  static std::unique_ptr<IGraphics> Make(IPlugBase* plug, int width, int height, int fps) {
    auto frame = std::make_unique<IGraphicsOffscreen>(plug, width, height, fps);
    for (int i = 0; i < plug->NParams(); ++i) {
      frame->AddControl(new ProbeControl(plug, &Log(), std::to_string(i), IBounds(i, 0, i + 1, 1), i));
    }
    return frame;
  }
  GraphicsFactory previous_ = nullptr;
};

IGraphicsOffscreen* FrameOf(Tarvolin& plug) {
  return dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug.GetEditor()));
}

}  // namespace

TEST(EditorAttachment, TheInstanceOwnsAnAttachedWindowFrameAndTellsTheHostOfIt) {
  Tarvolin plug(nullptr);
  IGraphics* frame = IGraphics::FromEditor(plug.GetEditor());
  ASSERT_NE(frame, nullptr);
  EXPECT_NE(dynamic_cast<IGraphicsX11*>(frame), nullptr);
  EXPECT_EQ(plug.AttachedEditor(), plug.GetEditor());
  EXPECT_EQ(frame->Plug(), &plug);
  EXPECT_EQ(frame->FrameRate(), 25);
  ASSERT_NE(frame->DrawBitmap(), nullptr);
  EXPECT_EQ(frame->DrawBitmap()->Width(), 1127);
  EXPECT_EQ(frame->DrawBitmap()->Height(), 776);
  EXPECT_NE(frame->ScratchBitmap(), nullptr);
  // The platform's frame can show a window, so hosts are told of an editor; one that draws off
  // screen only cannot, and they are not.
  EXPECT_EQ(plug.GetAEffect()->flags, 0x1131);
  EXPECT_FALSE(frame->IsWindowOpen());
  ProbedInstances probed;
  Tarvolin offscreen(nullptr);
  ASSERT_NE(FrameOf(offscreen), nullptr);
  EXPECT_EQ(offscreen.GetAEffect()->flags, 0x1130);
}

TEST(EditorAttachment, AttachingPushesEveryValueAndTheDefaultsComeFirst) {
  ProbedInstances probed;
  Tarvolin plug(nullptr);
  IGraphicsOffscreen* frame = FrameOf(plug);
  ASSERT_NE(frame, nullptr);
  // The probes, after the background the editor put beneath them and before its own controls.
  ASSERT_GE(frame->NControls(), param::kCount + 1);
  // Attached before the factory bank: every control's default is its parameter's default, and the
  // recall of program 0 then moved the values.
  int moved = 0;
  for (int i = 0; i < param::kCount; ++i) {
    const IControl* c = frame->GetControl(i + 1);
    ASSERT_EQ(c->ParamIdx(), i);
    EXPECT_NEAR(c->DefaultValue(), plug.GetParam(i)->NormalisedDefault(), 1e-9) << i;
    EXPECT_NEAR(c->Value(), plug.GetParam(i)->GetNormalised(), 1e-9) << i;
    if (std::abs(c->Value() - c->DefaultValue()) > 1e-6) ++moved;
  }
  EXPECT_GT(moved, 5);

  // The host's automation, on this (the user-interface) thread, arrives at once.
  AEffect* e = plug.GetAEffect();
  e->setParameter(e, param::kVolume, 0.125f);
  EXPECT_DOUBLE_EQ(frame->GetControl(param::kVolume + 1)->Value(), 0.125);
  // From another thread (the audio thread playing a mapped controller), at the next tick.
  plug.SetControllerMapping(74, param::kFilterCutoff);
  std::thread audio([&] {
    MidiMessage cc{0, 0xB0, 74, 127};
    plug.ApplyController(cc);
  });
  audio.join();
  EXPECT_NE(frame->GetControl(param::kFilterCutoff + 1)->Value(), 1.0);
  frame->Tick();
  EXPECT_DOUBLE_EQ(frame->GetControl(param::kFilterCutoff + 1)->Value(), 1.0);
  // A double click restores the default and tells the engine.
  frame->OnMouseDoubleClick(param::kVolume, 0, IMouseState());
  EXPECT_NEAR(plug.GetParam(param::kVolume)->GetNormalised(), plug.GetParam(param::kVolume)->NormalisedDefault(), 1e-6);
}

// Values written by the audio and automation threads (under the plug-in lock) reach the controls
// on the user-interface thread, which reads them without that lock; neither waits for the other.
TEST(EditorConcurrency, ValuesFromOtherThreadsReachTheControlsOnTheNextTick) {
  RecordingPlug plug;
  std::recursive_mutex pluginLock;
  std::vector<std::string> log;
  StripFrame frame(&plug, 64, 8);
  frame.CreateSurfaces();
  ProbeControl* controls[4];
  for (int i = 0; i < 4; ++i) {
    controls[i] = new ProbeControl(&plug, &log, "c", IBounds(i * 8, 0, i * 8 + 8, 8), i);
    frame.AddControl(controls[i]);
  }
  // The user-interface thread is another than the one that built the frame.
  std::atomic<bool> stop{false};
  std::atomic<int> ticks{0};
  std::thread ui([&] {
    {
      std::lock_guard<std::recursive_mutex> lock(pluginLock);
      frame.BindUserInterfaceThread();
    }
    while (!stop.load()) {
      frame.RedrawDirty();
      for (auto* c : controls) (void)c->Value();
      ticks.fetch_add(1);
    }
    frame.RedrawDirty();
  });
  while (ticks.load() == 0) std::this_thread::yield();  // bound and running
  auto writer = [&](int index, int trial) {
    for (int k = 0; k < 20000; ++k) {
      std::lock_guard<std::recursive_mutex> lock(pluginLock);
      frame.SetParameterFromPlugin(index, ((k * 7 + trial) % 1000) / 999.0, true);
    }
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    frame.SetParameterFromPlugin(index, 0.25 * (index + 1) - 0.125, true);
  };
  std::thread audio(writer, 0, 1);
  std::thread automation(writer, 2, 5);
  writer(3, 9);
  audio.join();
  automation.join();
  const int seen = ticks.load();
  while (ticks.load() < seen + 2) std::this_thread::yield();
  stop = true;
  ui.join();
  EXPECT_DOUBLE_EQ(controls[0]->Value(), 0.125);
  EXPECT_DOUBLE_EQ(controls[2]->Value(), 0.625);
  EXPECT_DOUBLE_EQ(controls[3]->Value(), 0.875);
  EXPECT_DOUBLE_EQ(controls[1]->Value(), 0.0);  // never written
  EXPECT_FALSE(frame.OnUserInterfaceThread());
}
