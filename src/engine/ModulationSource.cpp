#include "engine/ModulationSource.h"

#include "engine/NumericConversion.h"

namespace {

constexpr const char* kLabels[kModulationSourceCount] = {
    "OFF",  "ON",   "MW",   "PB",   "Note", "MG1",  "MG2",  "Vib",  "MW+",  "PB+", "Note+",
    "Velo", "P-AT", "C-AT", "MG1+", "MG2+", "Vib+", "F-EG", "A-EG", "EG 1", "EG 2"};

constexpr const char* kNames[kModulationSourceCount] = {"Off",
                                                        "On",
                                                        "Modulation Wheel",
                                                        "Pitch Bend",
                                                        "Note",
                                                        "MG 1",
                                                        "MG 2",
                                                        "Vibrato",
                                                        "Modulation Wheel (positive)",
                                                        "Pitch Bend (positive)",
                                                        "Note (positive)",
                                                        "Velocity",
                                                        "Poly After Touch",
                                                        "Channel After Touch",
                                                        "MG 1 (positive)",
                                                        "MG 2 (positive)",
                                                        "Vibrato (positive)",
                                                        "Filter EG",
                                                        "Amp EG",
                                                        "Linear EG 1",
                                                        "Linear EG 2"};

}  // namespace

ModulationSource ModulationSourceFromValue(double value) {
  const std::int32_t index = RoundHalfAwayToInt32(value);
  if (index < 0 || index >= kModulationSourceCount) return ModulationSource::kOff;
  return static_cast<ModulationSource>(index);
}

const char* ModulationSourceLabel(int index) {
  return index >= 0 && index < kModulationSourceCount ? kLabels[index] : "";
}

const char* ModulationSourceName(int index) {
  return index >= 0 && index < kModulationSourceCount ? kNames[index] : "";
}

bool IsInstrumentWideSource(ModulationSource source) {
  return source == ModulationSource::kPitchBend || source == ModulationSource::kModWheelPositive ||
         source == ModulationSource::kChannelAftertouch;
}
