#pragma once
#include <cstddef>
#ifndef _WIN32
#include <mutex>
#endif

namespace platform {

// Starts a detached thread running entry(argument) with the given stack size (a reservation
// on Windows). False when the thread cannot be started; entry is then never called.
bool StartDetachedThread(void (*entry)(void*), void* argument, std::size_t stackBytes);

// A non-recursive lock with a constant initial state, so that a process-wide one exists before
// the entry point runs; taken with std::lock_guard or std::unique_lock. On Windows it is a slim
// reader/writer lock taken exclusively: the standard mutex of the posix thread model waits on an
// event object, which makes each contended hand-over a round trip to the kernel (under Wine, to
// the wine server), where the slim lock waits on its own address.
class Lock {
public:
    constexpr Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
#ifdef _WIN32
    void lock();
    void unlock();
    bool try_lock();

private:
    void* state_ = nullptr;  // the SRWLOCK, SRWLOCK_INIT at first
#else
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::mutex mutex_;
#endif
};

}  // namespace platform
