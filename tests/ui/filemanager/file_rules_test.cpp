#include "ui/filemanager/file_rules.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#endif

using namespace ui::filemanager;

namespace {
// The dialog's buffer: the content, then NULs up to the full size.
std::wstring DialogBuffer(std::wstring_view content, std::size_t size = 512) {
    std::wstring buffer(content);
    buffer.resize(size, L'\0');
    return buffer;
}

// A literal with its embedded NULs, without the terminating one.
template <std::size_t N>
std::wstring Raw(const wchar_t (&text)[N]) {
    return std::wstring(text, N - 1);
}

std::wstring Names(int count) {
    std::wstring text;
    for (int i = 1; i <= count; ++i) text += L"file" + std::to_wstring(i) + L".txt\n";
    return text;
}

std::vector<std::wstring> NameList(int count) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= count; ++i) names.push_back(L"file" + std::to_wstring(i) + L".txt");
    return names;
}
}  // namespace

TEST(IsSafeFileName, RefusesSeparatorsAndTwoDotsAnywhere) {
    for (const wchar_t* name : {L"..", L"..hidden", L"a..b.txt", L"name..", L"a...b", L"a\\b", L"a/b", L"\\", L"/x"})
        EXPECT_FALSE(IsSafeFileName(name)) << name;
}

TEST(IsSafeFileName, PassesEverythingElse) {
    for (const wchar_t* name : {L"", L".hidden", L"a b.txt", L"a.b.c", L"name.", L".", L"caf\u00E9 \u20AC.html", L"a:b"})
        EXPECT_TRUE(IsSafeFileName(name)) << name;
}

TEST(BuildDeleteConfirmation, ListsAtMostTenNamesThenDots) {
    EXPECT_EQ(BuildDeleteConfirmation({L"index.html"}), L"Delete selected files?\n\nindex.html\n");
    EXPECT_EQ(BuildDeleteConfirmation(NameList(10)), L"Delete selected files?\n\n" + Names(10));
    EXPECT_EQ(BuildDeleteConfirmation(NameList(11)), L"Delete selected files?\n\n" + Names(10) + L"...\n");
    EXPECT_EQ(BuildDeleteConfirmation(NameList(40)), L"Delete selected files?\n\n" + Names(10) + L"...\n");
}

TEST(LastPathComponent, FollowsTheShellRule) {
    struct Case {
        const wchar_t* path;
        const wchar_t* component;
    };
    const Case cases[] = {
        {L"C:\\a\\b.txt", L"b.txt"}, {L"C:\\a\\", L"a\\"},   {L"C:\\a\\\\", L"a\\\\"},      {L"C:\\a/", L"a/"},
        {L"C:file.txt", L"file.txt"}, {L"C:", L"C:"},        {L"C:\\", L"C:\\"},            {L"\\", L"\\"},
        {L"", L""},                   {L"b.txt", L"b.txt"},  {L"a/b", L"b"},                {L"\\\\server\\share", L"share"},
        {L"a:b:c", L"c"},             {L"x\\:", L":"},       {L"C:\\a\\b\\\\c", L"c"},      {L"a\\ b", L" b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LastPathComponent(c.path), c.component) << c.path;
#ifdef _WIN32
        EXPECT_STREQ(::PathFindFileNameW(c.path), c.component) << c.path;
#endif
    }
}

TEST(SplitOpenFileSelection, OneFileTakesItsNameFromTheLastComponent) {
    std::wstring buffer = DialogBuffer(Raw(L"C:\\users\\me\\page one.html\0\0"));
    EXPECT_EQ(SplitOpenFileSelection(buffer),
              (std::vector<ImportPair>{{L"C:\\users\\me\\page one.html", L"page one.html"}}));
}

TEST(SplitOpenFileSelection, SeveralFilesShareTheFolder) {
    std::wstring content = Raw(L"C:\\in\0a.txt\0b c.css\0.hidden\0\0");
    EXPECT_EQ(SplitOpenFileSelection(DialogBuffer(content)),
              (std::vector<ImportPair>{{L"C:\\in\\a.txt", L"a.txt"},
                                       {L"C:\\in\\b c.css", L"b c.css"},
                                       {L"C:\\in\\.hidden", L".hidden"}}));
    // The folder is used as it stands, with a backslash always put after it.
    std::wstring root = Raw(L"C:\\\0x.txt\0y.txt\0\0");
    EXPECT_EQ(SplitOpenFileSelection(DialogBuffer(root)),
              (std::vector<ImportPair>{{L"C:\\\\x.txt", L"x.txt"}, {L"C:\\\\y.txt", L"y.txt"}}));
}

TEST(SplitOpenFileSelection, EmptyLastComponentGivesNoPair) {
    EXPECT_TRUE(SplitOpenFileSelection(DialogBuffer(L"")).empty());
    // A trailing separator is no empty component to the shell: the folder's name is taken.
    EXPECT_EQ(SplitOpenFileSelection(DialogBuffer(Raw(L"C:\\dir\\\0\0"))),
              (std::vector<ImportPair>{{L"C:\\dir\\", L"dir\\"}}));
}

TEST(SplitOpenFileSelection, NeverReadsPastTheBuffer) {
    EXPECT_EQ(SplitOpenFileSelection(L"C:\\a\\full.txt"),
              (std::vector<ImportPair>{{L"C:\\a\\full.txt", L"full.txt"}}));
    EXPECT_EQ(SplitOpenFileSelection(Raw(L"C:\\a\0b.txt\0c")),
              (std::vector<ImportPair>{{L"C:\\a\\b.txt", L"b.txt"}, {L"C:\\a\\c", L"c"}}));
}

TEST(NotepadCommandLine, QuotesTheFullPath) {
    EXPECT_EQ(NotepadCommandLine(L"C:\\Users\\J\u00F6rg\\AppData\\Local\\Quarvel\\Web\\", L"my page.html"),
              L"notepad.exe \"C:\\Users\\J\u00F6rg\\AppData\\Local\\Quarvel\\Web\\my page.html\"");
}
