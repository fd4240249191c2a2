#include "platform/process_stats.h"

#include <dirent.h>

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
    return {fds < 0 ? -1 : fds - 1, CountEntries("/proc/self/task")};
}

}  // namespace platform
