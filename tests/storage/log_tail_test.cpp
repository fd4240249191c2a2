#include "storage/log_tail.h"

#include <optional>

#include "test_support.h"

// Lines "line first" to "line last": as bytes, each followed by end; as the viewer takes them, then more.
static std::string Bytes(int first, int last, const char* end = "\r\n") {
    std::string bytes;
    for (int i = first; i <= last; ++i) bytes += "line " + std::to_string(i) + end;
    return bytes;
}
static std::vector<std::string> Lines(int first, int last, std::vector<std::string> more = {}) {
    for (int i = last; i >= first; --i) more.insert(more.begin(), "line " + std::to_string(i));
    return more;
}

// The log file's bytes (none: no file) and the lines the viewer gets from it.
TEST(ReadLogTail, LastFiftyLinesByTheLineEndRules) {
    const std::string fullRead(64 * 1024 - 1, 'x');  // its CR ends one read of the file, the LF starts the next
    const std::string y(64 * 1024 - 1, 'y'), z(64 * 1024, 'z');  // read from the end, 64 KiB at a time
    const struct {
        const char* name;
        std::optional<std::string> bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"no file", std::nullopt, {}},
        {"empty file", "", {}},
        {"fewer than 50", Bytes(1, 10), Lines(1, 10)},
        {"200 lines", Bytes(1, 200), Lines(151, 200)},
        {"LF lines", Bytes(1, 60, "\n"), Lines(11, 60)},
        {"empty lines count", Bytes(1, 60) + "\r\n\n\r\n", Lines(14, 60, {"", "", ""})},
        {"last line without LF", Bytes(1, 50) + "tail", Lines(2, 50, {"tail"})},
        {"one CR before LF dropped", "a\r\r\nb\r", {"a\r", "b"}},
        {"CR inside a line kept", "a\rb\r\nc\r d", {"a\rb", "c\r d"}},
        {"lone CR after the last LF", "a\n\r", {"a", ""}},
        {"only line ends", "\r\n\n", {"", ""}},
        {"bytes kept as they are", "caf\xC3\xA9 \xFF\r\n", {"caf\xC3\xA9 \xFF"}},
        {"line end split between reads", fullRead + "\r\nlast", {fullRead, "last"}},
        {"exactly 50 lines", Bytes(1, 50), Lines(1, 50)},
        {"51 lines", Bytes(1, 51), Lines(2, 51)},
        {"the 51st line end is the first byte", std::string("\n").append(Bytes(1, 50)), Lines(1, 50)},
        {"CR LF split across the last read", std::string("a\r\n").append(y), {"a", y}},
        {"CR ending a read, no LF after", std::string("a\r").append(z), {std::string("a\r").append(z)}},
        {"lines longer than a read", z + "\n" + z + z + "\r\n" + z, {z, z + z, z}},
        {"no line end in three reads", z + z + z, {z + z + z}},
    };
    testing_support::ScopedDataFolder data;
    ASSERT_TRUE(storage::EnsureFolder(storage::LogFolderPath()));
    for (const auto& c : cases) {
        testing_support::RemoveTree(storage::LogFilePath());
        if (c.bytes) testing_support::WriteFileBytes(storage::LogFilePath(), *c.bytes);
        EXPECT_EQ(storage::ReadLogTail(storage::LogFilePath()), c.lines) << c.name;
    }
}
