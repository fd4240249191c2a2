#include "platform/process_stats.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace platform {

ProcessCounts CurrentProcessCounts() {
    ProcessCounts counts;
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles)) counts.handles = static_cast<long>(handles);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry;
        entry.dwSize = sizeof entry;
        long threads = 0;
        DWORD self = ::GetCurrentProcessId();
        for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
            if (entry.th32OwnerProcessID == self) ++threads;
        ::CloseHandle(snapshot);
        counts.threads = threads;
    }
    PROCESS_MEMORY_COUNTERS memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory))
        counts.residentBytes = static_cast<long long>(memory.WorkingSetSize);
    return counts;
}

}  // namespace platform
