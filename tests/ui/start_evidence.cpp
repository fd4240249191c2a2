#include "start_evidence.h"

#include <tlhelp32.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "test_support.h"

namespace testing_support {

namespace {

std::wstring DriverFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    *::wcsrchr(path, L'\\') = L'\0';
    return path;
}

// The whole screen as a 24-bit BMP file.
bool SaveScreen(const std::wstring& path) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr), memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    const bool copied = ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, previous);
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::string pixels(std::size_t((width * 3 + 3) & ~3) * height, '\0');
    const bool read = copied && ::GetDIBits(memory, bitmap, 0, height, pixels.data(),
                                            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    ::DeleteObject(bitmap), ::DeleteDC(memory), ::ReleaseDC(nullptr, screen);
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
    const BITMAPFILEHEADER file{0x4D42, DWORD(offset + pixels.size()), 0, 0, offset};
    WriteFileBytes(path, std::string(reinterpret_cast<const char*>(&file), sizeof file) +
                             std::string(reinterpret_cast<const char*>(&info), sizeof info) + pixels);
    return read;
}

BOOL CALLBACK PrintWindowOf(HWND window, LPARAM processId) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {}, title[128] = {};
    if (owner == DWORD(processId) && ::GetClassNameW(window, className, 64) >= 0 &&
        ::GetWindowTextW(window, title, 128) >= 0)
        std::printf("  window %p class \"%ls\" title \"%ls\" %s\n", static_cast<void*>(window), className, title,
                    ::IsWindowVisible(window) ? "visible" : "hidden");
    return TRUE;
}

// Wine's debugger prints every thread's stack of every process; only the program's are kept.
void PrintThreadStacks(DWORD processId) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring out = DriverFolder() + L"\\start-failure-stacks.txt";
    std::wstring command = std::wstring(system) + L"\\winedbg.exe --command \"bt all\"";
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
    std::istringstream stacks(ReadFileBytes(out));
    bool ours = false;
    for (std::string line; std::getline(stacks, line);) {
        if (line.starts_with("Backtracing for thread")) ours = line.find(header) != std::string::npos;
        if (ours) std::printf("  %s\n", line.c_str());
    }
}

}  // namespace

void ReportStartFailure(HANDLE process) {
    const DWORD id = ::GetProcessId(process);
    DWORD code = 0;
    std::printf("== The program (process %04lx) showed no window. Evidence:\n", id);
    if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
        std::printf("  alive\n");
    else
        std::printf("  ended, exit code %lu\n", ::GetExitCodeProcess(process, &code) ? code : ~0ul);
    ::EnumWindows(PrintWindowOf, LPARAM(id));
    const std::wstring shot = DriverFolder() + L"\\start-failure-screen.bmp";
    std::printf("  screenshot %s: %ls\n", SaveScreen(shot) ? "saved" : "FAILED, what was copied saved", shot.c_str());
    std::printf("  threads (Wine's debugger):\n");
    PrintThreadStacks(id);
    const std::vector<std::string> log = SplitCrLfLines(ReadFileBytes(storage::LogFilePath()));
    std::printf("  the log's last %zu lines:\n", std::min<std::size_t>(log.size(), 20));
    for (std::size_t i = log.size() > 20 ? log.size() - 20 : 0; i < log.size(); ++i)
        std::printf("  | %s\n", log[i].c_str());
    std::fflush(stdout);
}

HANDLE FindRunningProgram() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    HANDLE found = nullptr;
    for (bool more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry))
        if (!::lstrcmpiW(entry.szExeFile, L"Quarvello.exe"))
            found = ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return found;
}

}  // namespace testing_support
