#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// Turns SIGINT (Ctrl-C) and SIGTERM into calls on the event loop's thread, with
// the number of interrupts so far, so that a handler never runs inside a
// signal. One instance per process.
class InterruptWatcher {
public:
    InterruptWatcher();
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    bool active() const { return notifier_ != nullptr; }

    std::function<void(int count)> onInterrupt;

private:
    void drain();

    std::unique_ptr<QSocketNotifier> notifier_;
    int count_ = 0;
};

}  // namespace platform
