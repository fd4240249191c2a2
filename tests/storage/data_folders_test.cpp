#include "storage/data_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/files.h"
#include "test_support.h"

using namespace storage;
using testing_support::ScopedDataFolder;

namespace {
constexpr wchar_t S = platform::PathSeparator;
std::wstring Join(std::initializer_list<std::wstring> parts) {
    std::wstring out;
    for (const auto& p : parts) out += p;
    return out;
}
}  // namespace

TEST(DataFolders, PathsHaveTheirExactShapes) {
    ScopedDataFolder data;
    const std::wstring d = data.Root();
    EXPECT_EQ(LocalDataFolder(), d);
    EXPECT_EQ(WebRootPath(), Join({d, {S}, L"Quarvel", {S}, L"Web", {S}}));
    EXPECT_EQ(LogFolderPath(), Join({d, {S}, L"Quarvel", {S}, L"Log", {S}}));
    EXPECT_EQ(LogFilePath(), Join({d, {S}, L"Quarvel", {S}, L"Log", {S}, L"Quarvel.log"}));
    EXPECT_EQ(WebRootPath().back(), S);
    EXPECT_EQ(LogFolderPath().back(), S);
}

TEST(DataFolders, FallsBackToTheCurrentFolderWhenTheSystemGivesNone) {
    EXPECT_EQ(LocalDataFolderFrom(L""), L".");
    EXPECT_EQ(LocalDataFolderFrom(L"D"), L"D");
#ifndef _WIN32
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    std::string xdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::unsetenv("HOME");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(WebRootPath(), L"./Quarvel/Web/");
    EXPECT_EQ(LogFilePath(), L"./Quarvel/Log/Quarvel.log");
    if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
    if (!xdg.empty()) ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
#endif
}

TEST(EnsureFolder, CreatesMissingParentsAndAcceptsAnythingAlreadyThere) {
    ScopedDataFolder data;
    const std::wstring twoDeep = Join({data.Root(), {S}, L"Quarvel", {S}, L"a", {S}});
    ASSERT_FALSE(platform::PathExists(Join({data.Root(), {S}, L"Quarvel"})));
    EXPECT_TRUE(EnsureFolder(twoDeep));
    EXPECT_TRUE(platform::QueryAttributes(twoDeep).directory);
    EXPECT_TRUE(EnsureFolder(twoDeep));  // again: already there

    const std::wstring plainFile = Join({data.Root(), {S}, L"Quarvel", {S}, L"plain"});
    testing_support::WriteFileBytes(plainFile, "x");
    EXPECT_TRUE(EnsureFolder(plainFile));
    auto attributes = platform::QueryAttributes(plainFile);
    EXPECT_TRUE(attributes.exists);
    EXPECT_FALSE(attributes.directory);
    EXPECT_EQ(testing_support::ReadFileBytes(plainFile), "x");
}

TEST(EnsureFolder, ReportsAFolderThatCannotBeMade) {
    ScopedDataFolder data;
    ASSERT_TRUE(EnsureFolder(Join({data.Root(), {S}, L"Quarvel"})));
    const std::wstring blocker = Join({data.Root(), {S}, L"Quarvel", {S}, L"blocker"});
    testing_support::WriteFileBytes(blocker, "x");
    EXPECT_FALSE(EnsureFolder(Join({blocker, {S}, L"below", {S}})));
}
