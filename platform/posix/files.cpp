#include "platform/files.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace platform {

namespace {
std::string Native(const std::wstring& path) { return WideToUtf8(path); }
int Fd(const FileHandle& file) { return static_cast<int>(file.value); }
}  // namespace

bool PathExists(const std::wstring& path) {
    // A trailing separator must not hide a plain file of that name, as on Windows.
    std::string native = Native(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    struct stat info;
    return ::stat(native.c_str(), &info) == 0;
}

PathAttributes QueryAttributes(const std::wstring& path) {
    struct stat info;
    if (::stat(Native(path).c_str(), &info) != 0) return {};
    return {true, S_ISDIR(info.st_mode)};
}

bool CreateFolderTree(const std::wstring& path) {
    std::string native = Native(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    if (native.empty()) return false;
    for (std::size_t i = 1; i <= native.size(); ++i) {
        if (i != native.size() && native[i] != '/') continue;
        std::string prefix = native.substr(0, i);
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat info;
    return ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileHandle OpenFileForRead(const std::wstring& path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; regular files ignore it.
    int fd = ::open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return FileHandle{fd < 0 ? -1 : fd};
}

FileHandle OpenFileForSharedRead(const std::wstring& path) { return OpenFileForRead(path); }

OpenFileFacts DescribeOpenFile(const FileHandle& file) {
    struct stat info;
    if (!file.Valid() || ::fstat(Fd(file), &info) != 0) return {};
    return {S_ISREG(info.st_mode), static_cast<std::int64_t>(info.st_size)};
}

FileReadResult ReadOnce(const FileHandle& file, void* buffer, std::uint32_t length) {
    for (;;) {
        ssize_t n = ::read(Fd(file), buffer, length);
        if (n >= 0) return {true, static_cast<std::uint32_t>(n)};
        if (errno != EINTR) return {};
    }
}

FileReadResult ReadAt(const FileHandle& file, std::int64_t offset, void* buffer, std::uint32_t length) {
    for (;;) {
        ssize_t n = ::pread(Fd(file), buffer, length, static_cast<off_t>(offset));
        if (n >= 0) return {true, static_cast<std::uint32_t>(n)};
        if (errno != EINTR) return {};
    }
}

void CloseFile(FileHandle& file) {
    if (file.Valid()) ::close(Fd(file));
    file.value = -1;
}

bool AppendToFile(const std::wstring& path, const void* data, std::size_t length) {
    int fd = ::open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    const char* bytes = static_cast<const char*>(data);
    std::size_t written = 0;
    bool ok = true;
    while (written < length) {
        ssize_t n = ::write(fd, bytes + written, length - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    // A full volume can take the first part of a write and refuse the rest; that part is cut
    // off again, so that the next append does not run on from it. Each append moved the offset
    // to the end of what it wrote, so the line began written bytes before it.
    if (!ok && written > 0) {
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end >= static_cast<off_t>(written)) (void)::ftruncate(fd, end - static_cast<off_t>(written));
    }
    ::close(fd);
    return ok;
}

bool DeleteFileAt(const std::wstring& path) { return ::unlink(Native(path).c_str()) == 0; }

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    std::string native = Native(folder);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return entries;
    if (!native.empty() && native.back() != '/') native += '/';
    while (dirent* entry = ::readdir(dir)) {
        struct stat info;
        bool isDirectory = ::stat((native + entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        entries.push_back({Utf8ToWide(entry->d_name), isDirectory});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace platform
