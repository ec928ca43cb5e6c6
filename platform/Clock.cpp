#include "platform/Clock.h"

#include <QTime>

namespace platform {

int SystemClock::secondsSinceMidnight() const { return QTime::currentTime().msecsSinceStartOfDay() / 1000; }

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace platform
