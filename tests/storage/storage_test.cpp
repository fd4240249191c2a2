// The data folder paths, the log writer and the log tail.
#include <set>

#include "storage/log_tail.h"
#include "test_support.h"

using namespace storage;
using namespace testing_support;

TEST(Storage, PathsTimesAndWholeLinesUnderManyWriters) {
    ScopedDataFolder data;
    const std::wstring s(1, platform::PathSeparator), q = data.Root() + s + L"Quarvel" + s;
    EXPECT_EQ(WebRootPath() + L"|" + LogFilePath(), q + L"Web" + s + L"|" + q + L"Log" + s + L"Quarvel.log");
    EXPECT_EQ(FormatLogTimestamp({2025, 3, 7, 9, 5, 3, 42}), "2025-03-07 09:05:03.042");
    WriteLogLine("gone");
    ASSERT_TRUE(RemoveTree(LogFolderPath()));  // made again by the next line
    WriteLogLine("LF\n");
    std::multiset<std::string> expected{"LF\n"};
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        const auto line = [t](int i) { return std::to_string(t * 1000 + i).append(40, 'x'); };
        for (int i = 0; i < 500; ++i) expected.insert(line(i));
        writers.emplace_back([line] { for (int i = 0; i < 500; ++i) WriteLogLine(line(i)); });
    }
    for (std::thread& writer : writers) writer.join();
    const std::string bytes = ReadFileBytes(LogFilePath());
    const std::vector<std::string> lines = SplitCrLfLines(bytes);
    EXPECT_TRUE(bytes.starts_with("LF\n\r\n") && bytes.ends_with("\r\n"));
    EXPECT_TRUE(std::multiset<std::string>(lines.begin(), lines.end()) == expected) << lines.size() << " lines";
}

static std::string Bytes(int first, int last, const char* end = "\r\n") {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += "line " + std::to_string(i) + end;
    return bytes;
}

TEST(ReadLogTail, LastFiftyLinesByTheLineEndRules) {
    const std::string y(64 * 1024 - 1, 'y'), z(64 * 1024, 'z');  // read from the end, 64 KiB at a time
    const struct { const char* name; std::string bytes; std::vector<std::string> lines; } cases[] = {
        {"empty file", "", {}},
        {"LF lines", Bytes(1, 60, "\n"), SplitCrLfLines(Bytes(11, 60))},
        {"empty lines count", Bytes(1, 60) + "\r\n\n\r\n", SplitCrLfLines(Bytes(14, 60) + "\r\n\r\n\r\n")},
        {"last line without LF", Bytes(1, 50) + "tail", SplitCrLfLines(Bytes(2, 50) + "tail\r\n")},
        {"one CR before LF dropped", "a\r\r\nb\r", {"a\r", "b"}},
        {"lone CR after the last LF", "a\n\r", {"a", ""}},
        {"bytes kept as they are", "caf\xC3\xA9 \xFF\r\n", {"caf\xC3\xA9 \xFF"}},
        {"exactly 50 lines", Bytes(1, 50), SplitCrLfLines(Bytes(1, 50))},
        {"CR LF split across the last read", std::string("a\r\n").append(y), {"a", y}},
        {"CR ending a read, no LF after", std::string("a\r").append(z), {std::string("a\r").append(z)}},
        {"lines longer than a read", z + "\n" + z + z + "\r\n" + z, {z, z + z, z}},
    };
    ScopedDataFolder data;
    ASSERT_TRUE(EnsureFolder(LogFolderPath()));
    for (const auto& c : cases) {
        WriteFileBytes(LogFilePath(), c.bytes);
        EXPECT_EQ(ReadLogTail(LogFilePath()), c.lines) << c.name;
    }
}
