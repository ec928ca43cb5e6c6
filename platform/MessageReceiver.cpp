#include "platform/MessageReceiver.h"

#include <QCoreApplication>
#include <QEvent>

namespace platform {

namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(kMessageEventType), msg(msg), wParam(wParam), lParam(lParam) {}
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

}  // namespace

MessageReceiver::MessageReceiver(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

MessageReceiver::~MessageReceiver() { discardPending(); }

void MessageReceiver::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
}

void MessageReceiver::discardPending() { QCoreApplication::removePostedEvents(this, kMessageEventType); }

bool MessageReceiver::event(QEvent* e) {
    if (e->type() == kMessageEventType) {
        auto* m = static_cast<MessageEvent*>(e);
        if (handler_) handler_(m->msg, m->wParam, m->lParam);
        return true;
    }
    return QObject::event(e);
}

}  // namespace platform
