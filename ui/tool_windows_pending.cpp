// Until the file manager and the log viewer exist, their buttons do nothing.
#include "ui/tool_windows.h"

namespace ui {

void ShowFileManager(HWND) {}
void ShowLogViewer(HWND) {}

}  // namespace ui
