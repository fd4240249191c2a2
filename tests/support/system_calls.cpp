#include "system_calls.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#else
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace testing_support {

bool ConnectLoopback(platform::Socket s, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
#ifdef _WIN32
    return ::connect(static_cast<SOCKET>(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
#else
    return ::connect(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
#endif
}

#ifdef _WIN32
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
#else
namespace {
long CountEntries(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) return -1;
    long count = 0;
    while (dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count;
}
}  // namespace

ProcessCounts CurrentProcessCounts() {
    // The descriptor that opendir holds while counting is itself listed; take it off.
    long fds = CountEntries("/proc/self/fd");
    ProcessCounts counts{fds < 0 ? -1 : fds - 1, CountEntries("/proc/self/task")};
    // The second field of statm: resident pages.
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        long long size = 0, resident = 0;
        if (std::fscanf(statm, "%lld %lld", &size, &resident) == 2)
            counts.residentBytes = resident * ::sysconf(_SC_PAGESIZE);
        std::fclose(statm);
    }
    return counts;
}
#endif

}  // namespace testing_support
