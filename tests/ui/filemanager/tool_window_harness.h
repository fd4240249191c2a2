#pragma once
// In-process helpers for the tool window tests (Windows only). Nothing here answers a modal
// message box, so these tests press no button that opens one.
#include <windows.h>

#include <string>

namespace tool_window_testing {

// A plain hidden top-level window in the place of the control window.
struct OwnerWindow {
    HWND handle;
    OwnerWindow();
    ~OwnerWindow() { Destroy(); }
    void Destroy();
};

HWND OnlyWindowOfClass(const wchar_t* className);  // null unless exactly one exists
std::wstring WindowText(HWND window);
RECT PlacementOf(HWND control);  // x, y, width, height in the parent's client area
void PressButton(HWND window, int id);

}  // namespace tool_window_testing
