#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "editor/IArgb.h"
#include "editor/IControl.h"

class Tarvolin;
struct WaveLevels;

// An oscillator's wave-table display: a preview of the wave the oscillator starts with, the table's
// name and the wave number. A left click opens the wave-table menu (the catalogue by group, and the
// loading of user wave tables); the right button, Ctrl or Shift opens the menu that copies this
// oscillator's settings to another one. Bound to the oscillator's Wave Table parameter.
class ISMWaveTableControl : public IControl {
 public:
  static constexpr int kPoints = 97;
  static constexpr double kIdentifierScale = 65535.0;

  // The oscillator's level-0 samples and settings the preview is drawn from.
  struct PreviewInput {
    bool valid = false;
    std::int32_t identifier = 0;  // the table's (-1 for one built from a user slot)
    std::int32_t waveCount = 1;
    const std::int16_t* samples = nullptr;  // level 0, storedWaves * 2048 samples
    std::int32_t storedWaves = 0;
    double shape = 0.0;       // Wave Shape, 0 ... 1
    bool raw = false;         // Wave Mode "Raw"
    double startPhase = 0.0;  // Start Phase, normalised
  };
  // What the preview shows: the rows of its 97 points (x = L + j + 2) for a rect whose top is top,
  // the wave drawn and the wave number shown.
  struct Preview {
    std::array<int, kPoints> y{};
    int wave = 0;
    double fraction = 0.0;
    std::string number;
  };
  static Preview ComputePreview(const PreviewInput& input, int top);

  // paramIdx: an oscillator's Wave Table parameter (11, 30, 50); x2: the left edge at twice the
  // scale. The displays share one row.
  ISMWaveTableControl(Tarvolin* synth, int x2, int paramIdx);

  bool Draw(IGraphics& graphics) override;
  void OnMouseDown(int x, int y, const IMouseState& mouse) override;
  // Also dirty when the oscillator's table changed after the last drawing: a table chosen from
  // elsewhere that was still being built then is installed later by the render loop.
  bool FindDirtyArea() override;

  int Oscillator() const { return oscillator_; }
  // The colour of the last drawing: bright while the oscillator is on, dim while it is off.
  const IArgb& Colour() const { return colour_; }
  const IBounds& NameRect() const { return nameRect_; }
  const IBounds& NumberRect() const { return numberRect_; }
  // The catalogue name (drawn cut short where it is wider than the name rect) and the wave number
  // of the last drawing.
  const std::string& ShownName() const { return shownName_; }
  const std::string& ShownNumber() const { return shownNumber_; }

 private:
  void ShowCopyMenu(IGraphics& graphics, int x, int y);
  void ShowWaveTableMenu(IGraphics& graphics, int x, int y);
  // Loads a WAV or SysEx file into user slot 1 ... 3 and plays it on this oscillator.
  void LoadUserWaveTable(IGraphics& graphics, int slot);
  // Shows what the chosen file holds; false when it cannot be loaded.
  bool DescribeFile(IGraphics& graphics, const std::string& path);

  Tarvolin* synth_;
  int oscillator_;
  IBounds nameRect_;
  IBounds numberRect_;
  IArgb colour_;
  std::string shownName_;
  std::string shownNumber_;
  // The table of the last drawing. Compared by owner, so that a new table built where a released
  // one lay is not taken for it.
  std::weak_ptr<const WaveLevels> drawnLevels_;
  std::int32_t drawnIdentifier_ = 0;
  bool drawnValid_ = false;
};
