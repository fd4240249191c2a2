#include "storage/data_folders.h"

#include "platform/files.h"
#include "platform/known_folder.h"

namespace storage {

namespace {
constexpr wchar_t Sep = platform::PathSeparator;
}

std::wstring LocalDataFolderFrom(const std::wstring& knownFolder) {
    return knownFolder.empty() ? std::wstring(L".") : knownFolder;
}

std::wstring LocalDataFolder() { return LocalDataFolderFrom(platform::LocalAppDataFolder()); }

std::wstring WebRootPath() {
    return LocalDataFolder() + Sep + L"Quarvel" + Sep + L"Web" + Sep;
}

std::wstring LogFolderPath() {
    return LocalDataFolder() + Sep + L"Quarvel" + Sep + L"Log" + Sep;
}

std::wstring LogFilePath() { return LogFolderPath() + LogFileName; }

bool EnsureFolder(const std::wstring& path) {
    if (platform::PathExists(path)) return true;
    return platform::CreateFolderTree(path);
}

}  // namespace storage
