#include "platform/known_folder.h"

#include <cstdlib>

#include "platform/text.h"

namespace platform {

std::wstring LocalAppDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg != '\0') return Utf8ToWide(xdg);
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return Utf8ToWide(std::string(home) + "/.local/share");
    return {};
}

}  // namespace platform
