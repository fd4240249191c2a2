// The file manager window in this process, with a plain window standing in for the control
// window. The web root is the real one of this prefix, emptied before and after each test.
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
#include "ui/filemanager/file_operations.h"
#include "ui/filemanager/file_rules.h"
#include "ui/tool_windows.h"

using namespace ui::filemanager;
using namespace tool_window_testing;
using testing_support::ScopedDataFolder;

namespace {

void Plant(const std::wstring& name, const std::string& bytes = "x") {
    const std::wstring path = storage::WebRootPath() + name;
    platform::DeleteFileAt(path);
    ASSERT_TRUE(platform::AppendToFile(path, bytes.data(), bytes.size())) << name;
}

bool InWebRoot(const std::wstring& name) { return platform::PathExists(storage::WebRootPath() + name); }

HWND TheFileManager() {
    std::vector<HWND> windows = ThreadWindowsOfClass(FileManagerClassName);
    return windows.size() == 1 ? windows.front() : nullptr;
}

HWND ListOf(HWND window) { return ::GetDlgItem(window, IDC_FM_LIST); }

std::vector<std::wstring> Entries(HWND window) {
    HWND list = ListOf(window);
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        entries.push_back(text);
    }
    return entries;
}

void SelectAll(HWND window) { ::SendMessageW(ListOf(window), LB_SETSEL, TRUE, -1); }

void SelectEntries(HWND window, const std::vector<std::wstring>& names) {
    std::vector<std::wstring> entries = Entries(window);
    for (const std::wstring& name : names) {
        auto at = std::find(entries.begin(), entries.end(), name);
        ASSERT_NE(at, entries.end()) << name;
        ::SendMessageW(ListOf(window), LB_SETSEL, TRUE, at - entries.begin());
    }
}

int SelectedCount(HWND window) { return static_cast<int>(::SendMessageW(ListOf(window), LB_GETSELCOUNT, 0, 0)); }

// Presses the button while a helper answers whatever box it opens.
std::vector<SeenBox> PressAnswering(HWND window, int id, int answer) {
    BoxAnswerer answerer(answer);
    PressButton(window, id);
    return answerer.Stop();
}

void ExpectLayoutApplied(HWND window) {
    const SIZE client = ClientSize(window);
    const FileManagerRects rects = LayoutFileManager(client.cx, client.cy);
    const std::pair<int, ControlRect> expected[] = {
        {IDC_FM_LIST, rects.fileList},    {IDC_FM_EXPLORER, rects.explorer}, {IDC_FM_IMPORT, rects.importFiles},
        {IDC_FM_DELETE, rects.deleteFiles}, {IDC_FM_NOTEPAD, rects.notepad}, {IDC_FM_REFRESH, rects.refresh},
        {IDC_FM_CLOSE, rects.close},
    };
    for (const auto& [id, r] : expected) {
        SCOPED_TRACE(testing::Message() << "control " << id << " at " << client.cx << " x " << client.cy);
        HWND control = ::GetDlgItem(window, id);
        const Placement actual = PlacementOf(control);
        // A window cannot be negative-sized: what the layout makes negative the system takes as zero.
        EXPECT_EQ(actual.x, r.x);
        EXPECT_EQ(actual.y, r.y);
        EXPECT_EQ(actual.width, std::max(r.width, 0));
        if (id != IDC_FM_LIST) {
            EXPECT_EQ(actual.height, std::max(r.height, 0));
        } else {
            // The list trims itself to whole entries (it has no LBS_NOINTEGRALHEIGHT).
            const int itemHeight = static_cast<int>(::SendMessageW(control, LB_GETITEMHEIGHT, 0, 0));
            EXPECT_LE(actual.height, r.height);
            EXPECT_GT(actual.height, r.height - itemHeight);
        }
    }
}

struct FileManagerTest : testing::Test {
    ScopedDataFolder data;
    OwnerWindow owner;
    void SetUp() override { ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath())); }
    HWND Open() {
        ui::ShowFileManager(owner.Handle());
        PumpMessages();
        return TheFileManager();
    }
};

}  // namespace

TEST_F(FileManagerTest, OpensOwnedWindowWithItsControls) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"File Manager - Web Root ");
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner.Handle());
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(OuterSize(window).cx, 900);
    EXPECT_EQ(OuterSize(window).cy, 560);

    HWND list = ListOf(window);
    EXPECT_EQ(ClassNameOf(list), L"ListBox");
    const LONG_PTR listStyle = ::GetWindowLongPtrW(list, GWL_STYLE);
    // WS_VSCROLL is dropped by the list itself while nothing needs scrolling.
    EXPECT_EQ(listStyle & (LBS_EXTENDEDSEL | LBS_NOTIFY | WS_BORDER), LBS_EXTENDEDSEL | LBS_NOTIFY | WS_BORDER);
    EXPECT_EQ(listStyle & LBS_SORT, 0);
    const std::pair<int, const wchar_t*> buttons[] = {
        {IDC_FM_EXPLORER, L"Explorer"}, {IDC_FM_IMPORT, L"Import files"}, {IDC_FM_DELETE, L"Delete files"},
        {IDC_FM_NOTEPAD, L"Notepad"},   {IDC_FM_REFRESH, L"Refresh"},     {IDC_FM_CLOSE, L"Close"},
    };
    for (const auto& [id, text] : buttons) {
        HWND button = ::GetDlgItem(window, id);
        EXPECT_EQ(WindowText(button), text);
        EXPECT_EQ(::SendMessageW(button, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(ui::UiFont)) << text;
    }
    ExpectLayoutApplied(window);
}

TEST_F(FileManagerTest, ListsFilesOfTheWebRootInSystemOrderWithoutFolders) {
    for (const wchar_t* name : {L"index.html", L"zeta.css", L"alpha.js", L"secret.txt"}) Plant(name);
    ASSERT_TRUE(::SetFileAttributesW((storage::WebRootPath() + L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath() + L"images"));
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    std::vector<std::wstring> entries = Entries(window);
    EXPECT_EQ(entries, ListFileNames(storage::WebRootPath()));
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"alpha.js", L"index.html", L"secret.txt", L"zeta.css"}));
}

TEST_F(FileManagerTest, MissingWebRootIsCreatedAndListedEmpty) {
    ASSERT_TRUE(testing_support::RemoveTree(data.Root() + L"\\Quarvel"));
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(platform::QueryAttributes(storage::WebRootPath()).directory);
    EXPECT_TRUE(Entries(window).empty());
}

TEST_F(FileManagerTest, SecondPressKeepsOneWindowAndRefillsIt) {
    Plant(L"a.txt");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    SelectAll(window);
    ::ShowWindow(window, SW_MINIMIZE);
    Plant(L"b.txt");
    EXPECT_EQ(Entries(window).size(), 1u);  // a snapshot until the next refresh

    EXPECT_EQ(Open(), window);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_EQ(Entries(window).size(), 2u);
    EXPECT_EQ(SelectedCount(window), 0);
}

TEST_F(FileManagerTest, RefreshPicksUpFilesAddedAndRemovedElsewhere) {
    Plant(L"old.txt");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Plant(L"new.txt");
    ASSERT_TRUE(platform::DeleteFileAt(storage::WebRootPath() + L"old.txt"));
    PressButton(window, IDC_FM_LIST);  // a list notification changes nothing
    EXPECT_EQ(Entries(window), (std::vector<std::wstring>{L"old.txt"}));
    PressButton(window, IDC_FM_REFRESH);
    EXPECT_EQ(Entries(window), (std::vector<std::wstring>{L"new.txt"}));
}

TEST_F(FileManagerTest, LayoutFollowsTheClientSize) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    ExpectLayoutApplied(window);
    for (SIZE outer : {SIZE{1200, 800}, SIZE{400, 250}, SIZE{160, 120}}) {
        ::SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ExpectLayoutApplied(window);
    }
}

TEST_F(FileManagerTest, ClosingOrLosingTheOwnerEndsTheWindow) {
    HWND first = Open();
    ASSERT_NE(first, nullptr);
    PressButton(first, IDC_FM_CLOSE);
    EXPECT_FALSE(::IsWindow(first));

    HWND second = Open();
    ASSERT_NE(second, nullptr);
    ::SendMessageW(second, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(second));

    HWND third = Open();
    ASSERT_NE(third, nullptr);
    owner.Destroy();
    EXPECT_FALSE(::IsWindow(third));

    OwnerWindow nextOwner;
    ui::ShowFileManager(nextOwner.Handle());
    HWND fourth = TheFileManager();
    ASSERT_NE(fourth, nullptr);
    EXPECT_EQ(::GetWindow(fourth, GW_OWNER), nextOwner.Handle());
}

TEST_F(FileManagerTest, DeleteAndNotepadWithoutSelectionShowInfo) {
    Plant(L"a.txt");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    for (int id : {IDC_FM_DELETE, IDC_FM_NOTEPAD}) {
        std::vector<SeenBox> boxes = PressAnswering(window, id, IDOK);
        ASSERT_EQ(boxes.size(), 1u) << id;
        EXPECT_EQ(boxes[0].caption, L"Info");
        EXPECT_EQ(boxes[0].text, NoSelectionText);
        EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDOK}));
    }
    EXPECT_TRUE(InWebRoot(L"a.txt"));
}

TEST_F(FileManagerTest, DeleteAnsweredNoKeepsFilesAndSelection) {
    for (int i = 1; i <= 11; ++i) Plant(L"file" + std::to_wstring(i) + L".txt");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    SelectAll(window);
    const std::vector<std::wstring> entries = Entries(window);
    std::vector<SeenBox> boxes = PressAnswering(window, IDC_FM_DELETE, IDNO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Confirm");
    EXPECT_EQ(boxes[0].text, BuildDeleteConfirmation(entries));  // the first ten in list order, then "..."
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDYES, IDNO}));
    for (const std::wstring& name : entries) EXPECT_TRUE(InWebRoot(name)) << name;
    EXPECT_EQ(Entries(window), entries);
    EXPECT_EQ(SelectedCount(window), 11);
}

TEST_F(FileManagerTest, DeleteAnsweredYesDeletesAndRefills) {
    for (const wchar_t* name : {L"keep.txt", L"gone1.txt", L"gone2.txt"}) Plant(name);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    SelectEntries(window, {L"gone1.txt", L"gone2.txt"});
    ASSERT_TRUE(platform::DeleteFileAt(storage::WebRootPath() + L"gone2.txt"));  // vanished meanwhile: no message
    std::vector<SeenBox> boxes = PressAnswering(window, IDC_FM_DELETE, IDYES);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Confirm");
    EXPECT_FALSE(InWebRoot(L"gone1.txt"));
    EXPECT_TRUE(InWebRoot(L"keep.txt"));
    EXPECT_EQ(Entries(window), (std::vector<std::wstring>{L"keep.txt"}));
}

TEST_F(FileManagerTest, UnsafeNameAbortsTheWholeDeletion) {
    for (const wchar_t* name : {L"fine.txt", L"a..b.txt"}) Plant(name);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    SelectAll(window);
    std::vector<SeenBox> boxes = PressAnswering(window, IDC_FM_DELETE, IDYES);
    ASSERT_EQ(boxes.size(), 1u);  // no confirmation follows
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].text, InvalidNameText);
    EXPECT_TRUE(InWebRoot(L"fine.txt"));
    EXPECT_TRUE(InWebRoot(L"a..b.txt"));
    EXPECT_EQ(SelectedCount(window), 2);
}

TEST_F(FileManagerTest, NotepadSkipsUnsafeNamesSilently) {
    Plant(L"a..b.txt");
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    SelectAll(window);
    EXPECT_TRUE(PressAnswering(window, IDC_FM_NOTEPAD, IDOK).empty());
}
