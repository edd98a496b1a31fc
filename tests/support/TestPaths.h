#pragma once

#include <string>

// Path of a file under the shared test data (real-world tuning, wave and SysEx files).
std::string TestDataPath(const std::string& relative);
// Path of a file in the source tree.
std::string SourcePath(const std::string& relative);
// Path of the built plug-in library.
std::string PluginPath();
