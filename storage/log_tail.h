#pragma once
// The end of the log file: its last lines, as the log viewer shows them.
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace storage {

inline constexpr std::size_t LogTailLines = 50;

// Collects the last LogTailLines lines of a byte stream fed in pieces of any size. A line
// ends at a line feed, which is not part of it; one carriage return right before the line
// end is dropped, any other stays. A last line without a line feed counts; a final line feed
// adds no empty line after it.
class LogTail {
public:
    void Feed(std::string_view bytes);
    // The lines, oldest first, the unfinished last line included.
    std::vector<std::string> Finish();

private:
    void Keep(std::string line);

    std::deque<std::string> lines_;
    std::string pending_;
};

// The last LogTailLines lines of the file, oldest first; empty when it cannot be opened. Only
// the end of the file is read, without denying other readers, writers or deleters.
std::vector<std::string> ReadLogTail(const std::wstring& path);

}  // namespace storage
