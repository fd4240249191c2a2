#include "ui/status_panel.h"

#include "server/web_server.h"
#include "ui/control_window_layout.h"
#include "ui/status_text.h"

namespace ui {

void RefreshStatusPanel(HWND controlWindow) {
    const std::wstring text = CurrentStatusText(server::TheWebServer);
    ::SetWindowTextW(::GetDlgItem(controlWindow, IDC_STATUS_TEXT), text.c_str());
    ::InvalidateRect(::GetDlgItem(controlWindow, IDC_INDICATOR), nullptr, TRUE);
}

}  // namespace ui
