// The data folder paths, the folder rule and the log writer.
#include <set>

#include "platform/files.h"
#include "test_support.h"

using namespace storage;
using namespace testing_support;

TEST(Storage, PathsTheFolderRuleTimestampsAndWholeLinesUnderManyWriters) {
    ScopedDataFolder data;
    const std::wstring s(1, platform::PathSeparator), quarvel = data.Root() + s + L"Quarvel" + s;
    EXPECT_EQ(WebRootPath() + L"|" + LogFolderPath() + L"|" + LogFilePath() + L"|" + LocalDataFolderFrom(L""),
              quarvel + L"Web" + s + L"|" + quarvel + L"Log" + s + L"|" + quarvel + L"Log" + s + L"Quarvel.log|.");
    WriteFileBytes(data.Root() + s + L"plain", "x");
    EXPECT_TRUE(EnsureFolder(data.Root() + s + L"plain"));  // anything already there will do
    EXPECT_EQ(FormatLogTimestamp({2025, 3, 7, 9, 5, 3, 42}) + FormatLogTimestamp({1999, 12, 31, 23, 59, 59, 999}),
              "2025-03-07 09:05:03.0421999-12-31 23:59:59.999");
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

namespace storage {
extern std::mutex LogMutex;  // storage's own; held here as a long reader would hold it
}

TEST(Storage, TheWriterTheTailAndTheClearEachWaitForTheLogLock) {
    ScopedDataFolder data;
    WriteLogLine("first");
    std::unique_lock<std::mutex> lock(LogMutex);
    std::vector<std::string> tail{"not read"};
    std::thread writer([] { WriteLogLine("late"); }), reader([&] { tail = CurrentLogTail(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ReadFileBytes(LogFilePath()) + tail[0], "first\r\nnot read");
    lock.unlock();
    writer.join();
    reader.join();
    EXPECT_EQ(ReadFileBytes(LogFilePath()), "first\r\nlate\r\n");
    EXPECT_TRUE(tail == std::vector<std::string>{"first"} || tail == (std::vector<std::string>{"first", "late"}));
    lock.lock();
    std::thread clearer(ClearLogFile);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(platform::PathExists(LogFilePath()));
    lock.unlock();
    clearer.join();
    EXPECT_TRUE(!platform::PathExists(LogFilePath()) && platform::PathExists(LogFolderPath()));
}
