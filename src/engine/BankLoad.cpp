#include "engine/BankLoad.h"

#include <utility>

#include "engine/Tarvolin.h"
#include "tuning/Temperaments.h"

std::unique_ptr<BankLoad> BankLoad::Prepare(Tarvolin& plug, const ChunkBuffer& chunk, int pos) {
  auto load = std::make_unique<BankLoad>();
  ProgramState::Image image;
  std::array<std::string, kSlots> names;
  std::array<bool, kSlots> initialised{};
  std::array<std::shared_ptr<const PreparedState>, kSlots> prepared;
  std::shared_ptr<const PreparedState> currentState;
  {
    PluginLock lock(plug.PluginMutex());
    load->current_ = plug.CurrentProgram();
    image = ProgramState::Look(plug);
    for (int i = 0; i < kSlots && i < plug.NPrograms(); ++i) {
      const ProgramSlot& slot = *plug.GetProgram(i);
      names[static_cast<std::size_t>(i)] = slot.name;
      initialised[static_cast<std::size_t>(i)] = slot.initialised;
      prepared[static_cast<std::size_t>(i)] = slot.prepared;
    }
    // A slot of this instrument always carries its prepared state; read the bytes should it not.
    const ProgramSlot* current = plug.GetProgram(load->current_);
    if (current != nullptr && current->initialised && !current->prepared) {
      currentState = ProgramState::Prepare(current->state, 0);
    }
  }
  const auto c = static_cast<std::size_t>(load->current_);
  if (!currentState && c < prepared.size()) currentState = prepared[c];

  const auto noteTemperament = [&load](const ProgramState::Image& now) {
    if (now.selection != Temperaments::kUser) load->lastTemperament_ = now.selection;
  };
  const auto store = [&](std::size_t i) {
    Slot& slot = load->slots_[i];
    slot.change = Slot::kStored;
    slot.initialised = true;
    slot.state.Clear();
    ProgramState::WriteImage(image, plug, load->current_, c < names.size() ? names[c] : std::string(), slot.state);
    slot.prepared = ProgramState::FromImage(image, slot.state.Size());
    initialised[i] = true;
    prepared[i] = slot.prepared;
    if (i == c) currentState = slot.prepared;
  };

  for (std::size_t i = 0; i < kSlots && i < static_cast<std::size_t>(plug.NPrograms()); ++i) {
    if (pos < 0) break;
    Slot& slot = load->slots_[i];
    std::string name = names[i];
    pos = chunk.GetStr(&name, pos);
    if (name.size() > ProgramSlot::kMaxNameLength) name.resize(ProgramSlot::kMaxNameLength);
    names[i] = name;
    slot.change = Slot::kName;
    slot.name = name;
    std::uint8_t flag = 0;
    pos = chunk.Get(&flag, pos);
    if (pos < 0) break;
    if (flag == 0) {
      slot.change = Slot::kEmptied;
      initialised[i] = false;
      prepared[i].reset();
      if (i == c) currentState.reset();
      continue;
    }
    const auto state = ProgramState::Prepare(chunk, pos);
    ProgramState::ApplyTo(image, *state, plug);
    noteTemperament(image);
    pos = state->end;
    // A state that cannot be read leaves the slot's own state and flag as they were: an
    // initialised slot always holds a state that reads back.
    if (pos <= 0) break;
    store(i);
  }
  load->end_ = pos;

  // The current program is recalled; one that the bank left empty takes the sound playing now.
  bool slotRead = false;
  if (c < initialised.size() && initialised[c] && currentState) {
    const auto& state = static_cast<const ProgramState::Prepared&>(*currentState);
    ProgramState::ApplyTo(image, state, plug);
    noteTemperament(image);
    load->recalled_ = state.end > 0;
    slotRead = state.slotRead;
  } else if (c < initialised.size()) {
    int count = 0;
    for (const std::string& n : names) {
      if (n.find("user preset") != std::string::npos) ++count;
    }
    names[c] = "user preset " + std::to_string(count + 1);
    load->slots_[c].name = names[c];
    store(c);
    load->recalled_ = true;
  }
  load->final_ = ProgramState::WholeImage(image, slotRead);
  if (!plug.Constructing()) ProgramState::PrepareTables(*load->final_, plug);
  return load;
}

bool BankLoad::Apply(Tarvolin& plug, int* end) {
  PluginLock lock(plug.PluginMutex());
  if (plug.CurrentProgram() != current_) return false;
  for (int i = 0; i < kSlots && i < plug.NPrograms(); ++i) {
    Slot& from = slots_[static_cast<std::size_t>(i)];
    if (from.change == Slot::kNone) continue;
    ProgramSlot& to = *plug.GetProgram(i);
    // Swapped, not moved: what the slot held leaves with this object, after the lock is released.
    std::swap(to.name, from.name);
    if (from.change == Slot::kName) continue;
    to.initialised = from.change == Slot::kStored;
    std::swap(to.state, from.state);
    std::swap(to.prepared, from.prepared);
  }
  // The importer of the tuning files ends as the programs on the way left it.
  if (lastTemperament_ >= 0 && final_->tuning.selection == Temperaments::kUser) {
    plug.Tuning().SelectTuning(lastTemperament_);
  }
  plug.ApplyProgramState(*final_);
  if (recalled_) {
    plug.OnProgramsChangedByHost();
    plug.RefreshParameterControls();
  }
  *end = end_;
  return true;
}
