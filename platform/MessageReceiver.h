#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

namespace platform {

// A component's hidden receiver: messages posted to it are delivered on a later
// turn of the event loop, never from inside the call that posted them.
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

protected:
    bool event(QEvent* e) override;

private:
    Handler handler_;
};

}  // namespace platform
