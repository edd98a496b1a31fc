#include "editor/TarvolinEditor.h"

#include <mutex>
#include <string>

#include "editor/EditorLayout.h"
#include "editor/IGraphics.h"
#include "editor/ISMBitmapControl.h"
#include "editor/ISMButtonKick.h"
#include "editor/ISMKnobControl.h"
#include "editor/ISMOptionMenu.h"
#include "editor/ISMPresetMenu.h"
#include "editor/ISMSourceControl.h"
#include "editor/ISMSwitchControl.h"
#include "editor/ISMSwitchMidiLearn.h"
#include "editor/ISMTuningControl.h"
#include "editor/ISMUtilityKick.h"
#include "editor/ISMVoicesControl.h"
#include "editor/ISMWaveTableControl.h"
#include "editor/ITextControl.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"

namespace {

using editor_layout::ControlClass;
using editor_layout::ControlRow;

constexpr int kFirstBitmap = 101;
constexpr int kBitmapCount = 19;

// Parameters and ids of the controls the editor keeps.
constexpr int kIndicatorIds[3] = {-173, -174, -175};
constexpr int kWaveTableParams[3] = {param::kWaveTable1, param::kWaveTable2, param::kWaveTable3};
constexpr int kFrequencyParams[3] = {param::kMg1Frequency, param::kMg2Frequency, param::kVibratoFrequency};
constexpr int kSyncRateParams[3] = {param::kMg1SyncRate, param::kMg2SyncRate, param::kVibratoSyncRate};
constexpr int kSyncParams[3] = {param::kMg1SyncToHost, param::kMg2SyncToHost, param::kVibratoSyncToHost};
constexpr int kOscOnParams[3] = {param::kOsc1On, param::kOsc2On, param::kOsc3On};
constexpr int kPasteId = ISMUtilityKick::kPasteProgram;

template <std::size_t N>
int IndexOf(const int (&values)[N], int v) {
  for (std::size_t i = 0; i < N; ++i) {
    if (values[i] == v) return static_cast<int>(i);
  }
  return -1;
}

// Which wave-table display a parameter of an oscillator's panel redraws (-1 none): its table, its
// on/off switch and what shapes the preview (shape, mode, start phase).
int WaveDisplayOf(int index) {
  using namespace param;
  switch (index) {
    case kWaveTable1: case kOsc1On: case kWaveShape1: case kWaveMode1: case kStartPhase1:
      return 0;
    case kWaveTable2: case kOsc2On: case kWaveShape2: case kWaveMode2: case kStartPhase2:
      return 1;
    case kWaveTable3: case kOsc3On: case kWaveShape3: case kWaveMode3: case kStartPhase3:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

std::unique_ptr<ProductEditor> BuildProductEditor(Tarvolin& plug) {
  IGraphics* graphics = IGraphics::FromEditor(plug.GetEditor());
  if (graphics == nullptr) return nullptr;
  return std::make_unique<TarvolinEditor>(plug, *graphics);
}

TarvolinEditor::TarvolinEditor(Tarvolin& plug, IGraphics& graphics) : plug_(plug), graphics_(graphics) {
  Build();
}

TarvolinEditor::~TarvolinEditor() {
  graphics_.SetHandOverTask(nullptr);
  if (plug_.LearnControl() == learnSwitch_) plug_.SetLearnControl(nullptr);
}

void TarvolinEditor::Build() {
  graphics_.HandleMouseOver(true);
  graphics_.EnableTooltips(true);

  std::array<IImageStrip, kBitmapCount> strips;
  for (const editor_layout::BitmapInfo& b : editor_layout::Bitmaps()) {
    if (b.preload) strips[static_cast<std::size_t>(b.id - kFirstBitmap)] = graphics_.LoadBitmap(b.id, b.file, b.frames);
  }
  auto strip = [&](int id) -> const IImageStrip& {
    static const IImageStrip none;
    const int i = id - kFirstBitmap;
    return i >= 0 && i < kBitmapCount ? strips[static_cast<std::size_t>(i)] : none;
  };
  const editor_layout::BitmapInfo* background = editor_layout::FindBitmap(editor_layout::kBackgroundBitmap);
  graphics_.SetBackground(background->id, background->file);

  for (const ControlRow& row : editor_layout::Controls()) {
    const int* a = row.args;
    const IBounds rect(row.rect.l, row.rect.t, row.rect.r, row.rect.b);
    IControl* control = nullptr;
    switch (row.cls) {
      case ControlClass::ISMKnobControl: {
        auto* knob = new ISMKnobControl(&plug_, a[0], a[1], strip(row.bitmap), row.param, row.gearing);
        if (const int g = IndexOf(kFrequencyParams, row.param); g >= 0) frequencyKnobs_[static_cast<std::size_t>(g)] = knob;
        if (const int g = IndexOf(kSyncRateParams, row.param); g >= 0) syncRateKnobs_[static_cast<std::size_t>(g)] = knob;
        control = knob;
        break;
      }
      case ControlClass::ISMSourceControl:
        control = new ISMSourceControl(&plug_, a[0], a[1], row.param, row.dimWhenOff);
        break;
      case ControlClass::ISMSwitchControl:
        control = new ISMSwitchControl(&plug_, a[0], a[1], row.param, strip(row.bitmap));
        break;
      case ControlClass::ISMButtonKick: {
        auto* button = new ISMButtonKick(&plug_, a[0], a[1], row.param, strip(row.bitmap), strip(row.bitmapOn));
        if (row.param == ISMButtonKick::kUnisonOff || row.param == ISMButtonKick::kUnisonOn) {
          button->SetUnisonFlag(&unisonOn_);
          unisonButtons_[row.param == ISMButtonKick::kUnisonOn ? 1 : 0] = button;
        }
        control = button;
        break;
      }
      case ControlClass::ISMUtilityKick: {
        auto* button = new ISMUtilityKick(&plug_, a[0], a[1], row.param, strip(row.bitmap));
        if (row.param == kPasteId) pasteButton_ = button;
        control = button;
        break;
      }
      case ControlClass::ISMBitmapControl: {
        auto* bitmap = new ISMBitmapControl(&plug_, a[0], strip(row.bitmap), row.param);
        if (const int k = IndexOf(kIndicatorIds, row.param); k >= 0) indicators_[static_cast<std::size_t>(k)] = bitmap;
        control = bitmap;
        break;
      }
      case ControlClass::ISMVoicesControl:
        control = new ISMVoicesControl(&plug_, strip(row.bitmap));
        break;
      case ControlClass::ISMSwitchMidiLearn:
        learnSwitch_ = new ISMSwitchMidiLearn(&plug_, a[0], a[1], strip(row.bitmap));
        control = learnSwitch_;
        break;
      case ControlClass::ITextControl: {
        const auto& s = row.style;
        control = new ITextControl(&plug_, rect, ITextStyle(s.face, s.size, IArgb(s.a, s.r, s.g, s.b), s.style, s.align),
                                   row.text);
        break;
      }
      case ControlClass::ISMPresetMenu: {
        const auto& n = row.numberRect;
        const auto& m = row.nameRect;
        control = new ISMPresetMenu(&plug_, IBounds(n.l, n.t, n.r, n.b), IBounds(m.l, m.t, m.r, m.b));
        break;
      }
      case ControlClass::ISMOptionMenu:
        control = new ISMOptionMenu(&plug_, rect);
        break;
      case ControlClass::ISMWaveTableControl:
        control = new ISMWaveTableControl(&plug_, a[0], row.param);
        if (const int o = IndexOf(kWaveTableParams, row.param); o >= 0) waveTableDisplays_[static_cast<std::size_t>(o)] = control;
        break;
      case ControlClass::ISMTuningControl:
        control = new ISMTuningControl(&plug_, rect);
        break;
      default:
        // The frame's generic classes: the instrument's layout places none of them.
        continue;
    }
    control->SetTooltip(row.caption[0] != '\0' ? row.caption : (row.param >= 0 ? row.name : row.what));
    graphics_.AddControl(control);
    // The indicators show only while notes sound (OnHostIdle).
    if (row.cls == ControlClass::ISMBitmapControl) control->Hide(true);
  }

  graphics_.SetHandOverTask([this] { HandOver(); });
  // Learning starts switched off, in learn mode.
  plug_.SetLearnControl(learnSwitch_);
  plug_.ArmLearn(0.0, false);
  for (int g = 0; g < kGenerators; ++g) NoteSync(g);
  UpdateForParameter(param::kUnisonMode);
}

void TarvolinEditor::Request() {
  graphics_.RequestHandOver();
  if (graphics_.OnUserInterfaceThread()) graphics_.ApplyPendingValues();
}

void TarvolinEditor::NoteSync(int generator) {
  const Parameter* p = plug_.GetParam(kSyncParams[Clamp3(generator)]);
  syncOn_[Clamp3(generator)].store(p != nullptr && p->Value() >= 0.5, std::memory_order_release);
  Request();
}

void TarvolinEditor::UpdateForParameter(int index) {
  if (index == param::kUnisonMode) {
    unisonOn_.store(plug_.GetParam(index)->Value() >= 0.5, std::memory_order_release);
    unisonChanged_.store(true, std::memory_order_release);
    Request();
  } else if (const int g = IndexOf(kSyncParams, index); g >= 0) {
    NoteSync(g);
  } else if (const int o = WaveDisplayOf(index); o >= 0) {
    waveDisplaysChanged_.fetch_or(1u << o, std::memory_order_acq_rel);
    Request();
  }
}

void TarvolinEditor::HandOver() {
  // The sync pairs follow whether or not the window is open.
  for (std::size_t g = 0; g < kGenerators; ++g) {
    const bool synced = syncOn_[g].load(std::memory_order_acquire);
    if (frequencyKnobs_[g] != nullptr && frequencyKnobs_[g]->IsHidden() != synced) frequencyKnobs_[g]->Hide(synced);
    if (syncRateKnobs_[g] != nullptr && syncRateKnobs_[g]->IsHidden() == synced) syncRateKnobs_[g]->Hide(!synced);
  }
  if (learnSwitch_ != nullptr) learnSwitch_->ApplySwitchOff();
  const bool unisonChanged = unisonChanged_.exchange(false, std::memory_order_acq_rel);
  const unsigned waves = waveDisplaysChanged_.exchange(0, std::memory_order_acq_rel);
  // The rest only shows in an open window, which repaints everything when it opens.
  if (!graphics_.IsWindowOpen()) return;
  if (unisonChanged) {
    for (ISMButtonKick* button : unisonButtons_) {
      if (button != nullptr) button->MarkDirty(true);
    }
  }
  for (std::size_t o = 0; o < 3; ++o) {
    if ((waves & (1u << o)) != 0 && waveTableDisplays_[o] != nullptr) waveTableDisplays_[o]->MarkDirty(false);
  }
}

void TarvolinEditor::OnHostIdle() {
  if (!graphics_.IsWindowOpen()) return;
  bool held = false;
  bool xMode = false;
  int xModeIndex = -1;
  bool on[3] = {false, false, false};
  {
    // The held notes and the X-Mode oscillator belong to the audio thread. Should it hold the lock
    // now, this look is skipped rather than made to wait; the next idle call looks again.
    std::unique_lock<PriorityInheritingMutex> lock(plug_.PluginMutex(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    held = !plug_.HeldNotes().Empty();
    xMode = plug_.GetParam(param::kXMode)->Value() >= 0.5;
    xModeIndex = plug_.XModeIndex();
    for (int k = 0; k < 3; ++k) on[k] = plug_.GetParam(kOscOnParams[k])->Value() >= 0.5;
  }
  for (int k = 0; k < 3; ++k) {
    ISMBitmapControl* indicator = indicators_[static_cast<std::size_t>(k)];
    const bool visible = held && on[k] && (!xMode || xModeIndex == k);
    // Only a change redraws, so that idle time stays quiet.
    if (indicator != nullptr && indicator->IsHidden() == visible) indicator->Hide(!visible);
  }
  const bool lit = plug_.ClipboardHoldsProgram();
  if (pasteButton_ != nullptr && lit != pasteLit_) {
    pasteLit_ = lit;
    pasteButton_->MarkDirty(true);
  }
}
