#include "platform/MessageReceiver.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <deque>

namespace platform {

namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kDeliverQueuedType = static_cast<QEvent::Type>(QEvent::registerEventType());

// A message posted from another thread: it travels as a Qt event.
class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(kMessageEventType), msg(msg), wParam(wParam), lParam(lParam) {}
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

struct Queued {
    MessageReceiver* receiver;  // null once the receiver discarded it
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// Receives the one Qt event that asks a plain event loop to deliver the queue.
class QueueWaker : public QObject {
public:
    bool event(QEvent* e) override;
};

struct ThreadQueue {
    std::deque<Queued> items;
    int pumps = 0;                // event pumps running on this thread
    bool wakePosted = false;      // a kDeliverQueuedType event is on its way
    QueueWaker* waker = nullptr;  // lives as long as the thread
    QPointer<QAbstractEventDispatcher> watched;

    ~ThreadQueue() { delete waker; }

    // Any event loop about to block with messages queued gets the Qt event
    // first: a message posted where no pump will look before the loop sleeps
    // (a Qt event's handler, a modal dialog's loop inside a pump) still arrives.
    void watchDispatcher() {
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        if (dispatcher == watched) return;
        watched = dispatcher;
        wakePosted = false;  // an earlier event loop took its event with it
        if (!waker) waker = new QueueWaker;
        if (dispatcher) {
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, waker, [this] {
                if (!items.empty()) postWake();
            });
        }
    }

    void postWake() {
        if (wakePosted) return;
        wakePosted = true;
        QCoreApplication::postEvent(waker, new QEvent(kDeliverQueuedType));
    }
};

thread_local ThreadQueue tQueue;

bool QueueWaker::event(QEvent* e) {
    if (e->type() != kDeliverQueuedType) return QObject::event(e);
    tQueue.wakePosted = false;
    queuedMessages::deliver();
    return true;
}

}  // namespace

MessageReceiver::MessageReceiver(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

MessageReceiver::~MessageReceiver() { discardPending(); }

void MessageReceiver::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (thread() != QThread::currentThread()) {
        QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
        return;
    }
    ThreadQueue& queue = tQueue;
    queue.watchDispatcher();
    queue.items.push_back({this, msg, wParam, lParam});
    // A running pump delivers it before it blocks again; without one, only a
    // Qt event gets the event loop to look.
    if (queue.pumps == 0 || !queue.watched) queue.postWake();
}

void MessageReceiver::discardPending() {
    if (thread() == QThread::currentThread()) {
        for (Queued& item : tQueue.items) {
            if (item.receiver == this) item.receiver = nullptr;
        }
    }
    QCoreApplication::removePostedEvents(this, kMessageEventType);
}

void MessageReceiver::deliver(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (handler_) handler_(msg, wParam, lParam);
}

bool MessageReceiver::event(QEvent* e) {
    if (e->type() == kMessageEventType) {
        auto* m = static_cast<MessageEvent*>(e);
        deliver(m->msg, m->wParam, m->lParam);
        return true;
    }
    return QObject::event(e);
}

namespace queuedMessages {

PumpScope::PumpScope() { ++tQueue.pumps; }

PumpScope::~PumpScope() {
    // What the last turns posted is left to the event loop outside.
    if (--tQueue.pumps == 0 && !tQueue.items.empty()) tQueue.postWake();
}

bool deliver() {
    ThreadQueue& queue = tQueue;
    bool any = false;
    // One at a time off the front: a handler may post, discard or pump (which
    // delivers the following ones itself).
    while (!queue.items.empty()) {
        const Queued item = queue.items.front();
        queue.items.pop_front();
        if (item.receiver) {
            any = true;
            item.receiver->deliver(item.msg, item.wParam, item.lParam);
        }
    }
    return any;
}

}  // namespace queuedMessages

}  // namespace platform
