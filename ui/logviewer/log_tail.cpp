#include "ui/logviewer/log_tail.h"

#include <iterator>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/files.h"
#endif

namespace ui::logviewer {

void LogTail::Feed(std::string_view bytes) {
    for (std::size_t lineFeed; (lineFeed = bytes.find('\n')) != std::string_view::npos;) {
        pending_.append(bytes.substr(0, lineFeed));
        Keep(std::move(pending_));
        pending_.clear();
        bytes.remove_prefix(lineFeed + 1);
    }
    pending_.append(bytes);
}

std::vector<std::string> LogTail::Finish() {
    if (!pending_.empty()) Keep(std::move(pending_));
    pending_.clear();
    std::vector<std::string> lines(std::make_move_iterator(lines_.begin()), std::make_move_iterator(lines_.end()));
    lines_.clear();
    return lines;
}

void LogTail::Keep(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    if (lines_.size() > LogTailLines) lines_.pop_front();
}

namespace {
constexpr std::size_t ReadChunkBytes = 64 * 1024;

#ifdef _WIN32
// Opened by the wide path, as the log writer opens it, so that a profile folder with letters
// outside the ANSI code page still names the file. Sharing everything keeps the writer and
// other programs free while the viewer reads.
bool FeedFile(const std::wstring& path, LogTail& tail) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string chunk(ReadChunkBytes, '\0');
    DWORD read = 0;
    while (::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) && read > 0)
        tail.Feed(std::string_view(chunk.data(), read));
    ::CloseHandle(file);
    return true;
}
#else
bool FeedFile(const std::wstring& path, LogTail& tail) {
    platform::FileHandle file = platform::OpenFileForRead(path);
    if (!file.Valid()) return false;
    std::string chunk(ReadChunkBytes, '\0');
    for (;;) {
        const platform::FileReadResult result =
            platform::ReadOnce(file, chunk.data(), static_cast<std::uint32_t>(chunk.size()));
        if (!result.ok || result.bytesRead == 0) break;
        tail.Feed(std::string_view(chunk.data(), result.bytesRead));
    }
    platform::CloseFile(file);
    return true;
}
#endif
}  // namespace

std::vector<std::string> ReadLogTail(const std::wstring& path) {
    LogTail tail;
    if (!FeedFile(path, tail)) return {};
    return tail.Finish();
}

std::wstring LogViewText(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += line;
        joined += "\r\n";
    }
    return platform::Utf8ToWide(joined);
}

}  // namespace ui::logviewer
