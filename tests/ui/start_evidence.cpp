#include "start_evidence.h"

#include <tlhelp32.h>

#include <cstdio>
#include <sstream>

#include "test_support.h"

namespace testing_support {

namespace {

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
    std::istringstream stacks(ReadFileBytes(out));
    bool ours = false;
    for (std::string line; std::getline(stacks, line);)
        if ((ours = line.starts_with("Backtracing for thread") ? line.find(header) != line.npos : ours))
            std::printf("  %s\n", line.c_str());
}

}  // namespace

void ReportStartFailure(HANDLE process) {
    const DWORD id = ::GetProcessId(process);
    DWORD code = 0;
    std::printf("== The program (process %04lx) showed no window. Evidence:\n", id);
    if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) std::printf("  alive\n");
    else std::printf("  ended, exit code %lu\n", ::GetExitCodeProcess(process, &code) ? code : ~0ul);
    ::EnumWindows(PrintWindowOf, LPARAM(id));
    std::printf("  threads (Wine's debugger):\n");
    PrintThreadStacks(id);
    const std::vector<std::string> log = SplitCrLfLines(ReadFileBytes(storage::LogFilePath()));
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

}  // namespace testing_support
