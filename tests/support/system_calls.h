#pragma once
// What only the tests ask of the system: a blocking loopback connect and the process's counts.
#include <cstdint>

#include "platform/sockets.h"

namespace testing_support {

// Connects s to 127.0.0.1 port, waiting as long as the system does; false when refused.
bool ConnectLoopback(platform::Socket s, std::uint16_t port);

// What this process holds right now, for leak checks: open handles (Windows) or file
// descriptors (POSIX), threads, and resident memory in bytes. -1 where the system cannot tell.
struct ProcessCounts {
    long handles = -1;
    long threads = -1;
    long long residentBytes = -1;
};
ProcessCounts CurrentProcessCounts();

}  // namespace testing_support
