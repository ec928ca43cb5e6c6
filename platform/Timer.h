#pragma once

#include <functional>
#include <memory>

class QTimer;

namespace platform {

// A repeating timer in the manner of a form's timer component: it ticks every
// interval while enabled and calls onTimer on the event loop's thread.
class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setInterval(int milliseconds);
    int interval() const;
    void setEnabled(bool enabled);
    bool enabled() const;

    std::function<void()> onTimer;

private:
    std::unique_ptr<QTimer> timer_;
};

}  // namespace platform
