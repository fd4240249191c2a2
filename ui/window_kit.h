#pragma once
// What the program's three windows share: the class registration, the tool windows' show-or-raise,
// the guarded window procedure, and each window's own scale: its DPI and the fonts made for it,
// given to its own controls only and deleted with the window. A window is then a table of its
// controls, its layout and its commands.
#include <windows.h>

#include <cstddef>

#include "ui/dpi_scale.h"

namespace ui {

// The recipes, shared with the tests that measure texts: 10-point "Segoe UI" (the stock GUI
// font when it cannot be made) and 12-pixel-at-96-DPI "Consolas" (the stock fixed font).
HFONT CreateUiFont(int dpi);
HFONT CreateLogTextFont(int dpi);

enum class FontKind { Ui, LogText };

// One child control: created from its row, in the table's order (also its Z-order), and placed
// at the rectangle its member names in the window's layout.
template <class Rects>
struct ControlRow {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int id;
    ControlRect Rects::*rect;
    DWORD exStyle = 0;
    FontKind font = FontKind::Ui;
};

// The DPI of the window's monitor where the system can tell (Windows 10 1607 and later), else
// the screen's LOGPIXELSY, else 96.
int WindowDpi(HWND window);
// The window's own DPI: taken at its creation, then from each WM_DPICHANGED.
int DpiOf(HWND window);
// The window's font of kind at its DPI, made on first use; null only when even the stock font
// is missing.
HFONT FontOf(HWND window, FontKind kind);

// Sets the window's DPI; FontOf makes its fonts afresh for it. The fonts it held before are
// deleted when this ends, once its controls have been given the new ones.
struct DpiChange {
    DpiChange(HWND window, int dpi);
    DpiChange(const DpiChange&) = delete;
    DpiChange& operator=(const DpiChange&) = delete;
    ~DpiChange();
    HFONT retired[2] = {};
};
// WM_DPICHANGED's suggested window rectangle taken as it is.
void MoveToSuggestedRect(HWND window, LPARAM suggested);

// The window rectangle for a client rectangle at dpi: AdjustWindowRectExForDpi where the
// system has it, else AdjustWindowRectEx. No menu.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// A class of style 0 with the arrow cursor and the window colour as background; the result is
// not looked at.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);
// Creates a child control at rect with its font; null when it cannot be created.
HWND CreateControl(HWND window, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                   const ControlRect& rect, int id, HFONT font);

// The client size given to a layout (width, height, dpi) at the window's DPI.
template <class Layout>
auto CurrentLayout(HWND window, Layout layout) {
    RECT client{};
    ::GetClientRect(window, &client);
    return layout(client.right - client.left, client.bottom - client.top, DpiOf(window));
}

// Creates every control of rows where rects puts it, so no other rectangle is ever shown;
// false when one cannot be created.
template <class Rects, std::size_t N>
bool CreateControls(HWND window, const ControlRow<Rects> (&rows)[N], const Rects& rects) {
    for (const ControlRow<Rects>& row : rows)
        if (!CreateControl(window, row.className, row.text, row.style, row.exStyle, rects.*row.rect, row.id,
                           FontOf(window, row.font)))
            return false;
    return true;
}

// Moves every control of rows to its rectangle, then repaints the whole client area.
template <class Rects, std::size_t N>
void PlaceControls(HWND window, const ControlRow<Rects> (&rows)[N], const Rects& rects) {
    for (const ControlRow<Rects>& row : rows) {
        const ControlRect& r = rects.*row.rect;
        ::MoveWindow(::GetDlgItem(window, row.id), r.x, r.y, r.width, r.height, TRUE);
    }
    ::InvalidateRect(window, nullptr, TRUE);
}

// Gives every control of rows the window's font of its kind.
template <class Rects, std::size_t N>
void GiveFonts(HWND window, const ControlRow<Rects> (&rows)[N]) {
    for (const ControlRow<Rects>& row : rows)
        ::SendMessageW(::GetDlgItem(window, row.id), WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(window, row.font)),
                       TRUE);
}

// WM_DPICHANGED: the DPI from the message (HIWORD of wParam; never queried again, the system may
// not know it yet), fonts made for it and given to this window's controls alone, then the
// suggested rectangle. The caller lays its controls out afterwards.
template <class Rects, std::size_t N>
void ChangeScale(HWND window, WPARAM wParam, LPARAM suggested, const ControlRow<Rects> (&rows)[N]) {
    const DpiChange change(window, HIWORD(wParam));
    GiveFonts(window, rows);
    MoveToSuggestedRect(window, suggested);
}

// A tool window: one at most, owned by the control window, with extended style
// WS_EX_DLGMODALFRAME and style WS_OVERLAPPEDWINDOW; its class registered on first use.
struct ToolWindowBase {
    const wchar_t* className;
    const wchar_t* title;
    int width, height;                      // at 96 DPI
    bool (*prepare)(HWND window);           // before the controls, or null; false refuses the window
    void (*fill)(HWND window);              // the content, at creation and at each raise
    bool (*command)(HWND window, int id);   // false: not one of its buttons
    HWND handle = nullptr;                  // cleared by the window's WM_DESTROY
    bool registered = false;
};
template <class Rects, std::size_t N>
struct ToolWindow : ToolWindowBase {
    Rects (*layout)(int clientWidth, int clientHeight, int dpi);
    const ControlRow<Rects> (&rows)[N];
};
// Raises and refills the open window, or creates and shows one; a refused creation leaves
// none, and the next call tries again (but never registers the class again).
void ShowToolWindow(ToolWindowBase& tool, WNDPROC procedure, HWND owner);

// The messages of a tool window: its controls made, placed and rescaled from its table, its
// buttons run by its command.
template <auto& tool>
LRESULT ToolWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if ((tool.prepare != nullptr && !tool.prepare(window)) ||
            !CreateControls(window, tool.rows, CurrentLayout(window, tool.layout)))
            return -1;
        tool.fill(window);
        return 0;
    case WM_SIZE: PlaceControls(window, tool.rows, CurrentLayout(window, tool.layout)); return 0;
    case WM_COMMAND:
        return tool.command(window, LOWORD(wParam)) ? 0 : ::DefWindowProcW(window, message, wParam, lParam);
    case WM_DPICHANGED:
        ChangeScale(window, wParam, lParam, tool.rows);
        PlaceControls(window, tool.rows, CurrentLayout(window, tool.layout));  // also when the size stays
        return 0;
    case WM_DESTROY: tool.handle = nullptr; return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Attaches the window's scale at WM_NCCREATE and frees it with its fonts at WM_NCDESTROY.
void TrackScale(HWND window, UINT message);

// The window procedure around handle: the window's scale kept, and no exception let through
// the window system (only memory running out throws here: the message is dropped, a
// creation refused).
template <LRESULT (*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        TrackScale(window, message);
        return Handle(window, message, wParam, lParam);
    } catch (...) {
        return message == WM_CREATE ? -1 : 0;
    }
}

}  // namespace ui
