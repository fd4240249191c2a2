#include "platform/files.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace platform {

namespace {
HANDLE Native(const FileHandle& file) { return reinterpret_cast<HANDLE>(file.value); }
FileHandle FromNative(HANDLE handle) {
    return FileHandle{handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle)};
}
}  // namespace

bool PathExists(const std::wstring& path) {
    // A trailing separator must not hide a plain file of that name.
    std::wstring trimmed = path;
    while (trimmed.size() > 3 && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
    return ::PathFileExistsW(trimmed.c_str()) != FALSE;
}

PathAttributes QueryAttributes(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    return {true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

bool CreateFolderTree(const std::wstring& path) {
    return ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS;
}

FileHandle OpenFileForRead(const std::wstring& path) {
    return FromNative(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle OpenFileForSharedRead(const std::wstring& path) {
    return FromNative(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

OpenFileFacts DescribeOpenFile(const FileHandle& file) {
    // The standard information alone: the full one also asks for the volume's serial number,
    // which under Wine is a round trip to the mount manager's process for every file served.
    FILE_STANDARD_INFO info;
    if (!file.Valid() || ::GetFileType(Native(file)) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandleEx(Native(file), FileStandardInfo, &info, sizeof info) || info.Directory)
        return {};
    return {true, static_cast<std::int64_t>(info.EndOfFile.QuadPart)};
}

FileReadResult ReadOnce(const FileHandle& file, void* buffer, std::uint32_t length) {
    DWORD read = 0;
    if (!::ReadFile(Native(file), buffer, length, &read, nullptr)) return {};
    return {true, static_cast<std::uint32_t>(read)};
}

FileReadResult ReadAt(const FileHandle& file, std::int64_t offset, void* buffer, std::uint32_t length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD read = 0;
    if (!::ReadFile(Native(file), buffer, length, &read, &at)) return {};
    return {true, static_cast<std::uint32_t>(read)};
}

void CloseFile(FileHandle& file) {
    if (file.Valid()) ::CloseHandle(Native(file));
    file.value = -1;
}

bool AppendToFile(const std::wstring& path, const void* data, std::size_t length) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const char* bytes = static_cast<const char*>(data);
    bool ok = true;
    while (length > 0) {
        DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
            ok = false;
            break;
        }
        bytes += written;
        length -= written;
    }
    ::CloseHandle(file);
    return ok;
}

bool DeleteFileAt(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        entries.push_back({found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

}  // namespace platform
