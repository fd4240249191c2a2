#include "platform/known_folder.h"

#include <windows.h>
#include <shlobj.h>

namespace platform {

std::wstring LocalAppDataFolder() {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path != nullptr)
        result = path;
    ::CoTaskMemFree(path);
    return result;
}

}  // namespace platform
