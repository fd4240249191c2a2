#pragma once
// The two tool windows that the control window's buttons open. Each keeps at most one window
// of its kind, owned by the control window: a press raises and reloads the open one or
// creates it.
#include <windows.h>

namespace ui {

void ShowFileManager(HWND controlWindow);
void ShowLogViewer(HWND controlWindow);
// Frees the log viewer's rich text library: at the control window's end, with no log viewer left.
void ReleaseLogViewerLibrary();

}  // namespace ui
