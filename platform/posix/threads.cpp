#include "platform/threads.h"

#include <new>
#include <pthread.h>

namespace platform {

namespace {
struct ThreadStart {
    void (*entry)(void*);
    void* argument;
};

void* RunThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.entry(start.argument);
    return nullptr;
}
}  // namespace

bool StartDetachedThread(void (*entry)(void*), void* argument, std::size_t stackBytes) {
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) return false;
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackBytes != 0) ::pthread_attr_setstacksize(&attributes, stackBytes);
    auto* start = new (std::nothrow) ThreadStart{entry, argument};
    bool started = false;
    if (start != nullptr) {
        pthread_t thread;
        started = ::pthread_create(&thread, &attributes, RunThread, start) == 0;
        if (!started) delete start;
    }
    ::pthread_attr_destroy(&attributes);
    return started;
}

}  // namespace platform
