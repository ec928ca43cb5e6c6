#include "platform/EventPump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace platform {

// Messages posted before the current dispatch began do not wake a nested
// blocking wait, so each turn delivers the posted ones first, explicitly.
void waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::sendPostedEvents();
        if (done()) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

bool waitUntilFor(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // A repeating precise timer guarantees an event arrives at (or just after)
    // the deadline, so the blocking wait below cannot outlive it.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::max(1, std::min(timeoutMs, 100)));
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::sendPostedEvents();
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void processPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
