#include "ui/logviewer/log_tail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/files.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace ui::logviewer;

namespace {
std::string NumberedBytes(int first, int last) {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    return bytes;
}

std::vector<std::string> Numbered(int first, int last) {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

// A folder of the test's own; names are joined by hand so that a wide name outside ASCII
// never passes through the C library's locale.
struct TempFolder {
    const std::wstring path = std::filesystem::temp_directory_path().wstring() + platform::PathSeparator +
                              L"quarvello-tail-" + std::to_wstring(std::random_device{}());
    TempFolder() { platform::CreateFolderTree(path); }
    ~TempFolder() { testing_support::RemoveTree(path); }
    std::wstring Plant(const std::wstring& name, const std::string& bytes) const {
        std::wstring file = path + platform::PathSeparator + name;
        platform::AppendToFile(file, bytes.data(), bytes.size());
        return file;
    }
};
}  // namespace

TEST(ReadLogTail, KeepsTheLastFiftyLinesByTheLineEndRules) {
    std::string emptyLines;  // each numbered line followed by an empty one: the last 50 start at line 16
    std::vector<std::string> emptyTail;
    for (int i = 1; i <= 40; ++i) emptyLines += "line " + std::to_string(i) + "\r\n\r\n";
    for (int i = 16; i <= 40; ++i) emptyTail.insert(emptyTail.end(), {"line " + std::to_string(i), ""});
    const std::string fullRead(64 * 1024 - 1, 'x');  // its CR ends the first read, the LF begins the next

    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"empty file", "", {}},
        {"10 lines", NumberedBytes(1, 10), Numbered(1, 10)},
        {"200 lines", NumberedBytes(1, 200), Numbered(151, 200)},
        {"30000 lines", NumberedBytes(1, 30000), Numbered(29951, 30000)},
        {"empty lines count", emptyLines, emptyTail},
        {"last line without line end", "a\r\nb", {"a", "b"}},
        {"one CR before LF dropped", "a\r\r\nb\r", {"a\r", "b"}},
        {"CR inside a line kept", "a\rb\r\nc\r d", {"a\rb", "c\r d"}},
        {"lone CR at the end", "a\n\r", {"a", ""}},
        {"line end split between reads", fullRead + "\r\nlast", {fullRead, "last"}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        EXPECT_EQ(ReadLogTail(folder.Plant(L"Quarvel.log", c.bytes)), c.lines) << c.name;
    }
}

TEST(ReadLogTail, MissingFileOrFolderGivesNothing) {
    TempFolder folder;
    EXPECT_TRUE(ReadLogTail(folder.path + platform::PathSeparator + L"Quarvel.log").empty());
    EXPECT_TRUE(ReadLogTail(folder.path).empty());
}

TEST(ReadLogTail, OpensByTheWidePath) {
    TempFolder folder;
    EXPECT_EQ(ReadLogTail(folder.Plant(L"J\u00F6rg \u03A9.log", "caf\xC3\xA9\r\n")),
              std::vector<std::string>{"caf\xC3\xA9"});
}

#ifdef _WIN32
TEST(ReadLogTail, DeniesNoWriterOrDeleter) {
    TempFolder folder;
    const std::wstring path = folder.Plant(L"Quarvel.log", "one\r\n");
    HANDLE writer = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadLogTail(path), std::vector<std::string>{"one"});
    ::CloseHandle(writer);
}
#endif

TEST(LogViewText, EndsEveryLineWithCrLfAndConvertsUtf8) {
    EXPECT_EQ(LogViewText({}), L"");
    EXPECT_EQ(LogViewText({"a", "", "b"}), L"a\r\n\r\nb\r\n");
    EXPECT_EQ(LogViewText({"caf\xC3\xA9 \xE2\x82\xAC", "a\xFF"}), L"caf\u00E9 \u20AC\r\na\uFFFD\r\n");
}
