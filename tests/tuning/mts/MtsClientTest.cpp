// The instrument as an MTS-ESP client. The binding to the library is made once per process when the
// product code loads, so every scenario runs as its own test process with TARVOLIN_LIBMTS naming the
// stand-in library (or a path where there is none).

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/PitchFunction.h"
#include "engine/Tarvolin.h"
#include "tuning/MtsClientGlobal.h"

#if TARVOLIN_WITH_EDITOR
#include "editor/IGraphicsOffscreen.h"
#include "editor/IScriptedResponder.h"
#include "editor/PlatformEditor.h"
#endif

namespace {

// The stand-in's controls, from the copy the binding loaded.
struct StandIn {
  void (*setMaster)(bool) = nullptr;
  void (*setFrequency)(int, double) = nullptr;
  void (*setFiltered)(int, bool) = nullptr;
  void (*setScaleName)(const char*) = nullptr;
  int (*clients)() = nullptr;
  int (*registrations)() = nullptr;

  bool Open() {
    const char* path = std::getenv("TARVOLIN_LIBMTS");
    if (path == nullptr) return false;
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    setMaster = reinterpret_cast<void (*)(bool)>(dlsym(handle, "StandIn_SetMaster"));
    setFrequency = reinterpret_cast<void (*)(int, double)>(dlsym(handle, "StandIn_SetFrequency"));
    setFiltered = reinterpret_cast<void (*)(int, bool)>(dlsym(handle, "StandIn_SetFiltered"));
    setScaleName = reinterpret_cast<void (*)(const char*)>(dlsym(handle, "StandIn_SetScaleName"));
    clients = reinterpret_cast<int (*)()>(dlsym(handle, "StandIn_Clients"));
    registrations = reinterpret_cast<int (*)()>(dlsym(handle, "StandIn_Registrations"));
    dlclose(handle);  // the binding keeps its own reference
    return setMaster && setFrequency && setFiltered && setScaleName && clients && registrations;
  }
};

std::unique_ptr<Tarvolin> MakeInstrument() {
  auto plug = std::make_unique<Tarvolin>(nullptr);
  plug->OnReset();
  plug->OnActivation(true);
  return plug;
}

void Note(Tarvolin& plug, int status, int note, int velocity) {
  MidiMessage m;
  m.status = static_cast<std::uint8_t>(status);
  m.data1 = static_cast<std::uint8_t>(note);
  m.data2 = static_cast<std::uint8_t>(velocity);
  plug.HandleMidiMessage(m);
}

void Render(Tarvolin& plug, int frames) {
  std::vector<double> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
  double* outs[2] = {left.data(), right.data()};
  plug.ProcessBuffersDouble(nullptr, outs, frames);
}

int SoundingVoices(const Tarvolin& plug) {
  int n = 0;
  for (int i = 0; i < Tarvolin::kVoices; ++i) n += plug.GetVoice(i).Active() ? 1 : 0;
  return n;
}

// Pitch units whose frequency is nearest to hz, by a plain search (the bisection must agree within
// one unit).
int NearestPitch(double hz) {
  int best = 0;
  for (int p = 1; p <= kPitchLimit; ++p) {
    if (std::fabs(PitchToFrequency(p) - hz) < std::fabs(PitchToFrequency(best) - hz)) best = p;
  }
  return best;
}

}  // namespace

// Scenario: TARVOLIN_LIBMTS names a file that does not exist.
TEST(MtsWithoutLibrary, TheInstrumentUsesItsOwnTuning) {
  if (std::getenv("TARVOLIN_LIBMTS") == nullptr) GTEST_SKIP() << "run through ctest";
  const MtsClientGlobal& binding = MtsClientGlobal::Instance();
  EXPECT_FALSE(binding.LibraryLoaded());
  EXPECT_EQ(binding.hasMaster, nullptr);
  EXPECT_FALSE(binding.MasterConnected());
  auto plug = MakeInstrument();
  plug->Tuning().SelectTuning(3);
  Note(*plug, 0x90, 60, 100);
  Render(*plug, 64);
  EXPECT_EQ(plug->GetVoice(0).TargetPitch(), plug->Tuning().NotePitch(60));
  EXPECT_EQ(plug->GetTuningName(-1), plug->Tuning().GetTuningName(-1));
}

// Scenario: the stand-in is loaded, and a master connects and disconnects.
TEST(MtsStandIn, WithoutAMasterNothingChanges) {
  StandIn s;
  if (!s.Open()) GTEST_SKIP() << "run through ctest with the stand-in";
  EXPECT_TRUE(MtsClientGlobal::Instance().LibraryLoaded());
  s.setMaster(false);
  s.setFrequency(60, 300.0);
  s.setFiltered(60, true);
  auto plug = MakeInstrument();
  EXPECT_EQ(s.clients(), 1);
  plug->Tuning().SelectTuning(5);
  Note(*plug, 0x90, 60, 100);
  Render(*plug, 64);
  EXPECT_EQ(SoundingVoices(*plug), 1);
  EXPECT_EQ(plug->GetVoice(0).TargetPitch(), plug->Tuning().NotePitch(60));
  EXPECT_EQ(plug->GetTuningName(-1), plug->Tuning().GetTuningName(-1));
  plug.reset();
  EXPECT_EQ(s.clients(), 0);
  EXPECT_EQ(s.registrations(), 1);
}

TEST(MtsStandIn, AMasterTunesNewNotes) {
  StandIn s;
  if (!s.Open()) GTEST_SKIP() << "run through ctest with the stand-in";
  s.setMaster(true);
  s.setFrequency(69, 432.0);
  s.setScaleName("Verdi");
  auto plug = MakeInstrument();
  plug->Tuning().SelectTuning(7);  // the master wins over the instrument's own selection
  EXPECT_EQ(plug->GetTuningName(-1), "Verdi");
  const std::int32_t pitch = plug->GetNotePitch(69);
  EXPECT_NEAR(pitch, NearestPitch(432.0), 1);
  EXPECT_NEAR(PitchToFrequency(pitch), 432.0, 0.2);

  // Through the whole instrument: a sine at note 69 sounds at 432 Hz.
  const auto set = [&](int index, double plain) {
    plug->GetParam(index)->SetPlainClamped(plain);
    plug->OnParameterChanged(index);
  };
  set(param::kWaveTable1, 4);
  set(param::kOsc2On, 0);
  set(param::kOsc3On, 0);
  plug->FinishWaveTables();  // the sine is built by the worker; the test hears it from the start
  Note(*plug, 0x90, 69, 100);
  std::vector<double> left(44100), right(44100);
  double* outs[2] = {left.data(), right.data()};
  plug->ProcessBuffersDouble(nullptr, outs, 44100);
  EXPECT_EQ(plug->GetVoice(0).TargetPitch(), pitch);
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = 2001; i < left.size(); ++i) {
    if (left[i - 1] < 0.0 && left[i] >= 0.0) {
      const double t = static_cast<double>(i - 1) + left[i - 1] / (left[i - 1] - left[i]);
      if (first < 0) first = t;
      else ++crossings;
      last = t;
    }
  }
  EXPECT_NEAR(crossings * 44100.0 / (last - first), 432.0, 0.3);

  // When the master goes, the instrument's own tuning is back for the next note.
  s.setMaster(false);
  EXPECT_EQ(plug->GetNotePitch(69), plug->Tuning().NotePitch(69));
  EXPECT_EQ(plug->GetTuningName(-1), plug->Tuning().GetTuningName(-1));
}

TEST(MtsStandIn, AFilteredNoteStartsNoVoiceAndItsNoteOffDoesNoHarm) {
  StandIn s;
  if (!s.Open()) GTEST_SKIP() << "run through ctest with the stand-in";
  s.setMaster(true);
  s.setFiltered(61, true);
  auto plug = MakeInstrument();
  plug->GetParam(param::kNumberOfVoices)->SetPlainClamped(3);  // 8 voices
  plug->OnParameterChanged(param::kNumberOfVoices);
  Note(*plug, 0x90, 61, 100);
  Render(*plug, 100);
  EXPECT_EQ(SoundingVoices(*plug), 0);
  EXPECT_FALSE(plug->HeldNotes().Held(61));
  Note(*plug, 0x90, 64, 100);
  Render(*plug, 100);
  EXPECT_EQ(SoundingVoices(*plug), 1);
  Note(*plug, 0x80, 61, 0);
  Render(*plug, 100);
  EXPECT_EQ(SoundingVoices(*plug), 1);
  EXPECT_TRUE(plug->GetVoice(0).Gate());
  s.setFiltered(61, false);  // a filter that changes its mind
  Note(*plug, 0x90, 61, 100);
  Render(*plug, 100);
  EXPECT_EQ(SoundingVoices(*plug), 2);
}

#if TARVOLIN_WITH_EDITOR
TEST(MtsStandIn, TheTuningMenuOffersNothingWhileAMasterTunes) {
  StandIn s;
  if (!s.Open()) GTEST_SKIP() << "run through ctest with the stand-in";
  const GraphicsFactory previous = SetGraphicsFactory(&CreateOffscreenGraphics);
  {
    auto plug = MakeInstrument();
    auto* frame = dynamic_cast<IGraphicsOffscreen*>(IGraphics::FromEditor(plug->GetEditor()));
    IScriptedResponder user;
    frame->SetResponder(&user);
    s.setMaster(true);
    s.setScaleName("Verdi");
    user.ChooseMenuIndex({0});
    IMouseState left;
    left.L = true;
    frame->OnMouseDown(1004, 714, left);  // the tuning display
    EXPECT_EQ(user.Menus().at(0).items, "Tuning is controlled by MTS-ESP Master\n");
    EXPECT_EQ(plug->Tuning().Selection(), 0);
    frame->OnMouseOver(1004, 714, IMouseState());
    EXPECT_EQ(frame->GetControl(frame->FindControlAt(1004, 714))->Tooltip(), "Verdi");
    s.setMaster(false);
  }
  SetGraphicsFactory(previous);
}
#endif
