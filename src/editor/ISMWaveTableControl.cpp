#include "editor/ISMWaveTableControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "editor/IGraphics.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "tuning/TextScan.h"
#include "wavetable/WaveTableImport.h"

namespace {

constexpr IArgb kColourOn(192, 64, 212, 255);
constexpr IArgb kColourOff(192, 144, 128, 112);
constexpr int kLoadItems = 3;

struct OscillatorParams {
  int on, shape, mode, startPhase;
};
constexpr OscillatorParams kParams[3] = {
    {param::kOsc1On, param::kWaveShape1, param::kWaveMode1, param::kStartPhase1},
    {param::kOsc2On, param::kWaveShape2, param::kWaveMode2, param::kStartPhase2},
    {param::kOsc3On, param::kWaveShape3, param::kWaveMode3, param::kStartPhase3},
};

}  // namespace

ISMWaveTableControl::Preview ISMWaveTableControl::ComputePreview(const PreviewInput& in, int top) {
  Preview out;
  const int count = std::max(in.waveCount, 1);
  const double shape = std::clamp(std::isnan(in.shape) ? 0.0 : in.shape, 0.0, 1.0);
  const double position = (count - 1) * shape;
  const int wave = static_cast<int>(in.raw ? std::round(position) : std::floor(position));
  const double fraction = position - std::floor(position);
  out.wave = wave;
  out.fraction = fraction;
  char number[32];
  std::snprintf(number, sizeof number, "%0.f", std::round(position) + 1.0);
  out.number = number;

  // Only waves the level holds are read; anything else reads as silence.
  const int readable = in.valid && in.samples != nullptr ? std::min(count, in.storedWaves) : 0;
  const auto sample = [&](int w, int i) -> double {
    if (w < 0 || w >= readable) return 0.0;
    return in.samples[static_cast<std::size_t>(w) * kWaveLength + static_cast<std::size_t>(i)] / 32767.0;
  };
  // Saw, Pulse and Full PWM are played as two reads of one wave, the second one shifted by the
  // shape; the preview mixes them as the oscillator does.
  int offset = 0;
  if (in.identifier == 0) offset = static_cast<int>(std::floor(shape * 1024.0));
  else if (in.identifier == 1) offset = static_cast<int>((1.0 - shape) * 1024.0);
  else if (in.identifier == 2) offset = static_cast<int>(std::floor((shape + 0.5) * 2048.0));
  const int next = std::min(wave + 1, count - 1);

  const float start = 2048.0f * static_cast<float>(std::clamp(in.startPhase, 0.0, 1.0));
  for (int j = 0; j < kPoints; ++j) {
    const float p = start + static_cast<float>(j) * 21.113401f;
    const int i = (static_cast<int>(std::floor(p)) + 2048) & (kWaveLength - 1);
    double v;
    switch (in.identifier) {
      case 0:
        v = (sample(wave, i) + sample(wave, (i + offset) & (kWaveLength - 1))) * 0.5;
        break;
      case 1:
      case 2:
        v = (sample(wave, i) - sample(wave, (i + offset) & (kWaveLength - 1))) * 0.75;
        break;
      default:
        v = in.raw ? sample(wave, i) : sample(wave, i) * (1.0 - fraction) + sample(next, i) * fraction;
        break;
    }
    out.y[static_cast<std::size_t>(j)] =
        static_cast<int>(static_cast<float>(top + 28) - 16.0f * static_cast<float>(v));
  }
  return out;
}

ISMWaveTableControl::ISMWaveTableControl(Tarvolin* synth, int x2, int paramIdx)
    : IControl(synth, IBounds(x2 / 2, 92, x2 / 2 + 100, 156), paramIdx),
      synth_(synth),
      oscillator_(std::max(WaveTableStore::OscillatorOfParameter(paramIdx), 0)),
      colour_(kColourOn) {
  nameRect_ = IBounds(rect_.L + 4, rect_.B - 14, rect_.R - 4, rect_.B - 2);
  numberRect_ = IBounds(rect_.R - 20, rect_.T, rect_.R - 2, rect_.T + 12);
  text_ = ITextStyle("Arial", 12, colour_);
}

bool ISMWaveTableControl::Draw(IGraphics& graphics) {
  if (synth_ == nullptr) return false;
  const OscillatorParams& ids = kParams[oscillator_];
  PreviewInput in;
  // The table's levels are shared and never change once built: holding them keeps them alive, so
  // the lock covers only taking the snapshot, not the drawing.
  std::shared_ptr<const WaveLevels> levels;
  bool on = true;
  {
    PluginLock lock(synth_->PluginMutex());
    const WaveTableStore& store = synth_->WaveTables();
    const WaveTable& table = store.Table(oscillator_);
    levels = table.Levels();
    in.valid = table.IsValid();
    in.identifier = table.Identifier();
    in.waveCount = table.WaveCount();
    in.samples = levels != nullptr ? table.Level(0) : nullptr;
    in.storedWaves = levels != nullptr ? levels->waveCount : 0;
    in.shape = synth_->GetParam(ids.shape)->Value();
    in.raw = synth_->GetParam(ids.mode)->Value() >= 0.5;
    in.startPhase = synth_->GetParam(ids.startPhase)->GetNormalised();
    on = synth_->GetParam(ids.on)->Value() >= 0.5;
    drawnLevels_ = levels;
    drawnIdentifier_ = in.identifier;
    drawnValid_ = in.valid;
    store.Catalogue().RefreshUserNames();
    const auto entry =
        store.Catalogue().FindByIdentifier(static_cast<std::int64_t>(std::trunc(synth_->GetParam(paramIdx_)->Value())));
    shownName_ = entry.has_value() ? entry->name : std::string();
  }
  const Preview preview = ComputePreview(in, rect_.T);
  colour_ = on ? kColourOn : kColourOff;
  const IBlendMode blend(IBlendMode::kNone, 1.0f);
  for (int j = 1; j < kPoints; ++j) {
    graphics.DrawLine(colour_, rect_.L + j + 1, preview.y[static_cast<std::size_t>(j - 1)], rect_.L + j + 2,
                      preview.y[static_cast<std::size_t>(j)], &blend);
  }
  text_.colour = colour_;
  shownNumber_ = preview.number;
  // A user table's file name may be longer than the display is wide.
  const std::string name = graphics.FitStyledText(&text_, shownName_, nameRect_.W());
  const bool named = graphics.DrawStyledText(&text_, name.c_str(), nameRect_);
  const bool numbered = graphics.DrawStyledText(&text_, shownNumber_.c_str(), numberRect_);
  return named && numbered;
}

bool ISMWaveTableControl::FindDirtyArea() {
  // Looked at once per tick; when the lock is busy (the audio thread renders), at the next one.
  if (!dirty_ && synth_ != nullptr) {
    std::unique_lock<PriorityInheritingMutex> lock(synth_->PluginMutex(), std::try_to_lock);
    if (lock.owns_lock()) {
      const WaveTable& table = synth_->WaveTables().Table(oscillator_);
      const bool sameLevels = !drawnLevels_.owner_before(table.Levels()) && !table.Levels().owner_before(drawnLevels_);
      if (!sameLevels || table.Identifier() != drawnIdentifier_ || table.IsValid() != drawnValid_) dirty_ = true;
    }
  }
  return dirty_;
}

void ISMWaveTableControl::OnMouseDown(int x, int y, const IMouseState& mouse) {
  IGraphics* graphics = GetGUI();
  if (graphics == nullptr || synth_ == nullptr) return;
  if (mouse.R || mouse.C || mouse.S) {
    ShowCopyMenu(*graphics, x, y);
  } else {
    ShowWaveTableMenu(*graphics, x, y);
  }
}

void ISMWaveTableControl::ShowCopyMenu(IGraphics& graphics, int x, int y) {
  IMenuModel menu;
  for (int k = 0; k < 3; ++k) {
    menu.AddItem("Copy Settings to Oscillator " + std::to_string(k + 1), -1,
                 k == oscillator_ ? IMenuEntry::kDisabled : 0);
  }
  if (graphics.ShowPopupMenu(&menu, IBounds(x, y, x, y)) != &menu) return;
  const int k = menu.ChosenItem();
  if (k < 0 || k >= 3 || k == oscillator_) return;
  synth_->CopyOscillatorSettings(oscillator_, k);
}

void ISMWaveTableControl::ShowWaveTableMenu(IGraphics& graphics, int x, int y) {
  // The catalogue is read under the lock; the menu is shown without it.
  std::vector<WaveTableCatalogue::Entry> entries;
  std::array<std::string, WaveTableCatalogue::kGroupCount> groups;
  std::int64_t current = 0;
  {
    PluginLock lock(synth_->PluginMutex());
    const WaveTableCatalogue& catalogue = synth_->WaveTables().Catalogue();
    catalogue.RefreshUserNames();
    for (int n = 0; n < catalogue.EntryCount(); ++n) {
      if (const auto entry = catalogue.EntryAt(n)) entries.push_back(*entry);
    }
    for (int g = 0; g < catalogue.GroupCount(); ++g) groups[static_cast<std::size_t>(g)] = catalogue.GroupName(g);
    current = static_cast<std::int64_t>(std::trunc(synth_->GetParam(paramIdx_)->Value()));
  }
  const std::size_t userGroup = groups.size() - 1;

  IMenuModel menu;
  std::array<IMenuModel*, WaveTableCatalogue::kGroupCount> submenus{};
  // The identifier behind each item of each submenu.
  std::array<std::vector<std::int32_t>, WaveTableCatalogue::kGroupCount> identifiers;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    submenus[g] = menu.AddSubmenu(groups[g], std::make_unique<IMenuModel>())->Submenu();
  }
  for (const WaveTableCatalogue::Entry& entry : entries) {
    if (entry.group >= groups.size()) continue;
    IMenuModel* submenu = submenus[entry.group];
    if (entry.name.empty()) {
      submenu->AddItem("[not defined]", -1, IMenuEntry::kDisabled);
    } else {
      submenu->AddItem(entry.name, -1, entry.identifier == (current & 0xFFFF) ? IMenuEntry::kChecked : 0);
    }
    identifiers[entry.group].push_back(entry.identifier);
  }
  IMenuModel* user = submenus[userGroup];
  user->AddSeparator();
  identifiers[userGroup].push_back(-1);
  const int firstLoad = user->NItems();
  for (int s = 1; s <= kLoadItems; ++s) user->AddItem("Load Wave Table " + std::to_string(s) + "...");

  IMenuModel* chosen = graphics.ShowPopupMenu(&menu, IBounds(x, y, x, y));
  if (chosen == nullptr) return;
  const int item = chosen->ChosenItem();
  if (chosen == user && item >= firstLoad && item < firstLoad + kLoadItems) {
    LoadUserWaveTable(graphics, item - firstLoad + 1);
    return;
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (chosen != submenus[g]) continue;
    if (item < 0 || static_cast<std::size_t>(item) >= identifiers[g].size() || identifiers[g][item] < 0) return;
    const std::int32_t identifier = identifiers[g][static_cast<std::size_t>(item)];
    // Built here, so that the oscillator plays and the display shows the new table at once.
    synth_->PrepareWaveTable(identifier);
    SetValueFromUser(identifier / kIdentifierScale);
    return;
  }
}

bool ISMWaveTableControl::DescribeFile(IGraphics& graphics, const std::string& path) {
  const WaveTableFileDescription description = DescribeWaveTableFile(path);
  // A WAV that is not a readable mono file is refused without a word here (the failure follows).
  if (!description.accepted && TUN::text::EqualsIgnoringCase(ExtensionOfPath(path), ".wav")) return false;
  graphics.ShowMessage(description.text.c_str(), "Load Wave Table", IGraphics::kMessageOk);
  return description.accepted;
}

void ISMWaveTableControl::LoadUserWaveTable(IGraphics& graphics, int slot) {
  std::string path;
  graphics.AskForFile(path, 0, synth_->FileDialogFolder(), "wav syx");
  if (path.empty()) return;
  if (!DescribeFile(graphics, path) || !synth_->LoadUserWaveTable(slot - 1, path)) {
    graphics.ShowMessage("Cannot load file!", "Error", IGraphics::kMessageOk);
    return;
  }
  SetValueFromUser((65530.0 + slot) / kIdentifierScale);
  // Every oscillator's table is set again, so that each one built from a user slot shows and plays
  // its current content.
  for (int i = 0; i < graphics.NControls(); ++i) {
    if (auto* display = dynamic_cast<ISMWaveTableControl*>(graphics.GetControl(i))) display->MarkDirty(true);
  }
}
