#include "ui/filemanager/file_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/files.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using ui::filemanager::ListFileNames;

TEST(ListFileNames, FilesHiddenOnesIncludedInSystemOrderWithoutFolders) {
    // Names are joined by hand: a wide name outside ASCII must not pass the C library's locale.
    const std::wstring folder = std::filesystem::temp_directory_path().wstring() + platform::PathSeparator +
                                L"quarvello-list-" + std::to_wstring(std::random_device{}());
    const auto child = [&](const std::wstring& name) { return folder + platform::PathSeparator + name; };
    ASSERT_TRUE(platform::CreateFolderTree(child(L"sub")));
    EXPECT_TRUE(ListFileNames(folder).empty());
    for (const wchar_t* name : {L"index.html", L".hidden", L"secret.txt", L"caf\u00E9.css"})
        ASSERT_TRUE(platform::AppendToFile(child(name), "x", 1));
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(child(L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#endif
    std::vector<std::wstring> names = ListFileNames(folder);
    std::vector<std::wstring> systemOrder;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder))
        if (!entry.directory) systemOrder.push_back(entry.name);
    EXPECT_EQ(names, systemOrder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L".hidden", L"caf\u00E9.css", L"index.html", L"secret.txt"}));
    EXPECT_TRUE(ListFileNames(child(L"missing")).empty());
    testing_support::RemoveTree(folder);
}
