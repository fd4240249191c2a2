#include "storage/log_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "storage/data_folders.h"
#include "test_support.h"

using namespace storage;
using testing_support::ReadFileBytes;
using testing_support::ScopedDataFolder;

TEST(LogTimestamp, FormatsEveryFieldZeroPadded) {
    platform::LocalTime t{2025, 3, 7, 9, 5, 3, 42};
    EXPECT_EQ(FormatLogTimestamp(t), "2025-03-07 09:05:03.042");
    platform::LocalTime late{1999, 12, 31, 23, 59, 59, 999};
    EXPECT_EQ(FormatLogTimestamp(late), "1999-12-31 23:59:59.999");
    EXPECT_EQ(LogTimestamp().size(), LogTimestampLength);
}

TEST(WriteLogLine, AppendsCrLfToWhateverItIsGiven) {
    ScopedDataFolder data;
    WriteLogLine("first");
    WriteLogLine("");
    WriteLogLine("ends with LF\n");
    WriteLogLine("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");  // UTF-8 bytes go in unchanged
    EXPECT_EQ(ReadFileBytes(LogFilePath()),
              "first\r\n\r\nends with LF\n\r\ncaf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\r\n");
}

TEST(WriteLogLine, MakesFolderAndFileAgainAfterDeletion) {
    ScopedDataFolder data;
    WriteLogLine("before");
    ASSERT_TRUE(testing_support::RemoveTree(LogFolderPath()));
    WriteLogLine("after");
    EXPECT_EQ(ReadFileBytes(LogFilePath()), "after\r\n");
}

TEST(WideToUtf8, ConvertsAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(WideToUtf8(L"caf\u00E9 \u20AC"), "caf\xC3\xA9 \xE2\x82\xAC");
    std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(WideToUtf8(L"a" + lone + L"b"), "a\xEF\xBF\xBD" "b");
    std::wstring withZero(L"a\0b", 3);  // every code unit, not stopping at a zero
    EXPECT_EQ(WideToUtf8(withZero), std::string("a\0b", 3));
}

TEST(WriteLogLine, ConcurrentWritersProduceWholeLinesOnly) {
    ScopedDataFolder data;
    constexpr int Threads = 8, LinesEach = 2000;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < LinesEach; ++i)
                WriteLogLine("thread " + std::to_string(t) + " line " + std::to_string(i) + " " + std::string(40, 'x'));
        });
    for (auto& w : writers) w.join();

    std::string bytes = ReadFileBytes(LogFilePath());
    auto lines = testing_support::SplitCrLfLines(bytes);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(Threads * LinesEach));
    std::size_t total = 0;
    std::set<std::string> distinct;
    for (const auto& line : lines) {
        total += line.size() + 2;
        ASSERT_EQ(line.find('\r'), std::string::npos) << line;
        ASSERT_EQ(line.find('\n'), std::string::npos) << line;
        ASSERT_TRUE(line.starts_with("thread ") && line.ends_with(std::string(40, 'x'))) << line;
        distinct.insert(line);
    }
    EXPECT_EQ(total, bytes.size());
    EXPECT_EQ(distinct.size(), lines.size());
}
