#include "ui/filemanager/file_manager_window.h"

#include "storage/data_folders.h"
#include "ui/controls.h"
#include "ui/dpi_scale.h"
#include "ui/filemanager/file_list.h"
#include "ui/filemanager/file_manager_layout.h"
#include "ui/filemanager/file_operations.h"
#include "ui/tool_windows.h"

namespace ui::filemanager {

namespace {

HWND fileManagerWindow = nullptr;
bool classRegistered = false;

constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD ListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY;
static_assert(ListStyle == 0x50A00801, "the list neither sorts nor loses its multiple selection");

struct ControlDefinition {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int id;
    ControlRect FileManagerRects::*rect;
};

// In creation order, which is also the controls' Z-order.
constexpr ControlDefinition Controls[] = {
    {L"LISTBOX", L"", ListStyle, IDC_FM_LIST, &FileManagerRects::fileList},
    {L"BUTTON", L"Explorer", ButtonStyle, IDC_FM_EXPLORER, &FileManagerRects::explorer},
    {L"BUTTON", L"Import files", ButtonStyle, IDC_FM_IMPORT, &FileManagerRects::importFiles},
    {L"BUTTON", L"Delete files", ButtonStyle, IDC_FM_DELETE, &FileManagerRects::deleteFiles},
    {L"BUTTON", L"Notepad", ButtonStyle, IDC_FM_NOTEPAD, &FileManagerRects::notepad},
    {L"BUTTON", L"Refresh", ButtonStyle, IDC_FM_REFRESH, &FileManagerRects::refresh},
    {L"BUTTON", L"Close", ButtonStyle, IDC_FM_CLOSE, &FileManagerRects::close},
};

struct PlacedControl {
    int id;
    ControlRect FileManagerRects::*rect;
};

// The order in which the layout moves them.
constexpr PlacedControl LayoutOrder[] = {
    {IDC_FM_EXPLORER, &FileManagerRects::explorer}, {IDC_FM_IMPORT, &FileManagerRects::importFiles},
    {IDC_FM_DELETE, &FileManagerRects::deleteFiles}, {IDC_FM_NOTEPAD, &FileManagerRects::notepad},
    {IDC_FM_REFRESH, &FileManagerRects::refresh},    {IDC_FM_CLOSE, &FileManagerRects::close},
    {IDC_FM_LIST, &FileManagerRects::fileList},
};

HINSTANCE InstanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE)); }

FileManagerRects CurrentLayout(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return LayoutFileManager(client.right - client.left, client.bottom - client.top, WindowDpi(window));
}

// Created where the layout puts them, so no other rectangle is ever shown.
void CreateFileManagerControls(HWND window) {
    const HINSTANCE instance = InstanceOf(window);
    const FileManagerRects rects = CurrentLayout(window);
    for (const ControlDefinition& control : Controls) {
        const ControlRect& r = rects.*control.rect;
        CreateChildControl(control.className, control.text, control.style, r.x, r.y, r.width, r.height, window,
                           control.id, instance);
    }
}

LRESULT OnFileManagerCreate(HWND window) {
    CreateFileManagerControls(window);
    RefreshFileList(window);
    LayoutFileManager(window);
    return 0;
}

LRESULT FillBackground(HWND window, HDC dc) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    return 1;
}

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

LRESULT CALLBACK FileManagerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_CREATE: return OnFileManagerCreate(window);
        case WM_SIZE: LayoutFileManager(window); return 0;
        case WM_ERASEBKGND: return FillBackground(window, reinterpret_cast<HDC>(wParam));
        case WM_COMMAND:
            if (OnFileManagerCommand(window, LOWORD(wParam))) return 0;
            break;
        case WM_DPICHANGED:  // moved to a monitor of another scale
            MoveToSuggestedRect(window, lParam);
            FontForDpi(UiFont, WindowDpi(window));
            LayoutFileManager(window);
            return 0;
        case WM_CLOSE: ::DestroyWindow(window); return 0;
        case WM_DESTROY: fileManagerWindow = nullptr; return 0;
        }
    } catch (...) {
        // Only memory running out gets here: the message is dropped, a creation refused.
        return message == WM_CREATE ? -1 : 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterFileManagerClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FileManagerWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = FileManagerClassName;
    ::RegisterClassW(&windowClass);
}

}  // namespace

void RefreshFileList(HWND window) {
    HWND list = ::GetDlgItem(window, IDC_FM_LIST);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::wstring webRoot = storage::WebRootPath();
    if (!storage::EnsureFolder(webRoot)) return;
    for (const std::wstring& name : ListFileNames(webRoot))
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void LayoutFileManager(HWND window) {
    const FileManagerRects rects = CurrentLayout(window);
    for (const PlacedControl& control : LayoutOrder) {
        const ControlRect& r = rects.*control.rect;
        ::MoveWindow(::GetDlgItem(window, control.id), r.x, r.y, r.width, r.height, TRUE);
    }
    ::InvalidateRect(window, nullptr, TRUE);
}

}  // namespace ui::filemanager

namespace ui {

void ShowFileManager(HWND controlWindow) {
    using namespace filemanager;
    try {
        if (fileManagerWindow != nullptr && ::IsWindow(fileManagerWindow)) {
            ::ShowWindow(fileManagerWindow, SW_SHOWNORMAL);
            ::SetForegroundWindow(fileManagerWindow);
            RefreshFileList(fileManagerWindow);
            return;
        }
        const HINSTANCE instance = InstanceOf(controlWindow);
        if (!classRegistered) {
            // Registered once, whatever the outcome: a failed registration is not retried.
            RegisterFileManagerClass(instance);
            classRegistered = true;
        }
        const int dpi = WindowDpi(controlWindow);
        fileManagerWindow = ::CreateWindowExW(WS_EX_DLGMODALFRAME, FileManagerClassName, FileManagerTitle,
                                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                              ScaleForDpi(FileManagerWidth, dpi), ScaleForDpi(FileManagerHeight, dpi),
                                              controlWindow, nullptr, instance, nullptr);
        if (fileManagerWindow == nullptr) return;
        ::ShowWindow(fileManagerWindow, SW_SHOW);
        ::UpdateWindow(fileManagerWindow);
    } catch (...) {
        // Memory ran out while the list was filled: the window stays as far as it got.
    }
}

}  // namespace ui
