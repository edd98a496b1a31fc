#include "editor/ISMOptionMenu.h"

#include <string>

#include "editor/EditorActions.h"
#include "editor/IGraphics.h"
#include "editor/IMenuModel.h"
#include "engine/Tarvolin.h"
#include "update/MakerSite.h"

namespace {

using namespace EditorActions;

// The positions of the two submenus in the top menu: their items' codes follow on from 19 and 21.
constexpr int kMidiSubmenuFirstCode = kMidiThru;
constexpr int kOnlineSubmenuFirstCode = kCheckForUpdate;

}  // namespace

ISMOptionMenu::ISMOptionMenu(Tarvolin* synth, const IBounds& rect) : IControl(synth, rect, kId), synth_(synth) {}

std::unique_ptr<IMenuModel> ISMOptionMenu::BuildMenu() const {
  auto menu = std::make_unique<IMenuModel>();
  const bool clipboard = synth_ != nullptr && synth_->ClipboardHoldsProgram();
  const bool startupBank = synth_ != nullptr && !synth_->Config().StartupBankPath().empty();
  const int noStartupBank = startupBank ? 0 : IMenuEntry::kDisabled;
  menu->AddItem("Copy Program");
  menu->AddItem("Paste Program", -1, clipboard ? 0 : IMenuEntry::kDisabled);
  menu->AddItem("Init Program");
  menu->AddSeparator();
  menu->AddItem("Load Program");
  menu->AddItem("Save Program");
  menu->AddItem("Load Bank");
  menu->AddItem("Save Bank");
  menu->AddSeparator();
  menu->AddItem("Select Startup Bank");
  menu->AddItem("Load Startup Bank", -1, noStartupBank);
  menu->AddItem("Unselect Startup Bank", -1, noStartupBank);
  menu->AddSeparator();
  menu->AddItem("Default Path for Program Files");
  auto midi = std::make_unique<IMenuModel>();
  midi->AddItem("MIDI Thru", -1, synth_ != nullptr && synth_->MidiThru() ? IMenuEntry::kChecked : 0);
  midi->AddItem("Ignore Program Change", -1,
                synth_ != nullptr && synth_->IgnoreProgramChange() ? IMenuEntry::kChecked : 0);
  menu->AddSubmenu("Global MIDI Settings...", std::move(midi));
  menu->AddItem("Reload Configuration");
  menu->AddItem("Save Configuration");
  menu->AddSeparator();
  auto online = std::make_unique<IMenuModel>();
  online->AddItem("Check Online for Update");
  online->AddItem(std::string("Visit ") + maker::kWebSiteName);
  menu->AddSubmenu("Go Online...", std::move(online));
  return menu;
}

int ISMOptionMenu::CodeOf(const IMenuModel& menu, const IMenuModel* chosen, int item) {
  if (chosen == nullptr || item < 0) return -1;
  if (chosen == &menu) return item;
  const IMenuEntry* midi = menu.Item(kGlobalMidiSettings);
  const IMenuEntry* online = menu.Item(kGoOnline);
  if (midi != nullptr && chosen == midi->Submenu()) return kMidiSubmenuFirstCode + item;
  if (online != nullptr && chosen == online->Submenu()) return kOnlineSubmenuFirstCode + item;
  return -1;
}

void ISMOptionMenu::OnMouseDown(int x, int y, const IMouseState&) {
  IGraphics* graphics = GetGUI();
  if (synth_ == nullptr || graphics == nullptr) return;
  const std::unique_ptr<IMenuModel> menu = BuildMenu();
  const IMenuModel* chosen = graphics->ShowPopupMenu(menu.get(), IBounds(x, y, x, y));
  if (chosen == nullptr) return;
  const int code = CodeOf(*menu, chosen, chosen->ChosenItem());
  if (code >= 0) RunUtilityAction(*synth_, *graphics, code);
}
