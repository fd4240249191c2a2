#pragma once

namespace platform {

// What this process holds right now, for leak checks: open handles (Windows) or file
// descriptors (POSIX), threads, and resident memory in bytes. -1 where the system cannot tell.
struct ProcessCounts {
    long handles = -1;
    long threads = -1;
    long long residentBytes = -1;
};
ProcessCounts CurrentProcessCounts();

}  // namespace platform
