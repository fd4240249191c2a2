#include "platform/process_stats.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

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

}  // namespace platform
