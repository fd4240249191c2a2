#include "ui/filemanager/file_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "platform/files.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using ui::filemanager::ListFileNames;
namespace fs = std::filesystem;

namespace {
// A fresh folder of the test's own, removed afterwards.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::random_device seed;
        path = fs::temp_directory_path() /
               ("quarvello-list-" + std::to_string(seed()) + "-" +
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
}  // namespace

TEST(ListFileNames, ListsFilesHiddenOnesIncludedButNoFolders) {
    TempFolder folder;
    for (const wchar_t* name : {L"index.html", L".hidden", L"secret.txt", L"caf\u00E9.css", L"empty"})
        Plant(folder.Child(name), name == std::wstring(L"empty") ? "" : "x");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(folder.Child(L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#endif
    fs::create_directories(folder.path / "sub");
    Plant(folder.Child(L"sub") + platform::PathSeparator + L"inner.txt", "x");

    std::vector<std::wstring> names = ListFileNames(folder.path.wstring());
    std::vector<std::wstring> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L".hidden", L"caf\u00E9.css", L"empty", L"index.html", L"secret.txt"}));

    // No order of its own: the system's enumeration order, folders left out.
    std::vector<std::wstring> systemOrder;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder.path.wstring()))
        if (!entry.directory) systemOrder.push_back(entry.name);
    EXPECT_EQ(names, systemOrder);
}

TEST(ListFileNames, EmptyOrMissingFolderGivesNothing) {
    TempFolder folder;
    EXPECT_TRUE(ListFileNames(folder.path.wstring()).empty());
    fs::create_directories(folder.path / "only-a-folder");
    EXPECT_TRUE(ListFileNames(folder.path.wstring()).empty());
    EXPECT_TRUE(ListFileNames(folder.Child(L"missing")).empty());
}
