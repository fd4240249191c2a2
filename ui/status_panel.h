#pragma once
// Fills the control window's status panel.
#include <windows.h>

namespace ui {

// Probes the port, composes the status text into control IDC_STATUS_TEXT of the control
// window and repaints the indicator. Runs whether or not the panel is shown.
void RefreshStatusPanel(HWND controlWindow);

}  // namespace ui
