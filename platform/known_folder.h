#pragma once
#include <string>

namespace platform {

// The user's local application data folder: FOLDERID_LocalAppData on Windows,
// $XDG_DATA_HOME or else $HOME/.local/share on POSIX. Empty when the system gives none.
std::wstring LocalAppDataFolder();

}  // namespace platform
