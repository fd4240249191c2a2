#include "platform/clock.h"

#include <ctime>
#include <sys/time.h>

namespace platform {

LocalTime CurrentLocalTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    time_t seconds = now.tv_sec;
    ::localtime_r(&seconds, &parts);
    LocalTime t;
    t.year = static_cast<unsigned>(parts.tm_year + 1900);
    t.month = static_cast<unsigned>(parts.tm_mon + 1);
    t.day = static_cast<unsigned>(parts.tm_mday);
    t.hour = static_cast<unsigned>(parts.tm_hour);
    t.minute = static_cast<unsigned>(parts.tm_min);
    t.second = static_cast<unsigned>(parts.tm_sec);
    t.millisecond = static_cast<unsigned>(now.tv_nsec / 1000000);
    return t;
}

}  // namespace platform
