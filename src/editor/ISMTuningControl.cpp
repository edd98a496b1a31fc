#include "editor/ISMTuningControl.h"

#include <atomic>
#include <mutex>

#include "editor/IGraphics.h"
#include "engine/Tarvolin.h"
#include "tuning/TextScan.h"
#include "wavetable/WaveTableImport.h"

namespace {

constexpr int kTemperaments = 14;

std::atomic<bool> gAskAboutExactTuning{true};

constexpr const char* kExactTuningQuestion =
    "Do you want to use the Exact Tuning instead of the Functional Tuning as given in the TUN file?\n\n"
    "Note: Most instruments ignore Functional Tuning. For compatibility reasons it is recommended to "
    "prioritize Exact Tuning.";

bool IsTunFile(const std::string& path) { return TUN::text::EqualsIgnoringCase(ExtensionOfPath(path), ".tun"); }

}  // namespace

bool ISMTuningControl::AsksAboutExactTuning() { return gAskAboutExactTuning.load(); }
void ISMTuningControl::SetAsksAboutExactTuning(bool ask) { gAskAboutExactTuning.store(ask); }

ISMTuningControl::ISMTuningControl(Tarvolin* synth, const IBounds& rect)
    : IControl(synth, rect, kId), synth_(synth) {
  text_ = ITextStyle("Arial", 12, IArgb(192, 255, 128, 0));
}

std::string ISMTuningControl::CurrentName() const {
  if (synth_ == nullptr) return std::string();
  PluginLock lock(synth_->PluginMutex());
  return synth_->GetTuningName(-1);
}

bool ISMTuningControl::Draw(IGraphics& graphics) {
  shownName_ = CurrentName();
  // Names of temperaments and of tuning files run long; the tooltip shows them whole.
  const std::string name = graphics.FitStyledText(&text_, shownName_, rect_.W());
  return graphics.DrawStyledText(&text_, name.c_str(), rect_);
}

bool ISMTuningControl::FindDirtyArea() {
  // Looked at once per tick; when the lock is busy (the audio thread renders), at the next one.
  if (!dirty_ && synth_ != nullptr) {
    std::unique_lock<PriorityInheritingMutex> lock(synth_->PluginMutex(), std::try_to_lock);
    if (lock.owns_lock() && synth_->GetTuningName(-1) != shownName_) dirty_ = true;
  }
  return dirty_;
}

void ISMTuningControl::OnMouseOver(int, int, const IMouseState&) { SetTooltip(CurrentName()); }

void ISMTuningControl::OnMouseDown(int x, int y, const IMouseState&) {
  IGraphics* graphics = GetGUI();
  if (graphics == nullptr || synth_ == nullptr) return;
  IMenuModel menu;
  int userItem = -1;
  int loadItem = -1;
  if (synth_->MtsMasterPresent()) {
    menu.AddItem("Tuning is controlled by MTS-ESP Master");
  } else {
    int selection = 0;
    std::string names[kTemperaments + 1];
    {
      PluginLock lock(synth_->PluginMutex());
      selection = synth_->Tuning().Selection();
      for (int k = 0; k <= kTemperaments; ++k) names[k] = synth_->GetTuningName(k);
    }
    for (int k = 0; k < kTemperaments; ++k) menu.AddItem(names[k], -1, k == selection ? IMenuEntry::kChecked : 0);
    menu.AddSeparator();
    const std::string& user = names[kUserTuning];
    if (user.empty()) {
      userItem = menu.NItems();
      menu.AddItem("[not available]", -1, IMenuEntry::kDisabled | (selection == kUserTuning ? IMenuEntry::kChecked : 0));
    } else {
      userItem = menu.NItems();
      menu.AddItem(user, -1, selection == kUserTuning ? IMenuEntry::kChecked : 0);
    }
    menu.AddSeparator();
    loadItem = menu.NItems();
    menu.AddItem("Load Tuning...");
  }
  if (graphics->ShowPopupMenu(&menu, IBounds(x, y, x, y)) != &menu) return;
  // A master may have connected while the menu was open.
  if (synth_->MtsMasterPresent()) return;
  const int item = menu.ChosenItem();
  if (item >= 0 && item < kTemperaments) {
    synth_->SelectTuning(item);
  } else if (item == userItem && userItem >= 0) {
    synth_->SelectTuning(kUserTuning);
  } else if (item == loadItem && loadItem >= 0) {
    LoadTuning(*graphics);
  } else {
    return;
  }
  MarkDirty(false);
}

void ISMTuningControl::LoadTuning(IGraphics& graphics) {
  std::string path;
  graphics.AskForFile(path, 0, synth_->FileDialogFolder(), "tun scl kbm");
  if (path.empty()) return;
  if (IsTunFile(path) && gAskAboutExactTuning.exchange(false)) {
    const int answer = graphics.ShowMessage(kExactTuningQuestion, "Use Exact Tuning instead of Functional Tuning",
                                            IGraphics::kMessageYesNo);
    if (answer != IGraphics::kAnswerNo) TuningState::SetExactTuningPreferred(true);
  }
  if (synth_->LoadTuningFile(path) != 0) {
    graphics.ShowMessage("Cannot load file!", "Error", IGraphics::kMessageOk);
    return;
  }
  synth_->SelectTuning(kUserTuning);
}
