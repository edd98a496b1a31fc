#include "editor/ISMPresetMenu.h"

#include <cstdio>
#include <mutex>

#include "editor/IGraphics.h"
#include "editor/IMenuModel.h"
#include "engine/Tarvolin.h"

ISMPresetMenu::ISMPresetMenu(Tarvolin* synth, const IBounds& numberRect, const IBounds& nameRect)
    : IControl(synth, numberRect.Union(nameRect)), synth_(synth), numberRect_(numberRect), nameRect_(nameRect) {
  text_ = ITextStyle("Arial", 15, IArgb(160, 255, 255, 255), ITextStyle::kNormal, ITextStyle::kAlignCentre);
  textEntryLength_ = kMaxShownCharacters;
}

void ISMPresetMenu::CurrentTexts(std::string* number, std::string* name) const {
  number->clear();
  name->clear();
  if (synth_ == nullptr) return;
  const int index = synth_->CurrentProgram();
  char text[16];
  std::snprintf(text, sizeof text, "%02d", index);
  *number = text;
  // "" for an index outside the program list.
  *name = synth_->ProgramName(index).substr(0, kMaxShownCharacters);
}

bool ISMPresetMenu::Draw(IGraphics& graphics) {
  if (synth_ != nullptr) {
    // Program changes may come from the audio thread (MIDI) or the host's.
    PluginLock lock(synth_->PluginMutex());
    CurrentTexts(&numberText_, &nameText_);
  }
  if (numberText_.empty()) return true;
  if (!graphics.DrawStyledText(&text_, numberText_.c_str(), numberRect_)) return false;
  return graphics.DrawStyledText(&text_, nameText_.c_str(), nameRect_);
}

bool ISMPresetMenu::FindDirtyArea() {
  if (dirty_ || synth_ == nullptr) return dirty_;
  // The look waits for no one: while the audio thread holds the lock, the next tick looks again.
  std::unique_lock<PriorityInheritingMutex> lock(synth_->PluginMutex(), std::try_to_lock);
  if (!lock.owns_lock()) return false;
  std::string number, name;
  CurrentTexts(&number, &name);
  if (number != numberText_ || name != nameText_) dirty_ = true;
  return dirty_;
}

std::unique_ptr<IMenuModel> ISMPresetMenu::BuildProgramMenu() const {
  auto menu = std::make_unique<IMenuModel>();
  if (synth_ == nullptr) return menu;
  PluginLock lock(synth_->PluginMutex());
  const int current = synth_->CurrentProgram();
  IMenuModel* submenu = nullptr;
  for (int i = 0; i < synth_->NPrograms(); ++i) {
    if (i % kProgramsPerSubmenu == 0) {
      char title[32];
      std::snprintf(title, sizeof title, "%02d - %02d", i, i + kProgramsPerSubmenu - 1);
      submenu = menu->AddSubmenu(title, std::make_unique<IMenuModel>())->Submenu();
    }
    char item[kMaxItemCharacters + 1];
    std::snprintf(item, sizeof item, "%02u: %s", static_cast<unsigned>(i), synth_->ProgramName(i).c_str());
    submenu->AddItem(item, -1, i == current ? IMenuEntry::kChecked : 0);
  }
  return menu;
}

void ISMPresetMenu::OnMouseDown(int x, int y, const IMouseState&) {
  IGraphics* graphics = GetGUI();
  if (synth_ == nullptr || graphics == nullptr) return;
  if (nameRect_.Contains(x, y)) {
    std::string name;
    {
      PluginLock lock(synth_->PluginMutex());
      name = synth_->ProgramName(synth_->CurrentProgram());
    }
    graphics->OpenTextEntry(this, text_, nameRect_, name.c_str());
    return;
  }
  if (!numberRect_.Contains(x, y)) return;
  const std::unique_ptr<IMenuModel> menu = BuildProgramMenu();
  const IMenuModel* chosen = graphics->ShowPopupMenu(menu.get(), numberRect_);
  if (chosen == nullptr || chosen->ChosenItem() < 0) return;
  for (int s = 0; s < menu->NItems(); ++s) {
    if (menu->Item(s)->Submenu() != chosen) continue;
    synth_->SelectProgram(s * kProgramsPerSubmenu + chosen->ChosenItem());
    MarkDirty(false);
    return;
  }
}

void ISMPresetMenu::OnTextEntered(const char* text) {
  if (synth_ == nullptr) return;
  // An empty text keeps the name; the program takes what is playing either way.
  synth_->ModifyCurrentPreset(text);
  synth_->ReportProgramChange();
  {
    PluginLock lock(synth_->PluginMutex());
    for (int i = 0; i < synth_->NParams(); ++i) synth_->ReportParameterChange(i, synth_->GetParam(i)->GetNormalised());
  }
  MarkDirty(false);
}
