#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

namespace platform {

// A component's hidden receiver: messages posted to it are delivered on a later
// turn of the event loop, never from inside the call that posted them.
//
// Messages posted on the receiver's own thread wait in one queue per thread,
// in posting order. The event pump (EventPump.h) delivers them between its
// turns; under a plain event loop (the desktop's, a modal dialog's) a single
// Qt event per batch asks the loop to deliver them. Messages from another
// thread go through Qt's event queue, one event each.
class MessageReceiver : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;

    explicit MessageReceiver(Handler handler, QObject* parent = nullptr);
    ~MessageReceiver() override;

    // Queues a message for the handler; safe to call from inside the handler.
    void PostMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Drops every message still queued for this receiver.
    void discardPending();

    // Calls the handler (the queue's delivery).
    void deliver(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    bool event(QEvent* e) override;

private:
    Handler handler_;
};

// The event pump's side of this thread's message queue.
namespace queuedMessages {

// While one lives, the event pump of this thread delivers queued messages
// between its turns, so posting one needs no Qt event.
class PumpScope {
public:
    PumpScope();
    ~PumpScope();
    PumpScope(const PumpScope&) = delete;
    PumpScope& operator=(const PumpScope&) = delete;
};

// Delivers, in posting order, the messages queued on this thread, including
// those their handlers post meanwhile. Re-entrant. Whether any was delivered.
bool deliver();

}  // namespace queuedMessages

}  // namespace platform
