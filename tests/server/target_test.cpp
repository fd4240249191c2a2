#include "server/target.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "storage/log_writer.h"

using server::NamesReservedDevice;
using server::ResolveTargetPath;

namespace {
std::string Narrow(std::wstring_view text) { return storage::WideToUtf8(std::wstring(text)); }
}  // namespace

TEST(IndexRule, AppliesToAnEmptyOrSlashTargetOnly) {
    for (const wchar_t* target : {L"", L"/"}) EXPECT_TRUE(server::IsIndexTarget(target)) << Narrow(target);
    for (const wchar_t* target : {L"//", L"\\", L"/index.html", L"/sub/", L" ", L"."})
        EXPECT_FALSE(server::IsIndexTarget(target)) << Narrow(target);
}

TEST(ResolveTargetPath, JoinsTheTargetToTheWebRootWithEitherSeparator) {
    struct Case {
        const wchar_t* target;
        const wchar_t* windows;  // the rest of the path after the root, with "\" as separator
    } cases[] = {
        {L"/index.html", L"index.html"},
        {L"/sub/page.html", L"sub\\page.html"},
        {L"/sub/", L"sub\\"},
        {L"//", L""},
        {L"\\page.html", L"page.html"},
        {L"/\\/x", L"x"},
        {L"/a//b", L"a\\\\b"},
        {L".", L"."},
        {L"/./x", L".\\x"},
        {L"/%2e%2e/x", L"%2e%2e\\x"},
        {L"/index.html?v=1#top", L"index.html?v=1#top"},
        {L"/C:/x", L"C:\\x"},
        {L"/a.txt::$DATA", L"a.txt::$DATA"},
        {L"/caf\u00E9.txt", L"caf\u00E9.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveTargetPath(L"W\\", c.target, L'\\'), L"W\\" + std::wstring(c.windows)) << Narrow(c.target);
        std::wstring posix = c.windows;
        std::replace(posix.begin(), posix.end(), L'\\', L'/');
        EXPECT_EQ(ResolveTargetPath(L"/w/", c.target, L'/'), L"/w/" + posix) << Narrow(c.target);
    }
}

TEST(ResolveTargetPath, RefusesTwoDotsAnywhereAndTheZeroCharacter) {
    for (const wchar_t* target : {L"..", L"/..", L"/../x", L"/x/..", L"/a..b.txt", L"\\..\\x", L"/...", L"/x/../../y"})
        EXPECT_TRUE(ResolveTargetPath(L"W\\", target, L'\\').empty()) << Narrow(target);
    EXPECT_TRUE(ResolveTargetPath(L"W\\", std::wstring(L"/a.txt\0.html", 12), L'\\').empty());
    EXPECT_TRUE(ResolveTargetPath(L"W\\", std::wstring(L"\0", 1), L'\\').empty());
    EXPECT_EQ(ResolveTargetPath(L"W\\", L".", L'\\'), L"W\\.");  // one character is never refused
}

TEST(NamesReservedDevice, RefusesDeviceNamesInAnyFolderCaseAndForm) {
    for (const wchar_t* target :
         {L"/CON", L"/nul.html", L"/Com1.txt", L"/aux.", L"/aux. ", L"/PRN ", L"/lpt9", L"/COM0", L"/sub/con/x.txt",
          L"/a\\NUL\\b", L"/com\u00B9", L"/LPT\u00B2.log", L"/Com\u00B3.x.y", L"/conin$", L"/CONOUT$.txt",
          L"/clock$", L"/Config$", L"/con:stream", L"/nul .txt", L"CON"})
        EXPECT_TRUE(NamesReservedDevice(target)) << Narrow(target);
    for (const wchar_t* target :
         {L"/", L"", L"/console.html", L"/icon", L"/aux-file.txt", L"/com10", L"/com", L"/lpt", L"/COM\u00B4",
          L"/ con", L"/.con", L"/x.con", L"/conin", L"/nullish/a", L"/clock", L"/sub/index.html"})
        EXPECT_FALSE(NamesReservedDevice(target)) << Narrow(target);
}
