// Acts on the one running Quarvello.exe for tools/screenshot and tools/test.d/package. With a command word:
//   wait, status, files, log  shows the control window (status: expanded), the file manager or the log viewer,
//                             and prints that window's rectangle, "left top width height";
//   close                     sends the control window WM_CLOSE;
//   evidence                  prints what is known of a program that never showed its window: whether it is
//                             alive (or its exit code), its top-level windows, where each of its threads waits
//                             (Wine's debugger) and the log's tail. The UI tests call it when a start fails.
// Exits 0 on success, 1 when the window or the program is not there.
#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "storage/data_folders.h"
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

BOOL CALLBACK PrintWindowOf(HWND window, LPARAM processId) {
    DWORD owner = 0;
    wchar_t className[64] = {}, title[128] = {};
    if (::GetWindowThreadProcessId(window, &owner) && owner == DWORD(processId) &&
        ::GetClassNameW(window, className, 64) >= 0 && ::GetWindowTextW(window, title, 128) >= 0)
        std::printf("  window class \"%ls\" title \"%ls\" %s\n", className, title,
                    ::IsWindowVisible(window) ? "visible" : "hidden");
    return TRUE;
}

// Wine's debugger prints every thread's stack of every process, through a file; only the program's are kept.
void PrintThreadStacks(DWORD processId) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring out = std::wstring(folder) + L"quarvello-stacks.txt";
    std::wstring command = L"winedbg.exe --command \"bt all\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = ::CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES, startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION debugger{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &debugger)) {
        if (::WaitForSingleObject(debugger.hProcess, 60000)) ::TerminateProcess(debugger.hProcess, 1);
        ::CloseHandle(debugger.hThread), ::CloseHandle(debugger.hProcess);
    }
    ::CloseHandle(file);
    char header[64];
    std::snprintf(header, sizeof header, " in process %04lx ", processId);
    std::ifstream stacks{std::filesystem::path(out)};
    bool ours = false;
    for (std::string line; std::getline(stacks, line);)
        if ((ours = line.starts_with("Backtracing for thread") ? line.find(header) != line.npos : ours))
            std::printf("  %s\n", line.c_str());
}

std::vector<std::string> LogLines() {
    std::ifstream in(std::filesystem::path(storage::LogFilePath()), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

void ReportStartFailure(HANDLE process) {
    const DWORD id = ::GetProcessId(process);
    DWORD code = 0;
    std::printf("== The program (process %04lx) showed no window. Evidence:\n", id);
    if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) std::printf("  alive\n");
    else std::printf("  ended, exit code %lu\n", ::GetExitCodeProcess(process, &code) ? code : ~0ul);
    ::EnumWindows(PrintWindowOf, LPARAM(id));
    std::printf("  threads (Wine's debugger):\n");
    PrintThreadStacks(id);
    const std::vector<std::string> log = LogLines();
    std::printf("  the log's last %zu lines:\n", std::min<std::size_t>(log.size(), 20));
    for (std::size_t i = log.size() > 20 ? log.size() - 20 : 0; i < log.size(); ++i)
        std::printf("  | %s\n", log[i].c_str());
    std::fflush(stdout);
}

HANDLE FindRunningProgram() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0), found = nullptr;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry))
        if (!::lstrcmpiW(entry.szExeFile, L"Quarvello.exe"))
            found = ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    return ::CloseHandle(snapshot), found;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    if (command == "evidence") {
        HANDLE process = FindRunningProgram();
        if (!process) return std::printf("no Quarvello.exe is running\n"), 1;
        return ReportStartFailure(process), 0;
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
