#pragma once
// Where the program keeps its data: the web root and the log folder below the user's local
// application data folder. Every path is computed afresh at each call.
#include <string>

namespace storage {

// The known folder as given, or "." when it is empty.
std::wstring LocalDataFolderFrom(const std::wstring& knownFolder);

std::wstring LocalDataFolder();
std::wstring WebRootPath();    // ends with the separator
std::wstring LogFolderPath();  // ends with the separator
std::wstring LogFilePath();
inline constexpr const wchar_t* LogFileName = L"Quarvel.log";

// Succeeds at once when something (even a plain file) stands at path; otherwise creates the
// folder with all its missing parents and reports whether that worked.
bool EnsureFolder(const std::wstring& path);

}  // namespace storage
