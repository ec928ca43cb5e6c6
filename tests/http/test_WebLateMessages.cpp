// Messages that belong to a retrieval given up by Cancel must not act on the
// retrieval that follows it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include "http/Web.h"
#include "platform/EventPump.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"

using http::TWeb;
using testsupport::ScriptedServer;

namespace {

void settle() {
    for (int i = 0; i < 8; ++i) platform::processPendingEvents();
}

}  // namespace

TEST(WebLateMessages, HandOutAskedForBeforeACancelIsNotMadeForTheNextRetrieval) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/page.htm";
    testsupport::writeFile(path, "0123456789");
    TWeb web;
    web.setRequestMode(http::mdRequest);
    int handedOut = 0;
    web.OnContext1 = [&](TWeb*, int, int, int) { ++handedOut; };
    web.setURL("file://" + path);
    web.Retrieve();
    char block[5] = {};
    web.RequestData(block, 4, 1);
    web.Cancel();
    web.Retrieve();
    settle();
    EXPECT_EQ(handedOut, 0);
    EXPECT_TRUE(web.Retrieving());

    // The new retrieval hands out what it is asked for itself.
    web.RequestData(block, 4, 1);
    ASSERT_TRUE(platform::waitUntilFor([&] { return handedOut == 1; }, webtest::kWatchdogMs));
    EXPECT_EQ(std::string(block), "0123");
}

TEST(WebLateMessages, CloseOfACancelledConnectionDoesNotEndTheNextOne) {
    ScriptedServer first;
    first.send("HTTP/1.0 200 OK\r\n\r\nfirst").close();
    ASSERT_TRUE(first.start());
    ScriptedServer second;
    second.send("HTTP/1.0 200 OK\r\n\r\n").waitForRelease().send("second body").close();
    ASSERT_TRUE(second.start());

    TWeb web;
    webtest::EventLog log;
    log.attach(web);
    bool switched = false;
    web.OnResponse = [&](TWeb* w, int, int, const std::string&) {
        if (switched) return;
        switched = true;
        // While the handler pumps, the first server's close arrives and is
        // held back until the block is processed; then the retrieval moves on.
        ASSERT_TRUE(first.waitForSteps(2));
        for (int i = 0; i < 50; ++i) platform::processPendingEvents();
        w->Cancel();
        w->setURL(second.baseUrl() + "/b.htm");
        w->Retrieve();
    };
    web.setURL(first.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(platform::waitUntilFor([&] { return second.connections() == 1; },
                                       webtest::kWatchdogMs));
    settle();
    // Had the first connection's close been taken for the second's, the
    // retrieval would have ended here without its body.
    EXPECT_TRUE(web.Retrieving());
    EXPECT_FALSE(log.saw("Disconnect"));
    second.release();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.body, "second body");
    EXPECT_EQ(log.count("Disconnect"), 1);
}

TEST(WebLateMessages, AWaitInsideAHandlerLetsTheLoopRunWhileSocketMessagesAreHeld) {
    // The head and body come in separate reads, the close after them: while
    // the response handler waits (as a dialog's loop does), the body's and
    // the close's notifications arrive and must wait without keeping that
    // loop from its own events.
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\n").waitForRelease().send("the body").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    webtest::EventLog log;
    log.attach(web);
    bool timerFired = false;
    bool waited = false;
    web.OnResponse = [&](TWeb*, int, int, const std::string&) {
        server.release();
        ASSERT_TRUE(server.waitForSteps(4));
        QTimer::singleShot(100, [&] { timerFired = true; });
        waited = platform::waitUntilFor([&] { return timerFired; }, webtest::kWatchdogMs);
        EXPECT_TRUE(log.body.empty()) << "no later block while the handler runs";
    };
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_TRUE(waited) << "the handler's loop kept running";
    EXPECT_EQ(log.body, "the body");
    EXPECT_EQ(log.count("Disconnect"), 1);
}

TEST(WebLateMessages, RedirectionOfACancelledRetrievalIsNotAnnouncedForTheNextOne) {
    ScriptedServer moved;
    moved.send("HTTP/1.0 302 Found\r\nLocation: http://elsewhere.test/\r\n\r\nmoved").close();
    ASSERT_TRUE(moved.start());
    ScriptedServer page;
    page.send("HTTP/1.0 200 OK\r\n\r\npage").close();
    ASSERT_TRUE(page.start());

    TWeb web;
    webtest::EventLog log;
    log.attach(web);
    bool switched = false;
    web.OnDataAvailable = [&](TWeb* w, const char* data, int len) {
        log.body.append(data, static_cast<std::size_t>(len));
        if (switched) return;
        switched = true;
        // The redirection message is already posted: it belongs to this
        // retrieval, not to the one started here.
        w->Cancel();
        w->setURL(page.baseUrl() + "/page.htm");
        w->Retrieve();
    };
    web.setURL(moved.baseUrl() + "/old.htm");
    web.Retrieve();
    ASSERT_TRUE(platform::waitUntilFor([&] { return switched; }, webtest::kWatchdogMs));
    ASSERT_TRUE(webtest::waitForEnd(web));
    settle();
    EXPECT_FALSE(log.saw("Redirection http://elsewhere.test/")) << log.joined();
    EXPECT_EQ(log.body, "movedpage");
    EXPECT_EQ(log.count("Disconnect"), 1);
}
