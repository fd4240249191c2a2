#include "ui/control_window.h"

#include "server/web_server.h"
#include "ui/control_window_layout.h"
#include "ui/status_panel.h"
#include "ui/tool_windows.h"
#include "ui/window_kit.h"

namespace ui {

namespace {

bool statusPanelVisible = false;

HWND Control(HWND window, int id) { return ::GetDlgItem(window, id); }

constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;

// In creation order, which is also the Z-order. Start/Stop tells the outcome of the start at creation.
constexpr ControlRow<ControlWindowLayout> Controls[] = {
    {L"BUTTON", L"Start server", ButtonStyle, IDC_START_STOP, &ControlWindowLayout::startStop},
    {L"BUTTON", L"File Manager", ButtonStyle, IDC_FILE_MANAGER, &ControlWindowLayout::fileManager},
    {L"BUTTON", L"Log", ButtonStyle, IDC_LOG, &ControlWindowLayout::log},
    {L"BUTTON", L"Status", ButtonStyle, IDC_STATUS, &ControlWindowLayout::status},
    {L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, IDC_INDICATOR, &ControlWindowLayout::indicator},
    {L"STATIC", L"", WS_CHILD, IDC_STATUS_TEXT, &ControlWindowLayout::statusText},  // shown with the panel
};

void RepaintIndicator(HWND window) { ::InvalidateRect(Control(window, IDC_INDICATOR), nullptr, TRUE); }

void SetStartStopText(HWND window, bool running) {
    ::SetWindowTextW(Control(window, IDC_START_STOP), StartStopText(running));
}

// Refused (-1) when a control cannot be created, before the server starts.
LRESULT OnCreate(HWND window) {
    if (!CreateControls(window, Controls, CurrentLayout(window, LayOutControlWindow))) return -1;
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

// The window moved to a monitor of another scale: its fonts, place, size and layout for the new DPI.
void OnDpiChanged(HWND window, WPARAM wParam, LPARAM suggested) {
    ChangeScale(window, wParam, suggested, Controls);
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
    const int dpi = DpiOf(::GetParent(item.hwndItem));
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

// The status text in the window's colours, not a dialog's grey.
LRESULT OnStaticColor(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    // A system colour index plus one stands for that colour's brush.
    return static_cast<LRESULT>(COLOR_WINDOW + 1);
}

void OnDestroy(HWND window) {
    ::KillTimer(window, RefreshTimerId);
    server::TheWebServer.Stop();
    ReleaseLogViewerLibrary();
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
    case WM_CTLCOLORSTATIC: return OnStaticColor(reinterpret_cast<HDC>(wParam));
    case WM_DPICHANGED: OnDpiChanged(window, wParam, lParam); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RegisterControlWindowClass(HINSTANCE instance) {
    RegisterWindowClass(instance, ControlWindowClassName, GuardedWindowProc<HandleMessage>);
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
    PlaceControls(window, Controls, CurrentLayout(window, LayOutControlWindow));
    ::ShowWindow(Control(window, IDC_STATUS_TEXT), statusPanelVisible ? SW_SHOW : SW_HIDE);
}

void SizeWindowToClientHeight(HWND window, int height) {
    const int dpi = DpiOf(window);
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

}  // namespace ui
