// The file manager window in this process, owned by a plain stand-in for the control window.
// The web root is the real one of the prefix, emptied before and after each test. The
// operations behind the message boxes are tested from outside the exe.
#include "ui/filemanager/file_manager_window.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "storage/data_folders.h"
#include "test_support.h"
#include "tool_window_harness.h"
#include "ui/controls.h"
#include "ui/filemanager/file_list.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/tool_windows.h"

using namespace ui::filemanager;
using namespace tool_window_testing;

namespace {
void Plant(const std::wstring& name) { platform::AppendToFile(storage::WebRootPath() + name, "x", 1); }

LRESULT ListMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(::GetDlgItem(window, IDC_FM_LIST), message, wParam, lParam);
}

std::vector<std::wstring> Entries(HWND window) {
    std::vector<std::wstring> entries(static_cast<std::size_t>(ListMessage(window, LB_GETCOUNT)));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].resize(static_cast<std::size_t>(ListMessage(window, LB_GETTEXTLEN, i)) + 1);
        const LRESULT length = ListMessage(window, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entries[i].data()));
        entries[i].resize(static_cast<std::size_t>(length));
    }
    return entries;
}

void ExpectLayoutApplied(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    const FileManagerRects r = LayoutFileManager(client.right, client.bottom);
    for (auto [id, want] : {std::pair{IDC_FM_LIST, r.fileList}, {IDC_FM_EXPLORER, r.explorer},
                            {IDC_FM_IMPORT, r.importFiles}, {IDC_FM_DELETE, r.deleteFiles}, {IDC_FM_NOTEPAD, r.notepad},
                            {IDC_FM_REFRESH, r.refresh}, {IDC_FM_CLOSE, r.close}}) {
        const RECT at = PlacementOf(::GetDlgItem(window, id));
        // The list trims itself to whole entries (no LBS_NOINTEGRALHEIGHT).
        const int trimmed = id == IDC_FM_LIST ? static_cast<int>(ListMessage(window, LB_GETITEMHEIGHT)) - 1 : 0;
        EXPECT_TRUE(at.left == want.x && at.top == want.y && at.right == want.width && at.bottom <= want.height &&
                    at.bottom >= want.height - trimmed)
            << "control " << id << " at " << client.right << " x " << client.bottom;
    }
}

struct FileManagerWindow : testing::Test {
    testing_support::ScopedDataFolder data;
    OwnerWindow owner;
    void SetUp() override { ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath())); }
    HWND Open() {
        ui::ShowFileManager(owner.handle);
        return OnlyWindowOfClass(FileManagerClassName);
    }
};
}  // namespace

TEST_F(FileManagerWindow, OpensOwnedWithItsControlsWhereTheLayoutPutsThem) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"File Manager - Web Root ");
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner.handle);
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT outer{};
    ::GetWindowRect(window, &outer);
    EXPECT_TRUE(outer.right - outer.left == 900 && outer.bottom - outer.top == 560);
    const LONG_PTR listStyle = ::GetWindowLongPtrW(::GetDlgItem(window, IDC_FM_LIST), GWL_STYLE);
    EXPECT_EQ(listStyle & (LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_SORT), LBS_EXTENDEDSEL | LBS_NOTIFY);
    for (auto [id, text] : {std::pair{IDC_FM_EXPLORER, L"Explorer"}, {IDC_FM_IMPORT, L"Import files"},
                            {IDC_FM_DELETE, L"Delete files"}, {IDC_FM_NOTEPAD, L"Notepad"},
                            {IDC_FM_REFRESH, L"Refresh"}, {IDC_FM_CLOSE, L"Close"}}) {
        EXPECT_EQ(WindowText(::GetDlgItem(window, id)), text);
        EXPECT_EQ(::SendMessageW(::GetDlgItem(window, id), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(ui::UiFont));
    }
    ExpectLayoutApplied(window);
    ::SetWindowPos(window, nullptr, 0, 0, 300, 160, SWP_NOMOVE | SWP_NOZORDER);  // the list at its floor
    ExpectLayoutApplied(window);
}

TEST_F(FileManagerWindow, ListsTheWebRootsFilesAndRefillsOnRefreshAndSecondPress) {
    ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath() + L"images"));
    for (const wchar_t* name : {L"index.html", L"zeta.css", L"secret.txt"}) Plant(name);
    ::SetFileAttributesW((storage::WebRootPath() + L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    std::vector<std::wstring> entries = Entries(window);
    EXPECT_EQ(entries, ListFileNames(storage::WebRootPath()));  // the system's order
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"index.html", L"secret.txt", L"zeta.css"}));

    Plant(L"new.txt");
    PressButton(window, IDC_FM_LIST);  // a list notification changes nothing
    EXPECT_EQ(Entries(window).size(), 3u);
    PressButton(window, IDC_FM_REFRESH);
    EXPECT_EQ(Entries(window).size(), 4u);
    Plant(L"newer.txt");
    ListMessage(window, LB_SETSEL, TRUE, 0);
    ::ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(Open(), window);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_EQ(Entries(window).size(), 5u);
    EXPECT_EQ(ListMessage(window, LB_GETSELCOUNT), 0);
}

TEST_F(FileManagerWindow, CloseAndTheOwnersEndClearTheSlot) {
    HWND first = Open();
    PressButton(first, IDC_FM_CLOSE);
    EXPECT_FALSE(::IsWindow(first));
    HWND second = Open();
    ASSERT_NE(second, nullptr);
    owner.Destroy();
    EXPECT_FALSE(::IsWindow(second));
    OwnerWindow nextOwner;
    ui::ShowFileManager(nextOwner.handle);
    EXPECT_EQ(::GetWindow(OnlyWindowOfClass(FileManagerClassName), GW_OWNER), nextOwner.handle);
}
