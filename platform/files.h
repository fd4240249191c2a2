#pragma once
// Thin file layer. Paths are wide strings on every system; on POSIX they are handed to the
// system as UTF-8.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
inline constexpr wchar_t PathSeparator = L'\\';
#else
inline constexpr wchar_t PathSeparator = L'/';
#endif

struct FileHandle {
    std::intptr_t value = -1;
    bool Valid() const { return value != -1; }
};

struct PathAttributes {
    bool exists = false;
    bool directory = false;
};

bool PathExists(const std::wstring& path);
PathAttributes QueryAttributes(const std::wstring& path);  // exists=false when it cannot be queried
// Makes the folder with every missing parent; true on success.
bool CreateFolderTree(const std::wstring& path);

// Opens an existing file for reading, never creating one (Windows: read sharing only).
// Does not block on a FIFO or device. Invalid handle when missing, refused or a bad name.
FileHandle OpenFileForRead(const std::wstring& path);
// The same, denying no other reader, writer or deleter on Windows: for the log file.
FileHandle OpenFileForSharedRead(const std::wstring& path);
// Whether the file is a regular disk file (not a device, pipe or folder) and its size, from
// one query of the system.
struct OpenFileFacts {
    bool regular = false;
    std::optional<std::int64_t> size;
};
OpenFileFacts DescribeOpenFile(const FileHandle& file);
struct FileReadResult {
    bool ok = false;
    std::uint32_t bytesRead = 0;
};
FileReadResult ReadOnce(const FileHandle& file, void* buffer, std::uint32_t length);
// Reads from the given offset; the same result as ReadOnce.
FileReadResult ReadAt(const FileHandle& file, std::int64_t offset, void* buffer, std::uint32_t length);
void CloseFile(FileHandle& file);

// Appends the bytes to the file, creating it when missing, in one write; other readers and
// writers are not denied. False when the file cannot be opened or written. POSIX: a write that
// a full volume takes only in part is cut off again, so no part of the bytes stays behind.
bool AppendToFile(const std::wstring& path, const void* data, std::size_t length);
bool DeleteFileAt(const std::wstring& path);

struct FolderEntry {
    std::wstring name;
    bool directory = false;
};
// The entries of a folder in the system's order ("." and ".." included where the system
// gives them); empty when the folder cannot be listed.
std::vector<FolderEntry> ListFolder(const std::wstring& folder);

}  // namespace platform
