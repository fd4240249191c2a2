#include "ui/logviewer/log_viewer_window.h"

#include <iterator>

#include "storage/log_writer.h"
#include "ui/logviewer/log_view_text.h"
#include "ui/logviewer/log_viewer_layout.h"
#include "ui/tool_windows.h"
#include "ui/window_kit.h"

namespace ui::logviewer {

namespace {

HMODULE richEditModule = nullptr;  // loaded by the first log viewer, freed at the control window's end

constexpr DWORD TextStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL | ES_READONLY;
constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;

constexpr ControlRow<LogViewerRects> Controls[] = {
    {L"RICHEDIT50W", L"", TextStyle, IDC_LOG_TEXT, &LogViewerRects::text, WS_EX_CLIENTEDGE, FontKind::LogText},
    {L"BUTTON", L"Refresh", ButtonStyle, IDC_LOG_REFRESH, &LogViewerRects::refresh},
    {L"BUTTON", L"Clear log", ButtonStyle, IDC_LOG_CLEAR, &LogViewerRects::clearLog},
    {L"BUTTON", L"Close", ButtonStyle, IDC_LOG_CLOSE, &LogViewerRects::close},
};

// Refuses the window when the rich text library cannot be loaded; the next Log press tries again.
bool LoadRichEdit(HWND window) {
    if (richEditModule == nullptr) richEditModule = ::LoadLibraryW(L"Msftedit.dll");
    if (richEditModule == nullptr) ::MessageBoxW(window, RichEditLoadFailureText, L"Error", MB_OK | MB_ICONERROR);
    return richEditModule != nullptr;
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

ToolWindow<LogViewerRects, std::size(Controls)> logViewer{
    {LogViewerClassName, LogViewerTitle, LogViewerWidth, LogViewerHeight, LoadRichEdit, ReloadLogView,
     OnLogViewerCommand},
    LayoutLogViewer, Controls};

}  // namespace

void ReloadLogView(HWND window) {
    // Read under the log's lock, drawn after it: no connection's record waits for the control.
    const std::wstring text = LogViewText(storage::CurrentLogTail());
    HWND control = ::GetDlgItem(window, IDC_LOG_TEXT);
    ::SetWindowTextW(control, text.c_str());
    ::SendMessageW(control, WM_VSCROLL, SB_BOTTOM, 0);
}

}  // namespace ui::logviewer

namespace ui {

void ShowLogViewer(HWND controlWindow) {
    using logviewer::logViewer;
    ShowToolWindow(logViewer, GuardedWindowProc<ToolWindowMessage<logViewer>>, controlWindow);
}

void ReleaseLogViewerLibrary() {
    if (logviewer::richEditModule != nullptr) ::FreeLibrary(logviewer::richEditModule);
    logviewer::richEditModule = nullptr;
}

}  // namespace ui
