#pragma once
// The log viewer: one tool window, owned by the control window, that shows the last lines of
// the log file and can delete the file.
#include <windows.h>

namespace ui::logviewer {

enum ControlId : int { IDC_LOG_TEXT = 3001, IDC_LOG_REFRESH = 3002, IDC_LOG_CLOSE = 3003,
                      IDC_LOG_CLEAR = 3004 };

inline constexpr wchar_t LogViewerClassName[] = L"Vorn_LogViewer_Wnd";
inline constexpr wchar_t LogViewerTitle[] = L"HTTP Log View";
inline constexpr int LogViewerWidth = 760;
inline constexpr int LogViewerHeight = 520;

inline constexpr wchar_t RichEditLoadFailureText[] = L"Failed to load Msftedit.dll (RichEdit).";
inline constexpr wchar_t ClearLogQuestion[] = L"Delete the log file?";

// Shows the current tail of the log file, scrolled to its last line.
void ReloadLogView(HWND window);

}  // namespace ui::logviewer
