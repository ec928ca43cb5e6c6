#include "platform/Clock.h"

#include <ctime>

namespace platform {

// The watchdog asks for the time with every block received. localtime_r reads
// the time zone once; asking through QTime would look at /etc/localtime again
// on every call (a system call each time). A zone change while a copy runs
// shows from the next program start.
int SystemClock::secondsSinceMidnight() const {
    std::timespec now{};
    std::timespec_get(&now, TIME_UTC);
    std::tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr) return 0;
    return (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) % kSecondsPerDay;
}

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace platform
