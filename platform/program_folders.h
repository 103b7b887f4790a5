#pragma once
// Where the desktop program keeps its files. The program's folder holds
// ksgrab.cfg, igntypes.ini, exctypes.ini, fail.txt and the working folder
// "cache": it is the executable's own folder when that can be written to
// (a build tree or an unpacked copy), else the per-user data folder (an
// installed program in a system folder). Paths have no final separator.
#include <string>

namespace kestrelin {

// The folder that holds the running executable, or "." when the system
// cannot tell.
std::string ExecutableFolder();

// $XDG_DATA_HOME/kestrelin, else ~/.local/share/kestrelin.
std::string UserDataFolder();

// $XDG_CACHE_HOME/kestrelin, else ~/.cache/kestrelin: the internet cache.
std::string InternetCacheFolder();

// The user's home folder ("/" when HOME is unset): the first destination.
std::string DefaultDestinationFolder();

// True when files can be created in `folder` (it exists and is writable).
bool IsWritableFolder(const std::string& folder);

// `executableFolder` when it is writable, else UserDataFolder(), which is
// created (with its parents) when missing. Creation failures are not
// reported here: the program's own writes report them later.
std::string ChooseProgramFolder(const std::string& executableFolder);

// The user guide: "help.html" beside the executable (a build tree), else
// "../share/kestrelin/help.html" relative to it (an installed program).
// When neither exists, the first of the two.
std::string FindHelpFile(const std::string& executableFolder);

}  // namespace kestrelin
