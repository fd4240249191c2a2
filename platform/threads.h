#pragma once
#include <cstddef>

namespace platform {

// Starts a detached thread running entry(argument) with the given stack size (a reservation
// on Windows). False when the thread cannot be started; entry is then never called.
bool StartDetachedThread(void (*entry)(void*), void* argument, std::size_t stackBytes);

}  // namespace platform
