#include "platform/Timer.h"

#include <QTimer>

namespace platform {

Timer::Timer() : timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(1000);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        if (onTimer) onTimer();
    });
}

Timer::~Timer() = default;

void Timer::setInterval(int milliseconds) { timer_->setInterval(milliseconds); }
int Timer::interval() const { return timer_->interval(); }

void Timer::setEnabled(bool enabled) {
    if (enabled && !timer_->isActive()) timer_->start();
    if (!enabled) timer_->stop();
}

bool Timer::enabled() const { return timer_->isActive(); }

}  // namespace platform
