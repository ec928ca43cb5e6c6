#pragma once

#include "platform/Timer.h"

// The one-second countdown that measures the mail components' time-outs.
// Once Remaining reaches 0 it sets TimedOut and keeps ticking until stopped;
// only the owner's reset clears TimedOut.
class TTimeCounter {
public:
    TTimeCounter();
    TTimeCounter(const TTimeCounter&) = delete;
    TTimeCounter& operator=(const TTimeCounter&) = delete;

    int TimeOut() const { return timeOut_; }
    void setTimeOut(int seconds) { timeOut_ = seconds; }
    int Remaining() const { return remaining_; }
    bool TimedOut() const { return timedOut_; }
    void setTimedOut(bool value) { timedOut_ = value; }

    void Start();
    void Stop();
    bool running() const { return timer_.enabled(); }

    // The length of one "second"; tests shorten it so that time-outs pass
    // quickly without changing how many ticks they take.
    void setTickInterval(int milliseconds) { timer_.setInterval(milliseconds); }
    int tickInterval() const { return timer_.interval(); }

private:
    void tick();

    platform::Timer timer_;
    int timeOut_ = 60;
    int remaining_ = 0;
    bool timedOut_ = false;
};
