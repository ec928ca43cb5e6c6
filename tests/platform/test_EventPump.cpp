#include <gtest/gtest.h>

#include <QTimer>
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
