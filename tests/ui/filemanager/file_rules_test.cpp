#include "ui/filemanager/file_rules.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#endif

using namespace ui::filemanager;

namespace {
// A dialog buffer: the literal with its embedded NULs, then NULs up to a fixed size.
template <std::size_t N>
std::wstring Buffer(const wchar_t (&text)[N], std::size_t size = 300) {
    std::wstring buffer(text, N - 1);
    buffer.resize(std::max(size, N - 1), L'\0');
    return buffer;
}
}  // namespace

TEST(IsSafeFileName, RefusesSeparatorsAndTwoDotsAnywhere) {
    for (const wchar_t* name : {L"..", L"..hidden", L"a..b.txt", L"name..", L"a\\b", L"a/b", L"/"})
        EXPECT_FALSE(IsSafeFileName(name)) << name;
    for (const wchar_t* name : {L"", L".hidden", L"a b.txt", L"a.b.c", L"name.", L"caf\u00E9.html", L"a:b"})
        EXPECT_TRUE(IsSafeFileName(name)) << name;
}

TEST(BuildDeleteConfirmation, ListsAtMostTenNamesThenDots) {
    std::vector<std::wstring> names;
    std::wstring listed;
    for (int i = 1; i <= 11; ++i) names.push_back(L"f" + std::to_wstring(i));
    for (int i = 1; i <= 10; ++i) listed += L"f" + std::to_wstring(i) + L"\n";
    EXPECT_EQ(BuildDeleteConfirmation({L"index.html"}), L"Delete selected files?\n\nindex.html\n");
    EXPECT_EQ(BuildDeleteConfirmation({names.begin(), names.begin() + 10}), L"Delete selected files?\n\n" + listed);
    EXPECT_EQ(BuildDeleteConfirmation(names), L"Delete selected files?\n\n" + listed + L"...\n");
}

TEST(LastPathComponent, FollowsTheShellRule) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\a\\b.txt", L"b.txt"}, {L"C:\\a\\", L"a\\"}, {L"C:\\a/", L"a/"},   {L"C:file", L"file"},
        {L"C:\\", L"C:\\"},          {L"", L""},           {L"a/b", L"b"},       {L"\\\\srv\\share", L"share"},
        {L"a:b:c", L"c"},            {L"x\\:", L":"},      {L"a\\\\b", L"b"},
    };
    for (auto [path, component] : cases) {
        EXPECT_EQ(LastPathComponent(path), component) << path;
#ifdef _WIN32
        EXPECT_STREQ(::PathFindFileNameW(path), component) << path;
#endif
    }
}

TEST(SplitOpenFileSelection, OneFileOrAFolderWithNames) {
    const std::pair<std::wstring, std::vector<ImportPair>> cases[] = {
        {Buffer(L"C:\\me\\page one.html"), {{L"C:\\me\\page one.html", L"page one.html"}}},
        {Buffer(L"C:\\in\0a.txt\0b c.css\0.x\0"),
         {{L"C:\\in\\a.txt", L"a.txt"}, {L"C:\\in\\b c.css", L"b c.css"}, {L"C:\\in\\.x", L".x"}}},
        {Buffer(L"C:\\\0x.txt\0"), {{L"C:\\\\x.txt", L"x.txt"}}},  // the folder as it stands, then a backslash
        {Buffer(L""), {}},                                          // an empty last component: no pair
        {Buffer(L"C:\\dir\\"), {{L"C:\\dir\\", L"dir\\"}}},         // as the shell takes a trailing separator
        {Buffer(L"C:\\a\\full", 0), {{L"C:\\a\\full", L"full"}}},  // no NUL at all: never read past
        {Buffer(L"C:\\a\0b\0c", 0), {{L"C:\\a\\b", L"b"}, {L"C:\\a\\c", L"c"}}},
    };
    for (const auto& [buffer, pairs] : cases) EXPECT_EQ(SplitOpenFileSelection(buffer), pairs) << buffer.c_str();
}

TEST(NotepadCommandLine, QuotesTheFullPath) {
    EXPECT_EQ(NotepadCommandLine(L"C:\\J\u00F6rg\\Quarvel\\Web\\", L"my page.html"),
              L"notepad.exe \"C:\\J\u00F6rg\\Quarvel\\Web\\my page.html\"");
}
