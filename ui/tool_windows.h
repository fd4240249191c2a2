#pragma once
#include <windows.h>

namespace ui {
void ShowFileManager(HWND controlWindow);
void ShowLogViewer(HWND controlWindow);
}  // namespace ui
