#pragma once

#include <string>

class HostedPlugin;

// FXP program files and FXB bank files as a host loads and saves them for a plug-in: the header is
// read and written here, the chunk goes through effGetChunk / effSetChunk, parameter-list files
// through the parameter entries. Headers are big-endian; byte sizes follow the published format
// (the size of the rest of the file after the first eight bytes).
namespace FxFiles {

// Loads a program file into the plug-in's current program. Answers false with a message for a file
// that cannot be read, is not an FXP, or belongs to another plug-in.
bool LoadProgram(HostedPlugin& plug, const std::string& path, std::string* error);
// Loads a bank file into the plug-in's programs.
bool LoadBank(HostedPlugin& plug, const std::string& path, std::string* error);
// Saves the current program or all programs: opaque chunks when the plug-in uses them, parameter
// lists otherwise.
bool SaveProgram(HostedPlugin& plug, const std::string& path, std::string* error);
bool SaveBank(HostedPlugin& plug, const std::string& path, std::string* error);

}  // namespace FxFiles
