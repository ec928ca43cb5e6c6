#include <gtest/gtest.h>

#include "http/Web.h"
#include "http/Webproxy.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TinyproxyServer.h"
#include "tests/support/RowName.h"

using http::TWeb;
using http::TWebProxy;
using testsupport::ScriptedServer;

namespace {

void fetch(TWeb& web, const std::string& url) {
    web.Cancel();
    web.setURL(url);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
}

}  // namespace

// A real proxy in front of a real web server.
class ProxyAgainstTinyproxy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        proxy = new testsupport::TinyproxyServer();
        started = nginx->start() && proxy->start();
        if (!started) return;
        nginx->put("docs/p.htm", "through the proxy");
        nginx->put("docs/q.htm", "straight");
    }
    static void TearDownTestSuite() {
        delete proxy;
        delete nginx;
    }
    void SetUp() override {
        ASSERT_TRUE(started) << nginx->error() << proxy->error();
        webtest::configureLikeEngine(web);
        log.attach(web);
        http::TProxies p;
        p.Http = "127.0.0.1";
        p.HttpPort = proxy->port();
        dispatcher.setProxies(p);
        web.setProxyDispatcher(&dispatcher);
    }

    static testsupport::NginxServer* nginx;
    static testsupport::TinyproxyServer* proxy;
    static bool started;
    TWebProxy dispatcher;
    TWeb web;
    webtest::EventLog log;
};

testsupport::NginxServer* ProxyAgainstTinyproxy::nginx = nullptr;
testsupport::TinyproxyServer* ProxyAgainstTinyproxy::proxy = nullptr;
bool ProxyAgainstTinyproxy::started = false;

TEST_F(ProxyAgainstTinyproxy, RequestGoesThroughTheProxyWithTheWholeURL) {
    const std::string url = nginx->baseUrl() + "/docs/p.htm";
    fetch(web, url);
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(log.body, "through the proxy");
    EXPECT_TRUE(web.UseProxy());
    EXPECT_EQ(web.WebPort(), proxy->port());
    EXPECT_NE(proxy->log().find("GET " + url + " HTTP/1.0"), std::string::npos) << proxy->log();
}

TEST_F(ProxyAgainstTinyproxy, NoProxyLineBypassesTheProxy) {
    dispatcher.setNoProxy({"intranet.example", "127.0.0.1:" + std::to_string(nginx->port())});
    const std::string url = nginx->baseUrl() + "/docs/q.htm";
    fetch(web, url);
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(log.body, "straight");
    EXPECT_FALSE(web.UseProxy());
    EXPECT_EQ(proxy->log().find(url), std::string::npos);
}

TEST(WebProxyScripted, ProxyRequestLineCarriesTheURLAndHostHeaderTheBareHost) {
    ScriptedServer proxy;
    proxy.send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok").close();
    ASSERT_TRUE(proxy.start());
    TWebProxy dispatcher;
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = proxy.port();
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setProxyDispatcher(&dispatcher);
    // Nothing listens on the URL's own address: only the proxy is reached.
    fetch(web, "http://127.0.0.9:8123/dir/a.htm");
    ASSERT_EQ(proxy.requests().size(), 1u);
    const std::string request = proxy.requests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "GET http://127.0.0.9:8123/dir/a.htm HTTP/1.0");
    EXPECT_NE(request.find("\r\nHost: 127.0.0.9\r\n"), std::string::npos);
}

TEST(WebProxyScripted, EachServiceTakesItsOwnProxy) {
    ScriptedServer gopherProxy;
    gopherProxy.send("HTTP/1.0 200 OK\r\n\r\n").close();
    ASSERT_TRUE(gopherProxy.start());
    TWebProxy dispatcher;
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = testsupport::freeTcpPort();  // would refuse
    dispatcher.Proxies().Gopher = "127.0.0.1";
    dispatcher.Proxies().GopherPort = gopherProxy.port();
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, "gopher://127.0.0.9:70/1/menu");
    ASSERT_EQ(gopherProxy.requests().size(), 1u);
    EXPECT_EQ(gopherProxy.requests()[0].rfind("GET gopher://127.0.0.9:70/1/menu HTTP/1.0\r\n", 0),
              0u);
}

TEST(WebProxyChoice, EmptyProxyHostMeansNoProxy) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    TWebProxy dispatcher;  // no hosts at all
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, server.baseUrl() + "/a.htm");
    EXPECT_FALSE(web.UseProxy());
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("GET /a.htm HTTP/1.0\r\n", 0), 0u);
}

struct BypassCase {
    std::vector<std::string> noProxy;
    const char* hostAndPort;
    bool bypassed;
};

void PrintTo(const BypassCase& c, std::ostream* os) {
    *os << c.hostAndPort << (c.bypassed ? " bypassed" : " proxied");
}

class NoProxyLines : public ::testing::TestWithParam<BypassCase> {};

TEST_P(NoProxyLines, MatchAnywhereInHostAndPort) {
    TWebProxy p;
    p.setNoProxy(GetParam().noProxy);
    EXPECT_EQ(p.bypasses(GetParam().hostAndPort), GetParam().bypassed);
}

INSTANTIATE_TEST_SUITE_P(Lines, NoProxyLines,
                         ::testing::Values(BypassCase{{"example"}, "www.example.org:80", true},
                                           BypassCase{{"example"}, "myexamplehost:80", true},
                                           BypassCase{{":8080"}, "host:8080", true},
                                           BypassCase{{":8080"}, "host:80", false},
                                           BypassCase{
                                               {"other", "Example"}, "www.example.org:80", false},
                                           BypassCase{{""}, "www.example.org:80", false},
                                           BypassCase{{}, "www.example.org:80", false}),
    [](const auto& info) { return support::RowName(info.index, info.param.hostAndPort); });

TEST(WebProxyChoice, DestroyedDispatcherIsForgotten) {
    TWeb web;
    {
        TWebProxy dispatcher;
        web.setProxyDispatcher(&dispatcher);
        EXPECT_EQ(web.ProxyDispatcher(), &dispatcher);
    }
    EXPECT_EQ(web.ProxyDispatcher(), nullptr);
}
