#include "platform/threads.h"

#include <windows.h>

#include <new>

namespace platform {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "Lock holds an SRWLOCK in one pointer");

namespace {
PSRWLOCK Slim(void** state) { return reinterpret_cast<PSRWLOCK>(state); }
}  // namespace

void Lock::lock() { ::AcquireSRWLockExclusive(Slim(&state_)); }
void Lock::unlock() { ::ReleaseSRWLockExclusive(Slim(&state_)); }
bool Lock::try_lock() { return ::TryAcquireSRWLockExclusive(Slim(&state_)) != FALSE; }

namespace {
struct ThreadStart {
    void (*entry)(void*);
    void* argument;
};

DWORD WINAPI RunThread(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.entry(start.argument);
    return 0;
}
}  // namespace

bool StartDetachedThread(void (*entry)(void*), void* argument, std::size_t stackBytes) {
    auto* start = new (std::nothrow) ThreadStart{entry, argument};
    if (start == nullptr) return false;
    HANDLE thread = ::CreateThread(nullptr, stackBytes, RunThread, start,
                                   stackBytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

}  // namespace platform
