#include "ui/control_window.h"

#include "server/web_server.h"
#include "ui/control_window_layout.h"
#include "ui/controls.h"
#include "ui/status_panel.h"
#include "ui/tool_windows.h"

namespace ui {

namespace {

bool statusPanelVisible = false;

HWND Control(HWND window, int id) { return ::GetDlgItem(window, id); }

HINSTANCE InstanceOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
}

ControlWindowLayout CurrentLayout(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return LayOutControlWindow(client.right - client.left, client.bottom - client.top, statusPanelVisible,
                               WindowDpi(window));
}

void MoveControl(HWND window, int id, const ControlRect& rect) {
    ::MoveWindow(Control(window, id), rect.x, rect.y, rect.width, rect.height, TRUE);
}

void RepaintIndicator(HWND window) { ::InvalidateRect(Control(window, IDC_INDICATOR), nullptr, TRUE); }

void SetStartStopText(HWND window, bool running) {
    ::SetWindowTextW(Control(window, IDC_START_STOP), StartStopText(running));
}

void CreateControls(HWND window) {
    const ControlWindowLayout layout = CurrentLayout(window);
    struct NewControl {
        const wchar_t* className;
        const wchar_t* text;
        DWORD style;
        ControlRect rect;
        int id;
    };
    // In creation order, which is also the Z-order.
    const NewControl controls[] = {
        {L"BUTTON", StartStopText(server::TheWebServer.running.load()), WS_CHILD | WS_VISIBLE, layout.startStop,
         IDC_START_STOP},
        {L"BUTTON", L"File Manager", WS_CHILD | WS_VISIBLE, layout.fileManager, IDC_FILE_MANAGER},
        {L"BUTTON", L"Log", WS_CHILD | WS_VISIBLE, layout.log, IDC_LOG},
        {L"BUTTON", L"Status", WS_CHILD | WS_VISIBLE, layout.status, IDC_STATUS},
        {L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, layout.indicator, IDC_INDICATOR},
        {L"STATIC", L"", WS_CHILD, layout.statusText, IDC_STATUS_TEXT},
    };
    const HINSTANCE instance = InstanceOf(window);
    for (const NewControl& c : controls)
        CreateChildControl(c.className, c.text, c.style, c.rect.x, c.rect.y, c.rect.width, c.rect.height, window, c.id,
                           instance);
}

LRESULT OnCreate(HWND window) {
    CreateControls(window);
    ::ShowWindow(Control(window, IDC_STATUS_TEXT), SW_HIDE);
    // The sizing frame is still in the style here: once the entry point has removed it, this
    // outer size leaves a client a little larger than every later sizing gives.
    SizeWindowToClientHeight(window, CollapsedClientHeight);
    SetStartStopText(window, server::TheWebServer.Start(window));
    ::SetTimer(window, RefreshTimerId, RefreshIntervalMs, nullptr);
    RefreshStatusPanel(window);
    ApplyControlLayout(window);
    return 0;
}

void OnStartStop(HWND window) {
    server::WebServer& webServer = server::TheWebServer;
    if (webServer.running.load()) {
        webServer.Stop();
        SetStartStopText(window, false);
    } else if (webServer.Start(window)) {
        SetStartStopText(window, true);
    }
    if (statusPanelVisible) RefreshStatusPanel(window);
    RepaintIndicator(window);
}

void OnStatus(HWND window) {
    statusPanelVisible = !statusPanelVisible;
    if (statusPanelVisible) {
        RefreshStatusPanel(window);
        SizeWindowToClientHeight(window, ExpandedClientHeight);
    } else {
        SizeWindowToClientHeight(window, CollapsedClientHeight);
    }
    ApplyControlLayout(window);
}

// The window moved to a monitor of another scale: the suggested place, then the fonts, size and
// layout for the new DPI.
void OnDpiChanged(HWND window, LPARAM suggested) {
    MoveToSuggestedRect(window, suggested);
    FontForDpi(UiFont, WindowDpi(window));
    SizeWindowToClientHeight(window, statusPanelVisible ? ExpandedClientHeight : CollapsedClientHeight);
    ApplyControlLayout(window);
}

bool OnCommand(HWND window, int id) {
    switch (id) {
    case IDC_START_STOP: OnStartStop(window); return true;
    case IDC_STATUS: OnStatus(window); return true;
    case IDC_FILE_MANAGER: ShowFileManager(window); return true;
    case IDC_LOG: ShowLogViewer(window); return true;
    }
    return false;
}

void OnTimer(HWND window) {
    // While the panel is hidden no probe runs; the indicator still follows the running flag.
    if (statusPanelVisible)
        RefreshStatusPanel(window);
    else
        RepaintIndicator(window);
}

COLORREF ToColorRef(Rgb color) { return RGB(color.red, color.green, color.blue); }

void DrawIndicator(const DRAWITEMSTRUCT& item) {
    const RECT& r = item.rcItem;
    const int dpi = WindowDpi(item.hwndItem);
    ::FillRect(item.hDC, &r, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    const EllipseBox box = IndicatorEllipse({r.left, r.top, r.right - r.left, r.bottom - r.top}, dpi);
    HBRUSH brush = ::CreateSolidBrush(ToColorRef(IndicatorColor(server::TheWebServer.running.load())));
    HPEN pen = ::CreatePen(PS_SOLID, ScaleForDpi(1, dpi), ToColorRef(IndicatorOutlineColor));
    HGDIOBJ previousBrush = ::SelectObject(item.hDC, brush);
    HGDIOBJ previousPen = ::SelectObject(item.hDC, pen);
    ::Ellipse(item.hDC, box.left, box.top, box.right, box.bottom);
    ::SelectObject(item.hDC, previousPen);
    ::SelectObject(item.hDC, previousBrush);
    ::DeleteObject(pen);
    ::DeleteObject(brush);
}

LRESULT OnDrawItem(HWND window, WPARAM wParam, LPARAM lParam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item == nullptr || item->CtlID != IDC_INDICATOR) return ::DefWindowProcW(window, WM_DRAWITEM, wParam, lParam);
    DrawIndicator(*item);
    return TRUE;
}

LRESULT OnEraseBackground(HWND window, HDC dc) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return 1;
}

LRESULT OnStaticColor(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    // A system colour index plus one stands for that colour's brush.
    return static_cast<LRESULT>(COLOR_WINDOW + 1);
}

void OnDestroy(HWND window) {
    ::KillTimer(window, RefreshTimerId);
    server::TheWebServer.Stop();
    ReleaseUiResources();
    ::PostQuitMessage(0);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: ApplyControlLayout(window); return 0;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam)) ? 0 : ::DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER: OnTimer(window); return 0;
    case WM_DRAWITEM: return OnDrawItem(window, wParam, lParam);
    case WM_ERASEBKGND: return OnEraseBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC: return OnStaticColor(reinterpret_cast<HDC>(wParam));
    case WM_DPICHANGED: OnDpiChanged(window, lParam); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RegisterControlWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = ControlWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = ControlWindowClassName;
    ::RegisterClassW(&windowClass);
}

HWND CreateControlWindow(HINSTANCE instance) {
    const int dpi = WindowDpi(nullptr);  // the screen's: the window is not there yet
    return ::CreateWindowExW(0, ControlWindowClassName, ControlWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, ScaleForDpi(InitialWindowWidth, dpi),
                             ScaleForDpi(InitialWindowHeight, dpi), nullptr, nullptr, instance, nullptr);
}

void RemoveSizingFrame(HWND window) {
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    ::SetWindowLongPtrW(window, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MAXIMIZEBOX));
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void ApplyControlLayout(HWND window) {
    const ControlWindowLayout layout = CurrentLayout(window);
    MoveControl(window, IDC_INDICATOR, layout.indicator);
    MoveControl(window, IDC_START_STOP, layout.startStop);
    MoveControl(window, IDC_FILE_MANAGER, layout.fileManager);
    MoveControl(window, IDC_LOG, layout.log);
    MoveControl(window, IDC_STATUS, layout.status);
    if (layout.statusTextVisible) {
        ::ShowWindow(Control(window, IDC_STATUS_TEXT), SW_SHOW);
        MoveControl(window, IDC_STATUS_TEXT, layout.statusText);
    } else {
        ::ShowWindow(Control(window, IDC_STATUS_TEXT), SW_HIDE);
    }
    ::InvalidateRect(window, nullptr, TRUE);
}

void SizeWindowToClientHeight(HWND window, int height) {
    const int dpi = WindowDpi(window);
    RECT wanted{0, 0, 0, 0};  // what the frame adds, whatever the client
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    AdjustWindowRectForDpi(wanted, style, exStyle, dpi);
    const FrameWidening frame{-wanted.left, -wanted.top, wanted.right, wanted.bottom};
    const WindowSize size = WindowSizeForClientHeight(height, frame, dpi);
    RECT current{};
    ::GetWindowRect(window, &current);
    ::SetWindowPos(window, nullptr, current.left, current.top, size.width, size.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        // Only an allocation can fail here (a text or a path); the message is dropped rather
        // than let the exception unwind through the window system.
        return 0;
    }
}

}  // namespace ui
