#pragma once

#include <string>

// Path of a file under the shared test data (real-world tuning, wave and SysEx files).
std::string TestDataPath(const std::string& relative);
// Path of a file in the source tree.
std::string SourcePath(const std::string& relative);
// Path of the built plug-in library.
std::string PluginPath();
// The home folder every test program runs with (also holding XDG_CONFIG_HOME, "config"): made
// fresh for the program and removed when it ends.
std::string TestHomeFolder();
