#include "storage/log_tail.h"

#include <algorithm>
#include <iterator>

#include "platform/files.h"

namespace storage {

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


// Reads the part of the file that holds its last LogTailLines lines into chunks, last chunk
// first: backwards from the end to just after the line feed that precedes those lines, so
// that the cost does not grow with the log.
void ReadTailChunks(const platform::FileHandle& file, std::int64_t size, std::vector<std::string>& chunks) {
    std::size_t lineFeeds = 0;
    for (std::int64_t end = size; end > 0;) {
        const std::int64_t begin = end - std::min<std::int64_t>(end, ReadChunkBytes);
        std::string& chunk = chunks.emplace_back(static_cast<std::size_t>(end - begin), '\0');
        const platform::FileReadResult read =
            platform::ReadAt(file, begin, chunk.data(), static_cast<std::uint32_t>(chunk.size()));
        if (!read.ok || read.bytesRead != chunk.size()) {  // shortened meanwhile: what was read counts
            chunks.pop_back();
            return;
        }
        for (std::size_t i = chunk.size(); i-- > 0;) {
            // The lines after this one hold LogTailLines line feeds, so all the lines wanted.
            if (chunk[i] == '\n' && ++lineFeeds > LogTailLines) {
                chunk.erase(0, i + 1);
                return;
            }
        }
        end = begin;
    }
}
}  // namespace

std::vector<std::string> ReadLogTail(const std::wstring& path) {
    platform::FileHandle file = platform::OpenFileForSharedRead(path);
    if (!file.Valid()) return {};
    std::vector<std::string> chunks;
    if (const std::optional<std::int64_t> size = platform::DescribeOpenFile(file).size)
        ReadTailChunks(file, *size, chunks);
    platform::CloseFile(file);
    LogTail tail;
    for (auto chunk = chunks.rbegin(); chunk != chunks.rend(); ++chunk) tail.Feed(*chunk);
    return tail.Finish();
}

}  // namespace storage
