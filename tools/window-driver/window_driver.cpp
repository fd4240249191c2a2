// Acts on the one running Quarvello.exe for tools/screenshot and tools/test.d/package. With a command word:
//   wait, status, files, log  shows the control window (status: expanded), the file manager or the log viewer,
//                             and prints that window's rectangle, "left top width height";
//   close                     sends the control window WM_CLOSE;
//   evidence                  prints what the tests print when the program never shows its window.
// Exits 0 on success, 1 when the window or the program is not there.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "start_evidence.h"
#include "ui/control_window_layout.h"
#include "ui/filemanager/file_manager_window.h"
#include "ui/logviewer/log_viewer_window.h"

namespace {

using namespace std::chrono_literals;

bool Settled(HWND window) {  // the window has handled what was sent to it before
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

template <class Condition>
bool WaitFor(Condition condition, std::chrono::seconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout; !condition();)
        if (std::chrono::steady_clock::now() > end) return false;
        else std::this_thread::sleep_for(50ms);
    return true;
}

HWND Visible(const wchar_t* className, std::chrono::seconds timeout) {
    HWND found = nullptr;
    WaitFor([&] { return (found = ::FindWindowW(className, nullptr)) && ::IsWindowVisible(found); }, timeout);
    return found;
}

HWND Open(HWND control, int button, const wchar_t* className) {
    ::PostMessageW(control, WM_COMMAND, button, LPARAM(::GetDlgItem(control, button)));
    return Visible(className, 20s);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    if (command == "evidence") {
        HANDLE process = testing_support::FindRunningProgram();
        if (!process) return std::printf("no Quarvello.exe is running\n"), 1;
        return testing_support::ReportStartFailure(process), 0;
    }
    HWND window = Visible(ui::ControlWindowClassName, 60s), shown = window;  // Wine may start slowly
    if (command == "close") return window && ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    ::SetProcessDPIAware();  // rectangles in the screen's pixels at every scale
    if (command == "status") {
        ::PostMessageW(window, WM_COMMAND, ui::IDC_STATUS, 0);
        WaitFor([&] { return ::IsWindowVisible(::GetDlgItem(window, ui::IDC_STATUS_TEXT)); }, 20s);
    }
    if (command == "files") shown = Open(window, ui::IDC_FILE_MANAGER, ui::filemanager::FileManagerClassName);
    if (command == "log") shown = Open(window, ui::IDC_LOG, ui::logviewer::LogViewerClassName);
    if (command != "wait" && command != "status" && command != "files" && command != "log") {
        std::fprintf(stderr, "usage: window_driver wait|status|files|log|close|evidence\n");
        return 2;
    }
    RECT r{};
    if (!shown || !Settled(shown) || !::GetWindowRect(shown, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}
