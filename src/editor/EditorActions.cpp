#include "editor/EditorActions.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "editor/IGraphics.h"
#include "engine/ProgramState.h"
#include "engine/Tarvolin.h"

namespace EditorActions {

void StepProgram(Tarvolin& synth, bool previous) {
  const int count = synth.NPrograms();
  if (count <= 0) return;
  const int next = (synth.CurrentProgram() + (previous ? count - 1 : 1)) % count;
  synth.SelectProgram(next);
}

void RunUtilityAction(Tarvolin& synth, IGraphics& graphics, int code) {
  switch (code) {
    case kCopyProgram:
      synth.CopyProgram();
      break;
    case kPasteProgram:
      if (graphics.ShowMessage("Do you really want to overwrite the current program?", "Paste Program",
                               IGraphics::kMessageYesNo) == IGraphics::kAnswerYes) {
        synth.PasteProgram();
      }
      break;
    case kInitProgram:
      if (graphics.ShowMessage("Do you really want to initialize the current program?", "Initialize Program",
                               IGraphics::kMessageYesNo) == IGraphics::kAnswerYes) {
        synth.InitCurrentProgram();
      }
      break;
    default:
      break;
  }
}

void StepWaveTable(Tarvolin& synth, IGraphics& graphics, int oscillator, bool previous) {
  if (oscillator < 0 || oscillator > 2) return;
  const int index = ProgramState::kWaveTableParameters[static_cast<std::size_t>(oscillator)];
  std::optional<std::uint16_t> identifier;
  {
    PluginLock lock(synth.PluginMutex());
    const WaveTableCatalogue& catalogue = synth.WaveTables().Catalogue();
    catalogue.RefreshUserNames();
    const auto current = catalogue.FindByIdentifier(static_cast<std::int64_t>(std::trunc(synth.GetParam(index)->Value())));
    if (!current.has_value()) return;
    const int count = catalogue.EntryCount();
    int n = current->ordinal;
    // Built-in tables always have names, so this ends within one round.
    for (int tries = 0; tries < count; ++tries) {
      n = previous ? (n + count - 1) % count : (n + 1) % count;
      const auto entry = catalogue.EntryAt(n);
      if (entry.has_value() && !entry->name.empty()) {
        identifier = entry->identifier;
        break;
      }
    }
  }
  if (!identifier.has_value()) return;
  synth.SelectWaveTable(oscillator, *identifier);
  graphics.SetParameterFromPlugin(index, *identifier / 65535.0, true);
}

}  // namespace EditorActions
