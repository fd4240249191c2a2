#pragma once
// The program's main window: the Start/Stop button with its round indicator, the buttons of
// the two tool windows and the Status button that expands the window to the status panel.
// The window owns the server's lifecycle (started at creation, stopped at destruction) and
// frees the log viewer's library at its end.
#include <windows.h>

namespace ui {

// Registers the window class; the result is not looked at.
void RegisterControlWindowClass(HINSTANCE instance);
// Creates the window, collapsed and not yet shown, with the server started (or its start
// failure already reported); null when the system refuses the window.
HWND CreateControlWindow(HINSTANCE instance);
// Takes the sizing frame and the maximise box away; the outer size stays.
void RemoveSizingFrame(HWND window);

// Places every control for the current client size and the panel state.
void ApplyControlLayout(HWND window);
// Sizes the window for a client of 680 x height in its current style, less 16 pixels of
// height (all at 96 DPI, scaled to the window's), keeping its top-left corner.
void SizeWindowToClientHeight(HWND window, int height);


}  // namespace ui
