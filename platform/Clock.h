#pragma once

namespace platform {

constexpr int kSecondsPerDay = 86400;

// The time of day as the engine sees it, injectable so that watchdog and
// time-out tests need not sleep.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, 0..86399.
    virtual int secondsSinceMidnight() const = 0;
};

class SystemClock final : public Clock {
public:
    int secondsSinceMidnight() const override;
};

// The process-wide system clock.
Clock& systemClock();

}  // namespace platform
