#include <gtest/gtest.h>

#include "http/HostCache.h"
#include "http/Web.h"
#include "platform/EventPump.h"
#include "platform/TcpSocket.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"

using http::TWeb;
using testsupport::ScriptedServer;
using webtest::EventLog;

namespace {

const std::string kOkHeader =
    "HTTP/1.0 200 OK\r\n"
    "Server: scripted/1.0\r\n"
    "Content-Type: text/html; charset=iso-8859-1\r\n"
    "Content-Length: 11\r\n"
    "\r\n";

// Lets the component take what has arrived, so that the next piece of the
// answer comes in a read of its own.
void settle() {
    for (int i = 0; i < 8; ++i) platform::processPendingEvents();
}

}  // namespace

TEST(WebRequest, EngineSettingsSendExactlyHostUserAgentAndAccept) {
    ScriptedServer server;
    server.send(kOkHeader + "hello world").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setURL(server.baseUrl() + "//docs///a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /docs/a.htm HTTP/1.0\r\n"
              "Host: 127.0.0.1\r\n"
              "User-Agent: tectonix' dope fly downloader\r\n"
              "Accept: */*\r\n"
              "\r\n");
}

TEST(WebRequest, EveryHeaderInItsOrderAndTheMethodWord) {
    ScriptedServer server;
    server.send("HTTP/1.0 204 No Content\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    web.setURL(server.baseUrl() + "/cgi/run?x=a/b");
    web.setMethod(http::mtDELETE);
    web.setFrom("me@host.test");
    web.setReferer("http://ref.test/");
    web.OnPrepare = [](TWeb* w) { w->setIfModifiedSince("Mon, 02 Feb 1998 10:00:00 GMT"); };
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "DELETE /cgi/run?x=a/b HTTP/1.0\r\n"
              "From: me@host.test\r\n"
              "Host: 127.0.0.1\r\n"
              "If-Modified-Since: Mon, 02 Feb 1998 10:00:00 GMT\r\n"
              "Referer: http://ref.test/\r\n"
              "User-Agent: ZEPHYRKIT/1.0\r\n"
              "Accept: */*\r\n"
              "\r\n");
}

TEST(WebRequest, ThroughAProxyTheTargetIsTheWholeUrl) {
    ScriptedServer proxy;
    proxy.send("HTTP/1.0 200 OK\r\n\r\n").close();
    ASSERT_TRUE(proxy.start());
    TWeb web;
    web.setURL("http://far.test:8080/a/b.htm");
    web.setProxy("127.0.0.1");
    web.setProxyPort(proxy.port());
    web.setUseProxy(true);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].substr(0, proxy.requests()[0].find("\r\n")),
              "GET http://far.test:8080/a/b.htm HTTP/1.0");
    EXPECT_NE(proxy.requests()[0].find("Host: far.test\r\n"), std::string::npos);
    EXPECT_EQ(web.WebPort(), proxy.port());
}

TEST(WebResponse, HeaderCutAtEveryBytePositionAcrossTwoReads) {
    const std::string response = kOkHeader + "hello world";
    for (std::size_t at = 1; at < kOkHeader.size(); ++at) {
        ScriptedServer server;
        server.send(response.substr(0, at)).waitForRelease().send(response.substr(at)).close();
        ASSERT_TRUE(server.start());
        TWeb web;
        EventLog log;
        log.attach(web);
        web.setURL(server.baseUrl() + "/a.htm");
        web.Retrieve();
        ASSERT_TRUE(
            platform::waitUntilFor([&] { return server.stepsDone() >= 1; }, webtest::kWatchdogMs));
        settle();
        server.release();
        ASSERT_TRUE(webtest::waitForEnd(web)) << at;
        EXPECT_EQ(web.StatusText(), "200 OK") << at;
        EXPECT_EQ(web.ServerName(), "scripted/1.0") << at;
        EXPECT_EQ(web.ContentLength(), 11) << at;
        EXPECT_EQ(web.ContentSubType(), "html; charset=iso-8859-1") << at;
        EXPECT_EQ(web.HeaderLines().size(), 4u) << at;
        EXPECT_EQ(log.body, "hello world") << at;
        EXPECT_EQ(log.count("Response 2 0 OK"), 1) << at;
        EXPECT_EQ(log.count("Disconnect"), 1) << at;
    }
}

TEST(WebResponse, BodyInTheSameReadAsTheHeaderComesRightAfterTheResponse) {
    ScriptedServer server;
    server.send(kOkHeader + "hello world").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(),
              "Resolved  127.0.0.1, Connect, Prepare, Response 2 0 OK, Info, Data, Disconnect");
    EXPECT_EQ(log.dataEvents, 1);
    EXPECT_EQ(log.body, "hello world");
    EXPECT_EQ(log.unterminatedBlocks, 0);
    EXPECT_EQ(web.BytesReceived(), 11);
    EXPECT_EQ(web.PercentDone(), 100);
    EXPECT_EQ(web.BytesRemaining(), 0);
    EXPECT_EQ(web.ContentType(), "text");
    EXPECT_EQ(web.HTTPMajor(), 1);
    EXPECT_EQ(web.HTTPMinor(), 0);
    EXPECT_FALSE(log.saw("TimeOut"));
}

TEST(WebResponse, HeaderEndingAtTheEndOfAReadDeliversNoEmptyBlock) {
    ScriptedServer server;
    server.send(kOkHeader).waitForRelease().send("hello world").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(
        platform::waitUntilFor([&] { return log.saw("Response 2 0 OK"); }, webtest::kWatchdogMs));
    EXPECT_EQ(log.dataEvents, 0);
    EXPECT_FALSE(log.saw("Info"));
    server.release();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.body, "hello world");
}

TEST(WebResponse, BinaryBodyStartingWithLineBreaksKeepsEveryByte) {
    const std::string body = std::string("\r\n\n\r\0\x01", 6) + webtest::randomBytes(50000, 3);
    ScriptedServer server;
    server
        .send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
              body)
        .close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setBufferSize(1024);
    web.setURL(server.baseUrl() + "/a.bin");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.body, body);
    EXPECT_LE(log.largestBlock, 1023);
    EXPECT_EQ(log.unterminatedBlocks, 0);
    EXPECT_EQ(web.BytesReceived(), static_cast<std::int64_t>(body.size()));
}

TEST(WebResponse, OfTwoContentLengthsTheFirstWins) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 9\r\n\r\nabcde").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.ContentLength(), 5);
}

TEST(WebResponse, ContentLengthAboveFourGigabytesIsKept) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 6442450944\r\n\r\nabc").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    web.setURL(server.baseUrl() + "/big.iso");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.ContentLength(), 6442450944LL);
    EXPECT_EQ(web.BytesRemaining(), 6442450944LL - 3);
}

TEST(WebResponse, WithoutContentLengthPercentAndRemainingStayZero) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nGarbage line\r\nContent-Length: lots\r\n\r\nabc").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.ContentLength(), 0);
    EXPECT_EQ(web.BytesReceived(), 3);
    EXPECT_EQ(web.PercentDone(), 0);
    EXPECT_EQ(web.BytesRemaining(), 0);
}

TEST(WebResponse, NotAStatusLineGivesZeroesAndKeepsNone) {
    ScriptedServer server;
    server.send("<html>\r\n\r\nrest").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "NONE");
    EXPECT_TRUE(log.saw("Response 0 0 "));
    EXPECT_EQ(log.body, "rest");
}

TEST(WebRedirect, Found302RaisesRedirectionAndNoDisconnect) {
    ScriptedServer server;
    server.send("HTTP/1.0 302 Found\r\nLocation: http:/elsewhere.test/b.htm\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    platform::waitUntilFor([&] { return log.saw("Redirection http://elsewhere.test/b.htm"); },
                           webtest::kWatchdogMs);
    EXPECT_EQ(web.Location(), "http://elsewhere.test/b.htm");
    EXPECT_EQ(web.StatusClass(), 3);
    EXPECT_EQ(web.StatusDetail(), 2);
    EXPECT_TRUE(log.saw("Redirection http://elsewhere.test/b.htm")) << log.joined();
    EXPECT_FALSE(log.saw("Disconnect"));
}

TEST(WebRedirect, WithoutLocationTheEarlierValueStays) {
    ScriptedServer first;
    first.send("HTTP/1.0 301 Moved\r\nLocation: http://one.test/\r\n\r\n").close();
    ASSERT_TRUE(first.start());
    ScriptedServer second;
    second.send("HTTP/1.0 302 Found\r\n\r\n").close();
    ASSERT_TRUE(second.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(first.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    web.Cancel();
    web.setURL(second.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_TRUE(platform::waitUntilFor(
        [&] { return log.count("Redirection http://one.test/") >= 1; }, webtest::kWatchdogMs));
    EXPECT_EQ(web.Location(), "http://one.test/");
    EXPECT_EQ(web.StatusText(), "302 Found");
    EXPECT_FALSE(log.saw("Disconnect"));
}

TEST(WebFailure, ServerThatNeverAnswersKeepsRetrievingUntilCancel) {
    ScriptedServer server;
    server.stall();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(platform::waitUntilFor([&] { return server.requests().size() == 1; },
                                       webtest::kWatchdogMs));
    settle();
    EXPECT_TRUE(web.Retrieving());
    EXPECT_TRUE(web.Connected());
    web.Cancel();
    EXPECT_FALSE(web.Retrieving());
    settle();
    EXPECT_FALSE(log.saw("Disconnect"));
    EXPECT_FALSE(log.saw("TimeOut"));
    EXPECT_EQ(web.StatusText(), "NONE");
}

// A refusal, a reset and an unknown host end the retrieval at once with
// OnError and the socket error; no caller time limit is needed.
TEST(WebFailure, RefusedPortEndsTheRetrievalAtOnceWithItsReason) {
    std::uint16_t port = testsupport::freeTcpPort();
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://127.0.0.1:" + std::to_string(port) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(), "Resolved  127.0.0.1, Error 10061");
    EXPECT_EQ(log.errors, std::vector<int>{10061});
    EXPECT_EQ(web.socketError(), 10061);
    EXPECT_EQ(web.LastError(), "[10061] Connection refused");
    EXPECT_EQ(web.StatusText(), "NONE");
    settle();
    EXPECT_FALSE(log.saw("Disconnect"));
}

TEST(WebFailure, RefusedPortInExceptionModeKeepsTheTextWithItsCode) {
    std::uint16_t port = testsupport::freeTcpPort();
    TWeb web;
    web.setErrorMode(http::emException);
    web.setURL("http://127.0.0.1:" + std::to_string(port) + "/a.htm");
    web.Retrieve();
    // Raised inside a message, where no caller could catch it.
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.LastError(), "[10061] Connection refused, Code: 10061");
    EXPECT_EQ(web.socketError(), 10061);
}

TEST(WebFailure, ResetConnectionEndsTheRetrievalAtOnceWithItsReason) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n").reset();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.errors, std::vector<int>{10054});
    EXPECT_EQ(web.LastError(), "[10054] Connection reset by peer");
    settle();
    EXPECT_FALSE(log.saw("Disconnect"));
}

TEST(WebFailure, UnknownHostEndsAtOnceWithHostNotFound) {
    TWeb web;
    EventLog log;
    log.attach(web);
    // Names under ".invalid" are never sent to a name server.
    web.setURL("http://nosuch.invalid/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(), "Resolving nosuch.invalid, Error 1");
    EXPECT_EQ(web.LastError(), "Can't find host nosuch.invalid");
    EXPECT_EQ(web.socketError(), 11001);
}

TEST(WebFailure, NextRetrievalStartsWithoutTheEarlierSocketError) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    web.setURL("http://127.0.0.1:" + std::to_string(testsupport::freeTcpPort()) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_NE(web.socketError(), 0);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.socketError(), 0);
    EXPECT_EQ(web.StatusText(), "200 OK");
}

TEST(WebFailure, CancelMidBodyKeepsTheBytesSoFarAndRaisesNoDisconnect) {
    const std::string first = webtest::randomBytes(30000, 11);
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 60000\r\n\r\n" + first).stall();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    const std::string store = webtest::tempPath("cancel-mid-body.bin");
    web.setStoreToFile(true);
    web.setStoreName(store);
    web.setURL(server.baseUrl() + "/a.bin");
    web.Retrieve();
    ASSERT_TRUE(
        platform::waitUntilFor([&] { return web.BytesReceived() == 30000; }, webtest::kWatchdogMs));
    EXPECT_EQ(web.PercentDone(), 50);
    EXPECT_EQ(web.BytesRemaining(), 30000);
    web.Cancel();
    EXPECT_FALSE(web.Retrieving());
    settle();
    EXPECT_FALSE(log.saw("Disconnect"));
    EXPECT_EQ(testsupport::readFile(store), first);
    EXPECT_EQ(log.body, first);
}

TEST(WebFailure, DottedLookingHostThatIsNoAddressReportsHostNotFound) {
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://host1/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.errors, std::vector<int>{1});
    EXPECT_EQ(web.LastError(), "Can't find host host1");
}

TEST(WebFailure, ExceptionModeErrorInsideAMessageEndsTheRetrievalWithoutEscaping) {
    TWeb web;
    web.setErrorMode(http::emException);
    web.setURL("http://host1/a.htm");
    web.Retrieve();
    // The error arises in the start message, where no caller could catch it.
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.LastError(), "Can't find host host1, Code: 1");
}

TEST(WebFailure, StoreFileThatCannotBeCreatedThrowsFromRetrieve) {
    TWeb web;
    web.setURL("http://127.0.0.1/a.htm");
    web.setStoreToFile(true);
    web.setStoreName("/nonexistent-dir-for-harvex/a.htm");
    EXPECT_THROW(web.Retrieve(), std::runtime_error);
    EXPECT_FALSE(web.Retrieving());
    std::vector<int> codes;
    web.OnError = [&](TWeb*, int code) { codes.push_back(code); };
    web.setStoreName("");
    EXPECT_THROW(web.Retrieve(), std::runtime_error);
    EXPECT_EQ(codes, std::vector<int>{18});
}

TEST(WebHostCache, SecondLookupOfAHostComesFromTheCache) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\nx").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://localhost:" + std::to_string(server.port()) + "/a.htm");
    for (int round = 0; round < 2; ++round) {
        web.Cancel();
        web.Retrieve();
        ASSERT_TRUE(webtest::waitForEnd(web)) << round;
        EXPECT_EQ(web.StatusText(), "200 OK");
    }
    EXPECT_EQ(log.count("Resolving localhost"), 1) << log.joined();
    EXPECT_EQ(log.count("Resolved localhost 127.0.0.1"), 2) << log.joined();
    const auto& cache = TWeb::HostCache();
    ASSERT_FALSE(cache.empty());
    // 127.0.0.1 in network order read as a little-endian number.
    EXPECT_NE(std::find(cache.begin(), cache.end(), "localhost|16777343"), cache.end());
}

TEST(WebHostCache, AComponentGivenItsOwnCacheFillsThatOneOnly) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\nx").close();
    ASSERT_TRUE(server.start());
    auto& shared = TWeb::HostCache();
    shared.erase(std::remove_if(shared.begin(), shared.end(),
                                [](const std::string& e) { return e.rfind("localhost|", 0) == 0; }),
                 shared.end());
    http::THostCache own;
    TWeb web;
    web.setHostCache(own);
    web.setURL("http://localhost:" + std::to_string(server.port()) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(own.entries(), std::vector<std::string>{"localhost|16777343"});
    EXPECT_EQ(std::count_if(shared.begin(), shared.end(),
                            [](const std::string& e) { return e.rfind("localhost|", 0) == 0; }),
              0);
}

TEST(WebHostCache, CancelDuringLookupRaisesNothingMore) {
    auto& cache = TWeb::HostCache();
    cache.erase(std::remove_if(cache.begin(), cache.end(),
                               [](const std::string& e) { return e.rfind("localhost|", 0) == 0; }),
                cache.end());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.OnResolving = [&](TWeb* w, const std::string& host) {
        log.events.push_back("Resolving " + host);
        w->Cancel();
    };
    web.setURL("http://localhost:1/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    for (int i = 0; i < 5; ++i) settle();
    EXPECT_EQ(log.joined(), "Resolving localhost");
}

TEST(WebRetrieve, StaleStartMessageOfACancelledRetrievalIsIgnored) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\nx").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    web.Cancel();
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    settle();
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(log.count("Connect"), 1);
    EXPECT_EQ(log.count("Disconnect"), 1);
}

TEST(WebRequest, ARequestPieceLargerThanTheSocketBuffersIsSentWhole) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    const std::string referer = "http://ref.test/" + std::string(4 * 1024 * 1024, 'r');
    web.setReferer(referer);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(
        server.requests()[0].find("Referer: " + referer + "\r\nUser-Agent: ZEPHYRKIT/1.0\r\n"),
        std::string::npos);
}

TEST(WebHostCache, AnEntryForALongerNameIsNotTakenForAShorterOne) {
    auto& cache = TWeb::HostCache();
    cache.erase(std::remove_if(cache.begin(), cache.end(),
                               [](const std::string& e) { return e.rfind("localhost", 0) == 0; }),
                cache.end());
    // 127.0.0.2 would be taken by a bare prefix match on "localhost".
    cache.push_back("localhost.harvex-test|33554559");
    std::sort(cache.begin(), cache.end());
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\nx").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://localhost:" + std::to_string(server.port()) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.count("Resolving localhost"), 1) << log.joined();
    EXPECT_TRUE(log.saw("Resolved localhost 127.0.0.1")) << log.joined();
    EXPECT_EQ(web.StatusText(), "200 OK");
}

TEST(WebFailure, StoreFileThatCannotBeWrittenEndsTheRetrieval) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nabcde").stall();
    ASSERT_TRUE(server.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setStoreToFile(true);
    web.setStoreName("/dev/full");  // every write fails as on a full disk
    web.setURL(server.baseUrl() + "/a.bin");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.LastError(), "Cannot write file /dev/full");
    EXPECT_EQ(log.dataEvents, 0);
    EXPECT_FALSE(log.saw("Disconnect"));
}

TEST(WebRequestMode, BufferedDataIsHandedOutOnRequestFromAFileBuffer) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    const std::string bufferFile = webtest::tempPath("request-mode.buf");
    web.setRequestMode(http::mdRequest);
    web.setStreamMode(http::smFile);
    web.setBufferName(bufferFile);
    char block[5] = {};
    std::vector<std::string> handedOut;
    bool disconnected = false;
    web.OnInfo = [&](TWeb* w) { w->RequestData(block, 4, 2, 7, 8); };
    web.OnContext2 = [&](TWeb*, int context, int level1, int level2) {
        EXPECT_EQ(context, 2);
        EXPECT_EQ(level1, 7);
        EXPECT_EQ(level2, 8);
        handedOut.push_back(block);
    };
    web.OnDisconnect = [&](TWeb*) { disconnected = true; };
    web.setURL(server.baseUrl() + "/a.txt");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(handedOut, std::vector<std::string>{"0123"});
    // The close ends the connection; the rest is still handed out on request.
    EXPECT_FALSE(disconnected);
    web.RequestData(block, 4, 2, 7, 8);
    ASSERT_TRUE(
        platform::waitUntilFor([&] { return handedOut.size() == 2; }, webtest::kWatchdogMs));
    web.RequestData(block, 4, 2, 7, 8);
    ASSERT_TRUE(platform::waitUntilFor([&] { return disconnected; }, webtest::kWatchdogMs));
    EXPECT_EQ(handedOut, (std::vector<std::string>{"0123", "4567", "89"}));
    EXPECT_EQ(testsupport::readFile(bufferFile), "0123456789");
}

TEST(WebRequest, PostRaisesOnWriteWhenTheSocketCanTakeData) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    int writes = 0;
    web.OnWrite = [&](TWeb*) { ++writes; };
    web.setMethod(http::mtPOST);
    web.setURL(server.baseUrl() + "/form");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_GE(writes, 1);
    EXPECT_EQ(server.requests()[0].substr(0, 21), "POST /form HTTP/1.0\r\n");
}

// The request, with every header the component can send, reaches the socket
// in one send: pieces sent alone would each cost a system call and a packet.
TEST(WebRequest, GoesOutWholeInOneSend) {
    ScriptedServer server;
    server.send(kOkHeader + "hello world").close();
    ASSERT_TRUE(server.start());
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.setFrom("me@host.test");
    web.setReferer("http://ref.test/");
    web.OnPrepare = [](TWeb* w) { w->setIfModifiedSince("Mon, 02 Feb 1998 10:00:00 GMT"); };
    const std::uint64_t before = platform::TcpSocket::sendCalls();
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(platform::TcpSocket::sendCalls() - before, 1u);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /a.htm HTTP/1.0\r\n"
              "From: me@host.test\r\n"
              "Host: 127.0.0.1\r\n"
              "If-Modified-Since: Mon, 02 Feb 1998 10:00:00 GMT\r\n"
              "Referer: http://ref.test/\r\n"
              "User-Agent: tectonix' dope fly downloader\r\n"
              "Accept: */*\r\n"
              "\r\n");
}
