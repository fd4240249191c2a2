// The data folder paths, the log writer and the log tail.
#include "platform/threads.h"
#include "storage/log_tail.h"
#include "test_support.h"

using namespace storage;
using namespace testing_support;

namespace storage {
extern platform::Lock LogMutex;  // storage's own; held here as a long reader would hold it
}

TEST(Storage, PathsTimesAndLinesWrittenOneUseOfTheLogAtATime) {
    ScopedDataFolder data;
    const std::wstring s(1, platform::PathSeparator), q = data.Root() + s + L"Quarvel" + s;
    EXPECT_EQ(WebRootPath() + L"|" + LogFilePath(), q + L"Web" + s + L"|" + q + L"Log" + s + L"Quarvel.log");
    EXPECT_EQ(FormatLogTimestamp({2025, 3, 7, 9, 5, 3, 42}), "2025-03-07 09:05:03.042");
    WriteLogLine("gone");
    ASSERT_TRUE(RemoveTree(LogFolderPath()));  // made again by the next line
    WriteLogLine("LF\n");
    EXPECT_EQ(ReadFileBytes(LogFilePath()), "LF\n\r\n");
    // Each use of the log file waits while the lock is held: 200 ms leave it time to have gone past.
    for (void (*use)() : {+[] { WriteLogLine("late"); }, +[] { CurrentLogTail(); }, ClearLogFile}) {
        std::atomic<bool> done{false};
        std::unique_lock<platform::Lock> lock(LogMutex);
        std::thread user([&] { use(), done = true; });
        std::this_thread::sleep_for(200ms);
        EXPECT_FALSE(done);
        lock.unlock();
        user.join();
    }
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
