#include "ui/logviewer/log_tail.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "platform/files.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace ui::logviewer;
namespace fs = std::filesystem;

namespace {
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::random_device seed;
        path = fs::temp_directory_path() /
               ("quarvello-tail-" + std::to_string(seed()) + "-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(path);
    }
    ~TempFolder() { testing_support::RemoveTree(path.wstring()); }
    // Joined by hand: a wide name outside ASCII must not pass through the C library's locale.
    std::wstring Child(const std::wstring& name) const { return path.wstring() + platform::PathSeparator + name; }
};

void Plant(const std::wstring& path, const std::string& bytes) {
    platform::DeleteFileAt(path);
    ASSERT_TRUE(platform::AppendToFile(path, bytes.data(), bytes.size()));
}

std::string NumberedLines(int first, int last, const char* end) {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += "line " + std::to_string(i) + end;
    return bytes;
}

std::vector<std::string> Numbered(int first, int last) {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

std::vector<std::string> TailOfFile(const std::string& bytes) {
    TempFolder folder;
    std::wstring path = folder.Child(L"Quarvel.log");
    Plant(path, bytes);
    return ReadLogTail(path);
}
}  // namespace

TEST(ReadLogTail, MissingFileGivesNoLines) {
    TempFolder folder;
    EXPECT_TRUE(ReadLogTail(folder.Child(L"Quarvel.log")).empty());
    EXPECT_TRUE(ReadLogTail(folder.path.wstring()).empty());  // a folder is no log
}

TEST(ReadLogTail, KeepsTheLastFiftyLines) {
    EXPECT_TRUE(TailOfFile("").empty());
    EXPECT_EQ(TailOfFile(NumberedLines(1, 10, "\r\n")), Numbered(1, 10));
    EXPECT_EQ(TailOfFile(NumberedLines(1, 50, "\r\n")), Numbered(1, 50));
    EXPECT_EQ(TailOfFile(NumberedLines(1, 200, "\r\n")), Numbered(151, 200));
    EXPECT_EQ(TailOfFile(NumberedLines(1, 200, "\n")), Numbered(151, 200));
}

TEST(ReadLogTail, LineEndRules) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"last line without line end", "a\r\nb", {"a", "b"}},
        {"trailing line end adds nothing", "a\r\nb\r\n", {"a", "b"}},
        {"empty lines are lines", "\r\n\na\r\n\r\n", {"", "", "a", ""}},
        {"one CR before LF dropped", "a\r\r\nb\r", {"a\r", "b"}},
        {"CR inside a line kept", "a\rb\r\nc\r d", {"a\rb", "c\r d"}},
        {"lone CR at the end", "a\n\r", {"a", ""}},
        {"NUL bytes kept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) EXPECT_EQ(TailOfFile(c.bytes), c.lines) << c.name;
}

TEST(ReadLogTail, EmptyLinesCountTowardsFifty) {
    // 80 lines, every numbered one followed by an empty one: the last 50 begin at line 16.
    std::string bytes;
    std::vector<std::string> expected;
    for (int i = 1; i <= 40; ++i) bytes += "line " + std::to_string(i) + "\r\n\r\n";
    for (int i = 16; i <= 40; ++i) expected.insert(expected.end(), {"line " + std::to_string(i), ""});
    EXPECT_EQ(TailOfFile(bytes), expected);
}

TEST(ReadLogTail, LinesLongerThanOneReadAndManyReads) {
    std::string longLine(200000, 'x');
    EXPECT_EQ(TailOfFile("first\r\n" + longLine + "\r\nlast"), (std::vector<std::string>{"first", longLine, "last"}));
    EXPECT_EQ(TailOfFile(NumberedLines(1, 30000, "\r\n")), Numbered(29951, 30000));
}

TEST(ReadLogTail, OpensPathsOutsideAscii) {
    TempFolder folder;
    const std::wstring profile = folder.Child(L"J\u00F6rg \u03A9");
    ASSERT_TRUE(platform::CreateFolderTree(profile));
    std::wstring path = profile + platform::PathSeparator + L"Quarvel.log";
    Plant(path, "caf\xC3\xA9\r\n");
    EXPECT_EQ(ReadLogTail(path), (std::vector<std::string>{"caf\xC3\xA9"}));
}

#ifdef _WIN32
TEST(ReadLogTail, ReadsWhileAnotherProgramWritesOrDeletes) {
    TempFolder folder;
    std::wstring path = folder.Child(L"Quarvel.log");
    Plant(path, "one\r\n");
    HANDLE writer = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(writer, "two\r\n", 5, &written, nullptr);
    EXPECT_EQ(ReadLogTail(path), (std::vector<std::string>{"one", "two"}));
    ::CloseHandle(writer);
}
#endif

TEST(LogTail, PiecesOfAnySizeGiveTheSameLines) {
    const std::string bytes = "a\r\n\r\nb\rc\r\n" + NumberedLines(1, 60, "\r\n") + "tail\r";
    LogTail whole;
    whole.Feed(bytes);
    std::vector<std::string> expected = whole.Finish();
    ASSERT_EQ(expected.size(), LogTailLines);
    EXPECT_EQ(expected.back(), "tail");
    for (std::size_t piece : {1u, 2u, 3u, 7u}) {
        LogTail tail;
        for (std::size_t at = 0; at < bytes.size(); at += piece) tail.Feed(std::string_view(bytes).substr(at, piece));
        EXPECT_EQ(tail.Finish(), expected) << "pieces of " << piece;
    }
}

TEST(LogViewText, EndsEveryLineWithCrLfAndConvertsUtf8) {
    EXPECT_EQ(LogViewText({}), L"");
    EXPECT_EQ(LogViewText({""}), L"\r\n");
    EXPECT_EQ(LogViewText({"a", "", "b"}), L"a\r\n\r\nb\r\n");
    EXPECT_EQ(LogViewText({"caf\xC3\xA9 \xE2\x82\xAC"}), L"caf\u00E9 \u20AC\r\n");
    EXPECT_EQ(LogViewText({"a\xFF" "b"}), L"a\uFFFDb\r\n");
}
