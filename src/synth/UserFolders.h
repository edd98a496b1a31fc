#pragma once

#include <string>

// The per-user folders the synthesizer keeps its files in, found the way the Linux desktop
// defines them (XDG base and user directories).
//
//   ConfigurationFolder  $XDG_CONFIG_HOME when set to an absolute path, else $HOME/.config
//   DocumentsFolder      XDG_DOCUMENTS_DIR of user-dirs.dirs in the configuration folder, else
//                        $HOME/Documents when it exists, else $HOME
//   DesktopFolder        XDG_DESKTOP_DIR likewise, else $HOME/Desktop, else $HOME
//
// $HOME falls back to the password database. Every answer is "" when nothing can be found.
namespace UserFolders {

std::string HomeFolder();
std::string ConfigurationFolder();
std::string DocumentsFolder();
std::string DesktopFolder();

// The value user-dirs.dirs text gives for key (e.g. "XDG_DOCUMENTS_DIR"): the quoted value with
// "$HOME" at its start replaced by home and backslash escapes removed; "" when absent or not an
// absolute path.
std::string UserDirFromText(const std::string& text, const std::string& key, const std::string& home);

// Creates folder and any missing parents; answers whether it exists as a folder afterwards.
bool MakeFolders(const std::string& folder);
bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);

}  // namespace UserFolders
