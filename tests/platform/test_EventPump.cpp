#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/MessageReceiver.h"
#include "platform/Timer.h"
#include "testing/ManualClock.h"

using namespace platform;

TEST(MessageReceiver, DeliversPostedMessagesLaterAndInOrder) {
    std::vector<unsigned> seen;
    MessageReceiver receiver([&](unsigned msg, std::uintptr_t w, std::intptr_t l) {
        seen.push_back(msg);
        if (msg == 1) {
            EXPECT_EQ(w + static_cast<std::uintptr_t>(l), 30u);
        }
    });
    receiver.PostMessage(1, 10, 20);
    receiver.PostMessage(2);
    EXPECT_TRUE(seen.empty()) << "a posted message must not be delivered from inside PostMessage";
    ASSERT_TRUE(waitUntilFor([&] { return seen.size() == 2; }, 5000));
    EXPECT_EQ(seen, (std::vector<unsigned>{1, 2}));
}

TEST(MessageReceiver, DiscardPendingDropsQueuedMessages) {
    int count = 0;
    MessageReceiver receiver([&](unsigned, std::uintptr_t, std::intptr_t) { ++count; });
    receiver.PostMessage(7);
    receiver.discardPending();
    processPendingEvents();
    EXPECT_EQ(count, 0);
}

TEST(EventPump, WaitIsReentrant) {
    bool inner = false, outer = false;
    MessageReceiver receiver([&](unsigned msg, std::uintptr_t, std::intptr_t) {
        if (msg == 1) {
            waitUntil([&] { return inner; });
            outer = true;
        } else {
            inner = true;
        }
    });
    receiver.PostMessage(1);
    receiver.PostMessage(2);
    ASSERT_TRUE(waitUntilFor([&] { return outer; }, 5000));
    EXPECT_TRUE(inner);
}

TEST(EventPump, BoundedWaitGivesUp) { EXPECT_FALSE(waitUntilFor([] { return false; }, 50)); }

TEST(Timer, TicksWhileEnabled) {
    Timer timer;
    timer.setInterval(5);
    int ticks = 0;
    timer.onTimer = [&] {
        if (++ticks == 3) timer.setEnabled(false);
    };
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntilFor([&] { return ticks >= 3; }, 5000));
    EXPECT_FALSE(timer.enabled());
}

TEST(Clock, ManualClockWrapsAtMidnight) {
    ManualClock clock(86399);
    clock.advance(2);
    EXPECT_EQ(clock.secondsSinceMidnight(), 1);
    clock.advance(-3);
    EXPECT_EQ(clock.secondsSinceMidnight(), 86398);
    int now = systemClock().secondsSinceMidnight();
    EXPECT_GE(now, 0);
    EXPECT_LT(now, 86400);
}

// Where the messages are posted from, and which loop must deliver them: each row
// posts 1, 2, 3 to two receivers in turn and needs them delivered in that order.
struct QueueCase {
    const char* name;
    // Posts the three messages (through `post`) and returns once they arrived.
    std::function<bool(const std::function<void()>& post, const std::function<bool()>& arrived)> run;
};

TEST(MessageReceiver, DeliveredInOrderFromEveryKindOfLoop) {
    const QueueCase cases[] = {
        {"posted, then pumped",
         [](auto& post, auto& arrived) {
             post();
             return waitUntilFor(arrived, 5000);
         }},
        {"posted, then a plain event loop (no pump)",
         [](auto& post, auto& arrived) {
             post();
             QEventLoop loop;
             QTimer check;
             QObject::connect(&check, &QTimer::timeout, [&] {
                 if (arrived()) loop.quit();
             });
             check.start(1);
             QTimer::singleShot(5000, &loop, &QEventLoop::quit);
             loop.exec();
             return arrived();
         }},
        {"posted from a Qt event's handler inside a pump",
         [](auto& post, auto& arrived) {
             QTimer::singleShot(0, [&] { post(); });
             return waitUntilFor(arrived, 5000);
         }},
        {"posted from a queued call inside a pump",
         [](auto& post, auto& arrived) {
             QObject context;
             QMetaObject::invokeMethod(&context, [&] { post(); }, Qt::QueuedConnection);
             return waitUntilFor(arrived, 5000);
         }},
        {"posted from a timer inside a modal loop that runs inside a pump",
         [](auto& post, auto& arrived) {
             bool modalDone = false, arrivedInModal = false;
             MessageReceiver opener([&](unsigned, std::uintptr_t, std::intptr_t) {
                 QEventLoop modal;
                 QTimer::singleShot(1, [&] { post(); });
                 QTimer check;
                 QObject::connect(&check, &QTimer::timeout, [&] {
                     if (arrived()) modal.quit();
                 });
                 check.start(1);
                 QTimer::singleShot(5000, &modal, &QEventLoop::quit);
                 modal.exec();
                 arrivedInModal = arrived();
                 modalDone = true;
             });
             opener.PostMessage(0);
             return waitUntilFor([&] { return modalDone; }, 10000) && arrivedInModal;
         }},
        {"posted by a pump's last turn, then a plain event loop",
         [](auto& post, auto& arrived) {
             bool posted = false;
             MessageReceiver starter([&](unsigned, std::uintptr_t, std::intptr_t) {
                 post();
                 posted = true;
             });
             starter.PostMessage(0);
             if (!waitUntilFor([&] { return posted; }, 5000)) return false;
             if (arrived()) return true;
             QEventLoop loop;
             QTimer check;
             QObject::connect(&check, &QTimer::timeout, [&] {
                 if (arrived()) loop.quit();
             });
             check.start(1);
             QTimer::singleShot(5000, &loop, &QEventLoop::quit);
             loop.exec();
             return arrived();
         }},
        {"posted from another thread",
         [](auto& post, auto& arrived) {
             std::thread poster([&] { post(); });
             poster.join();
             return waitUntilFor(arrived, 5000);
         }},
    };
    for (const QueueCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> seen;
        MessageReceiver a([&](unsigned msg, std::uintptr_t, std::intptr_t) { seen.push_back(msg); });
        MessageReceiver b([&](unsigned msg, std::uintptr_t, std::intptr_t) {
            seen.push_back(static_cast<int>(msg) * 10);
        });
        auto post = [&] {
            a.PostMessage(1);
            b.PostMessage(2);
            a.PostMessage(3);
        };
        EXPECT_TRUE(c.run(post, [&] { return seen.size() >= 3; }));
        EXPECT_EQ(seen, (std::vector<int>{1, 20, 3}));
        processPendingEvents();
        EXPECT_EQ(seen.size(), 3u) << "each message is delivered once";
    }
}

TEST(MessageReceiver, HandlerCanDiscardAnotherReceiversQueuedMessages) {
    std::vector<int> seen;
    MessageReceiver b([&](unsigned msg, std::uintptr_t, std::intptr_t) { seen.push_back(msg * 10); });
    MessageReceiver a([&](unsigned msg, std::uintptr_t, std::intptr_t) {
        seen.push_back(msg);
        if (msg == 1) b.discardPending();
    });
    a.PostMessage(1);
    b.PostMessage(2);
    a.PostMessage(3);
    ASSERT_TRUE(waitUntilFor([&] { return seen.size() >= 2; }, 5000));
    processPendingEvents();
    EXPECT_EQ(seen, (std::vector<int>{1, 3}));
}

TEST(MessageReceiver, ReceiverDestroyedWithMessagesQueuedGetsNone) {
    int delivered = 0;
    bool later = false;
    auto doomed = std::make_unique<MessageReceiver>(
        [&](unsigned, std::uintptr_t, std::intptr_t) { ++delivered; });
    MessageReceiver other([&](unsigned, std::uintptr_t, std::intptr_t) { later = true; });
    doomed->PostMessage(1);
    other.PostMessage(2);
    doomed.reset();
    ASSERT_TRUE(waitUntilFor([&] { return later; }, 5000));
    EXPECT_EQ(delivered, 0);
}
