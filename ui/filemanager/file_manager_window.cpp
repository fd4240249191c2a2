#include "ui/filemanager/file_manager_window.h"

#include <iterator>

#include "storage/data_folders.h"
#include "ui/filemanager/file_list.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/filemanager/file_operations.h"
#include "ui/tool_windows.h"
#include "ui/window_kit.h"

namespace ui::filemanager {

namespace {

constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD ListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY;
static_assert(ListStyle == 0x50A00801, "the list neither sorts nor loses its multiple selection");

constexpr ControlRow<FileManagerRects> Controls[] = {
    {L"LISTBOX", L"", ListStyle, IDC_FM_LIST, &FileManagerRects::fileList},
    {L"BUTTON", L"Explorer", ButtonStyle, IDC_FM_EXPLORER, &FileManagerRects::explorer},
    {L"BUTTON", L"Import files", ButtonStyle, IDC_FM_IMPORT, &FileManagerRects::importFiles},
    {L"BUTTON", L"Delete files", ButtonStyle, IDC_FM_DELETE, &FileManagerRects::deleteFiles},
    {L"BUTTON", L"Notepad", ButtonStyle, IDC_FM_NOTEPAD, &FileManagerRects::notepad},
    {L"BUTTON", L"Refresh", ButtonStyle, IDC_FM_REFRESH, &FileManagerRects::refresh},
    {L"BUTTON", L"Close", ButtonStyle, IDC_FM_CLOSE, &FileManagerRects::close},
};

// The low word of wParam alone decides; list notifications (2001) are not acted on.
bool OnFileManagerCommand(HWND window, int id) {
    switch (id) {
    case IDC_FM_EXPLORER: OpenWebRootInExplorer(window); return true;
    case IDC_FM_IMPORT:
        ImportFiles(window);
        RefreshFileList(window);  // also after a cancelled dialog or a failed copy
        return true;
    case IDC_FM_DELETE: DeleteSelectedFiles(window); return true;
    case IDC_FM_NOTEPAD: OpenSelectedInNotepad(window); return true;
    case IDC_FM_REFRESH: RefreshFileList(window); return true;
    case IDC_FM_CLOSE: ::DestroyWindow(window); return true;
    }
    return false;
}

ToolWindow<FileManagerRects, std::size(Controls)> fileManager{
    {FileManagerClassName, FileManagerTitle, FileManagerWidth, FileManagerHeight, nullptr, RefreshFileList,
     OnFileManagerCommand},
    LayoutFileManager, Controls};

}  // namespace

void RefreshFileList(HWND window) {
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::wstring webRoot = storage::WebRootPath();
    if (!storage::EnsureFolder(webRoot)) return;
    for (const std::wstring& name : ListFileNames(webRoot))
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

}  // namespace ui::filemanager

namespace ui {

void ShowFileManager(HWND controlWindow) {
    using filemanager::fileManager;
    ShowToolWindow(fileManager, GuardedWindowProc<ToolWindowMessage<fileManager>>, controlWindow);
}

}  // namespace ui
