#include <gtest/gtest.h>

#include "http/Web.h"
#include "platform/EventPump.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"

using http::TWeb;
using webtest::EventLog;

// Against a real web server, as the engine meets one.
class WebAgainstNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        started = nginx->start();
        if (!started) return;
        page = "<html><head><title>T</title></head>\n<body><a href=\"b.htm\">b</a></body></html>\n";
        binary = webtest::randomBytes(3 * 1024 * 1024 + 17, 5);
        nginx->put("docs/index.html", page);
        nginx->put("docs/data.bin", binary);
        nginx->put("docs/sub/x.htm", "x");
    }
    static void TearDownTestSuite() {
        delete nginx;
        nginx = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(started) << nginx->error();
        webtest::configureLikeEngine(web);
        log.attach(web);
    }
    void fetch(const std::string& path, http::TMethod method = http::mtGET) {
        web.Cancel();
        web.setMethod(method);
        web.setURL(nginx->baseUrl() + path);
        web.Retrieve();
        ASSERT_TRUE(webtest::waitForEnd(web));
    }

    static testsupport::NginxServer* nginx;
    static bool started;
    static std::string page, binary;
    TWeb web;
    EventLog log;
};

testsupport::NginxServer* WebAgainstNginx::nginx = nullptr;
bool WebAgainstNginx::started = false;
std::string WebAgainstNginx::page;
std::string WebAgainstNginx::binary;

TEST_F(WebAgainstNginx, GetOfAPage) {
    fetch("/docs/index.html");
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(web.StatusClass(), 2);
    EXPECT_EQ(web.HTTPMajor(), 1);
    EXPECT_EQ(web.HTTPMinor(), 1);
    EXPECT_EQ(web.ContentType(), "text");
    EXPECT_EQ(web.ContentSubType(), "html");
    EXPECT_EQ(web.ContentLength(), static_cast<std::int64_t>(page.size()));
    EXPECT_EQ(web.ServerName().rfind("nginx", 0), 0u) << web.ServerName();
    EXPECT_NE(web.LastModified(), "Sun, 01 Jan 1980 12:00:00 GMT");
    EXPECT_EQ(log.body, page);
    EXPECT_EQ(log.joined(),
              "Resolved  127.0.0.1, Connect, Prepare, Response 2 0 OK, Info, Data, Disconnect");
    EXPECT_EQ(web.PercentDone(), 100);
}

TEST_F(WebAgainstNginx, GetOfABinaryFileDeliversIdenticalBytesInBoundedBlocks) {
    fetch("/docs/data.bin");
    EXPECT_EQ(web.ContentLength(), static_cast<std::int64_t>(binary.size()));
    EXPECT_EQ(web.BytesReceived(), static_cast<std::int64_t>(binary.size()));
    EXPECT_TRUE(log.body == binary) << "bytes differ";
    EXPECT_LE(log.largestBlock, 8191);
    EXPECT_EQ(log.unterminatedBlocks, 0);
    EXPECT_GE(web.TransferRate(), 0.0);
}

TEST_F(WebAgainstNginx, StoreToFileWritesTheSameBytes) {
    const std::string store = webtest::tempPath("nginx-data.bin");
    testsupport::writeFile(store, "old content that must go away, and more of it than the new one");
    web.setStoreToFile(true);
    web.setStoreName(store);
    fetch("/docs/index.html");
    EXPECT_EQ(testsupport::readFile(store), page);
    fetch("/docs/data.bin");
    EXPECT_TRUE(testsupport::readFile(store) == binary) << "stored bytes differ";
    EXPECT_EQ(log.count("Disconnect"), 2);
}

TEST_F(WebAgainstNginx, HeadGivesHeaderFieldsNoDataThenDisconnect) {
    fetch("/docs/data.bin", http::mtHEAD);
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(web.ContentLength(), static_cast<std::int64_t>(binary.size()));
    EXPECT_EQ(web.ContentType(), "application");
    EXPECT_EQ(web.ContentSubType(), "octet-stream");
    EXPECT_EQ(log.dataEvents, 0);
    EXPECT_EQ(log.joined(), "Resolved  127.0.0.1, Connect, Prepare, Response 2 0 OK, Disconnect");
}

TEST_F(WebAgainstNginx, MissingPageIs404) {
    fetch("/docs/missing.html");
    EXPECT_EQ(web.StatusText(), "404 Not Found");
    EXPECT_EQ(web.StatusClass(), 4);
    EXPECT_EQ(web.StatusDetail(), 4);
    EXPECT_EQ(web.StatusText().find("200"), std::string::npos);
    EXPECT_TRUE(log.saw("Response 4 4 Not Found"));
    EXPECT_TRUE(log.saw("Disconnect"));
}

TEST_F(WebAgainstNginx, DirectoryWithoutFinalSlashIsRedirectedWithoutDisconnect) {
    fetch("/docs/sub");
    EXPECT_EQ(web.StatusClass(), 3);
    EXPECT_EQ(web.StatusDetail(), 1);
    const std::string tail = "/docs/sub/";
    ASSERT_GE(web.Location().size(), tail.size());
    EXPECT_EQ(web.Location().substr(web.Location().size() - tail.size()), tail) << web.Location();
    ASSERT_TRUE(platform::waitUntilFor([&] { return log.saw("Redirection " + web.Location()); },
                                       webtest::kWatchdogMs));
    EXPECT_FALSE(log.saw("Disconnect"));
    EXPECT_FALSE(web.Retrieving());
}

TEST_F(WebAgainstNginx, HostNameIsLookedUpOnceAndSentWithoutPort) {
    web.setURL("http://localhost:" + std::to_string(nginx->port()) + "/docs/sub/x.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(log.body, "x");
    EXPECT_TRUE(log.saw("Resolved localhost 127.0.0.1")) << log.joined();
}
