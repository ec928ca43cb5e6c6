#include "platform/EventPump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "platform/MessageReceiver.h"

namespace platform {

namespace {

// Delivers what is already waiting: Qt's posted events, then the components'
// queued messages. Messages posted before the current dispatch began do not
// wake a nested blocking wait, so each turn delivers them first, explicitly.
void deliverWaiting() {
    QCoreApplication::sendPostedEvents();
    queuedMessages::deliver();
}

}  // namespace

void waitUntil(const std::function<bool()>& done) {
    queuedMessages::PumpScope pumping;
    while (!done()) {
        deliverWaiting();
        if (done()) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

bool waitUntilFor(const std::function<bool()>& done, int timeoutMs) {
    queuedMessages::PumpScope pumping;
    QDeadlineTimer deadline(timeoutMs);
    // A repeating precise timer guarantees an event arrives at (or just after)
    // the deadline, so the blocking wait below cannot outlive it.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::max(1, std::min(timeoutMs, 100)));
    while (!done()) {
        if (deadline.hasExpired()) return done();
        deliverWaiting();
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void processPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
