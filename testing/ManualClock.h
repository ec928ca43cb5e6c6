#pragma once

#include "platform/Clock.h"

namespace platform {

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int seconds = 0) { set(seconds); }
    int secondsSinceMidnight() const override { return seconds_; }
    void set(int seconds) {
        seconds_ = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    }
    void advance(int seconds) { set(seconds_ + seconds); }

private:
    int seconds_ = 0;
};

}  // namespace platform
