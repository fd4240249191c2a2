#include "ui/logviewer/log_viewer_window.h"

#include <iterator>

#include "storage/log_writer.h"
#include "ui/controls.h"
#include "ui/dpi_scale.h"
#include "ui/logviewer/log_view_text.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/tool_windows.h"

namespace ui::logviewer {

namespace {

HWND logViewerWindow = nullptr;
bool classRegistered = false;

constexpr DWORD TextStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL | ES_READONLY;
constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;

struct ButtonDefinition {
    int id;
    const wchar_t* text;
    ControlRect LogViewerRects::*rect;
};

// In creation order.
constexpr ButtonDefinition Buttons[] = {
    {IDC_LOG_REFRESH, L"Refresh", &LogViewerRects::refresh},
    {IDC_LOG_CLEAR, L"Clear log", &LogViewerRects::clearLog},
    {IDC_LOG_CLOSE, L"Close", &LogViewerRects::close},
};

HINSTANCE InstanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE)); }

LogViewerRects CurrentLayout(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return LayoutLogViewer(client.right - client.left, client.bottom - client.top, WindowDpi(window));
}

HWND CreateControl(HWND window, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                   const ControlRect& r, int id) {
    return ::CreateWindowExW(exStyle, className, text, style, r.x, r.y, r.width, r.height, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), InstanceOf(window), nullptr);
}

void SetFont(HWND control, HFONT font) { ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

// The text's font and the buttons' made for the window's DPI and given to its controls.
void SetFontsForDpi(HWND window) {
    const int dpi = WindowDpi(window);
    SetFont(::GetDlgItem(window, IDC_LOG_TEXT), FontForDpi(LogTextFont, dpi));
    HFONT buttonFont = FontForDpi(LogButtonFont, dpi);
    for (const ButtonDefinition& button : Buttons) SetFont(::GetDlgItem(window, button.id), buttonFont);
}

// Refuses the window (-1) when the rich text library cannot be loaded; the next Log press
// tries again.
LRESULT OnLogViewerCreate(HWND window) {
    if (RichEditModule == nullptr) RichEditModule = ::LoadLibraryW(L"Msftedit.dll");
    if (RichEditModule == nullptr) {
        ::MessageBoxW(window, RichEditLoadFailureText, L"Error", MB_OK | MB_ICONERROR);
        return -1;
    }
    const LogViewerRects rects = CurrentLayout(window);
    CreateControl(window, WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"", TextStyle, rects.text, IDC_LOG_TEXT);
    for (const ButtonDefinition& button : Buttons)
        CreateControl(window, 0, L"BUTTON", button.text, ButtonStyle, rects.*button.rect, button.id);
    SetFontsForDpi(window);
    ReloadLogView(window);
    LayoutLogViewer(window);
    return 0;
}

void ClearLog(HWND window) {
    if (::MessageBoxW(window, ClearLogQuestion, L"Confirm", MB_YESNO | MB_ICONWARNING) != IDYES) return;
    storage::ClearLogFile();
    ReloadLogView(window);
}

bool OnLogViewerCommand(HWND window, int id) {
    switch (id) {
    case IDC_LOG_REFRESH: ReloadLogView(window); return true;
    case IDC_LOG_CLEAR: ClearLog(window); return true;
    case IDC_LOG_CLOSE: ::DestroyWindow(window); return true;
    }
    return false;
}

LRESULT FillBackground(HWND window, HDC dc) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    return 1;
}

LRESULT ColorStatic(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    return static_cast<LRESULT>(COLOR_WINDOW + 1);
}

LRESULT CALLBACK LogViewerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_CREATE: return OnLogViewerCreate(window);
        case WM_SIZE: LayoutLogViewer(window); return 0;
        case WM_ERASEBKGND: return FillBackground(window, reinterpret_cast<HDC>(wParam));
        case WM_CTLCOLORSTATIC: return ColorStatic(reinterpret_cast<HDC>(wParam));
        case WM_COMMAND:
            if (OnLogViewerCommand(window, LOWORD(wParam))) return 0;
            break;
        case WM_DPICHANGED:  // moved to a monitor of another scale
            MoveToSuggestedRect(window, lParam);
            SetFontsForDpi(window);
            LayoutLogViewer(window);
            return 0;
        case WM_CLOSE: ::DestroyWindow(window); return 0;
        case WM_DESTROY: logViewerWindow = nullptr; return 0;  // the library and fonts stay for the next one
        }
    } catch (...) {
        // Only memory running out gets here: the message is dropped, a creation refused.
        return message == WM_CREATE ? -1 : 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterLogViewerClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = LogViewerWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = LogViewerClassName;
    ::RegisterClassW(&windowClass);
}

}  // namespace

void ReloadLogView(HWND window) {
    // Read under the log's lock, drawn after it: no connection's record waits for the control.
    const std::wstring text = LogViewText(storage::CurrentLogTail());
    HWND control = ::GetDlgItem(window, IDC_LOG_TEXT);
    ::SetWindowTextW(control, text.c_str());
    ::SendMessageW(control, WM_VSCROLL, SB_BOTTOM, 0);
}

void LayoutLogViewer(HWND window) {
    const LogViewerRects rects = CurrentLayout(window);
    for (const ButtonDefinition& button : Buttons) {
        const ControlRect& r = rects.*button.rect;
        ::MoveWindow(::GetDlgItem(window, button.id), r.x, r.y, r.width, r.height, TRUE);
    }
    HWND text = ::GetDlgItem(window, IDC_LOG_TEXT);
    ::MoveWindow(text, rects.text.x, rects.text.y, rects.text.width, rects.text.height, TRUE);
    ::InvalidateRect(text, nullptr, TRUE);
}

}  // namespace ui::logviewer

namespace ui {

void ShowLogViewer(HWND controlWindow) {
    using namespace logviewer;
    try {
        if (logViewerWindow != nullptr && ::IsWindow(logViewerWindow)) {
            ::ShowWindow(logViewerWindow, SW_SHOWNORMAL);
            ::SetForegroundWindow(logViewerWindow);
            ReloadLogView(logViewerWindow);
            return;
        }
        const HINSTANCE instance = InstanceOf(controlWindow);
        if (!classRegistered) {
            RegisterLogViewerClass(instance);
            classRegistered = true;
        }
        const int dpi = WindowDpi(controlWindow);
        logViewerWindow = ::CreateWindowExW(WS_EX_DLGMODALFRAME, LogViewerClassName, LogViewerTitle,
                                            WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                            ScaleForDpi(LogViewerWidth, dpi), ScaleForDpi(LogViewerHeight, dpi),
                                            controlWindow, nullptr, instance, nullptr);
        if (logViewerWindow == nullptr) return;  // refused: the next press tries again
        ::ShowWindow(logViewerWindow, SW_SHOW);
        ::UpdateWindow(logViewerWindow);
    } catch (...) {
        // Memory ran out while the log was read: the window stays as far as it got.
    }
}

}  // namespace ui
