// A small command-line driver of a running Quarvello.exe, for tools that look at the window
// from outside (tools/screenshot). Each command prints the control window's outer rectangle
// in screen coordinates as "left top width height" once the window has settled.
//   window_driver wait      waits for the window to be shown
//   window_driver status    presses Status and waits for the other client height
//   window_driver files     presses File Manager and prints the file manager's rectangle
//   window_driver log       closes the file manager, presses Log and prints the log viewer's
//   window_driver close     closes the window
// Exit code 0 on success, 1 when a window did not appear or change in time.
#include <windows.h>

#include <cstdio>
#include <string>

#include "program_driver.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/logviewer/log_viewer_window.h"

using namespace program_driver;

namespace {

int PrintRect(HWND window) {
    Settle(window);
    RECT r{};
    ::GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fflush(stdout);
    return 0;
}

// Presses the control window's button and prints the rectangle of the tool window it opens.
int OpenTool(HWND window, int button, const wchar_t* className) {
    Press(window, button);
    HWND tool = nullptr;
    if (!WaitFor([&] { return (tool = FindOwnedWindow(window, className)) != nullptr && ::IsWindowVisible(tool); })) {
        std::fprintf(stderr, "the tool window did not open\n");
        return 1;
    }
    Settle(window);
    return PrintRect(tool);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    HWND window = nullptr;
    // Wine may take a while to bring up the program and its desktop.
    if (!WaitFor([&] { return (window = FindControlWindow(0)) != nullptr && ::IsWindowVisible(window); }, 30s)) {
        std::fprintf(stderr, "no control window\n");
        return 1;
    }
    if (command == L"wait") return PrintRect(window);
    if (command == L"status") {
        const LONG before = ClientSize(window).cy;
        Press(window, ui::IDC_STATUS);
        if (!WaitFor([&] { return ClientSize(window).cy != before; })) {
            std::fprintf(stderr, "the window did not change its size\n");
            return 1;
        }
        return PrintRect(window);
    }
    if (command == L"files") return OpenTool(window, ui::IDC_FILE_MANAGER, ui::filemanager::FileManagerClassName);
    if (command == L"log") {
        if (HWND files = FindOwnedWindow(window, ui::filemanager::FileManagerClassName)) {
            Press(files, ui::filemanager::IDC_FM_CLOSE);
            WaitFor([&] { return !::IsWindow(files); });
        }
        return OpenTool(window, ui::IDC_LOG, ui::logviewer::LogViewerClassName);
    }
    if (command == L"close") {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "usage: window_driver wait|status|files|log|close\n");
    return 1;
}
