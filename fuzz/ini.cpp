// The configuration file's text: read as the synthesizer reads it, changed as its menu commands
// change it, and written back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "synth/Configuration.h"
#include "synth/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::FromText(text);
  // Nothing is lost or added by reading and writing back.
  if (ini.ToText() != text) std::abort();
  Configuration config;
  Configuration::MidiSettings settings;
  settings.controllerMap.fill(-1);
  config.ReadFrom(ini, &settings);
  // Paths are read whole.
  constexpr std::size_t kWhole = std::string::npos;
  if (config.StartupBankPath() != ini.Get("Startup Bank", "File", "", kWhole)) std::abort();
  ini.RemoveKeys("Startup Bank");
  ini.Set("Startup Bank", "File", config.StartupBankPath());
  ini.Set("MIDI Global", "MIDI Thru", settings.midiThru ? "true" : "false");
  ini.RemoveKeys("MIDI Control");
  ini.Set("MIDI Control", "CC7", "78");
  const IniFile back = IniFile::FromText(ini.ToText());
  if (back.Get("MIDI Control", "CC7", "", 64) != "78") std::abort();
  if (back.Get("Startup Bank", "File", "x", kWhole) != ini.Get("Startup Bank", "File", "y", kWhole)) std::abort();
  return 0;
}
