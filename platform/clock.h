#pragma once

namespace platform {

struct LocalTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime CurrentLocalTime();

}  // namespace platform
