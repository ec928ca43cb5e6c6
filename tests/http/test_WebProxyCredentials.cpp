// Proxy credentials in TWeb: Proxy-Authorization goes to the proxy alone, in
// the request it is to pass on or with the CONNECT of a tunnel, and the
// proxy's refusal ends the retrieval with a plain reason.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "http/Web.h"
#include "http/Webproxy.h"
#include "platform/TlsSession.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TinyproxyServer.h"
#include "tests/support/TlsScriptedServer.h"

using http::TWeb;
using http::TWebProxy;
using testsupport::ScriptedServer;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void fetch(TWeb& web, const std::string& url) {
    web.Cancel();
    web.setURL(url);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
}

// The dispatcher's http proxy listens at port and wants user:password.
void proxyWithCredentials(TWebProxy& dispatcher, int port, const std::string& user,
                          const std::string& password) {
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = port;
    dispatcher.Proxies().HttpCredentials = http::BasicCredentials{user, password};
}

int linesStartingWith(const std::string& text, const std::string& start) {
    int count = 0;
    for (auto at = text.find("\r\n" + start); at != std::string::npos;
         at = text.find("\r\n" + start, at + 2))
        ++count;
    return count;
}

}  // namespace

struct CredentialRow {
    const char* name;
    http::TMethod method;
    const char* methodWord;
};

class ProxyCredentialsSent : public ::testing::TestWithParam<CredentialRow> {};

TEST_P(ProxyCredentialsSent, OnceInTheRequestToTheProxy) {
    ScriptedServer proxy;
    proxy.send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok").close();
    ASSERT_TRUE(proxy.start());
    TWebProxy dispatcher;
    proxyWithCredentials(dispatcher, proxy.port(), "user", "pa@ss");
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setMethod(GetParam().method);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, "http://127.0.0.9:8123/a.htm");
    ASSERT_EQ(proxy.requests().size(), 1u);
    const std::string request = proxy.requests()[0];
    EXPECT_EQ(request.rfind(std::string(GetParam().methodWord) +
                                " http://127.0.0.9:8123/a.htm HTTP/1.0\r\n",
                            0),
              0u)
        << request;
    EXPECT_EQ(linesStartingWith(request, "Proxy-Authorization:"), 1) << request;
    EXPECT_NE(request.find("\r\nProxy-Authorization: Basic dXNlcjpwYUBzcw==\r\n"),
              std::string::npos)
        << request;
    // The site's own header stays out: nobody asked for site credentials.
    EXPECT_EQ(linesStartingWith(request, "Authorization:"), 0) << request;
    EXPECT_TRUE(web.proxyRefusal().empty());
}

INSTANTIATE_TEST_SUITE_P(Methods, ProxyCredentialsSent,
                         ::testing::Values(CredentialRow{"Get", http::mtGET, "GET"},
                                           CredentialRow{"Head", http::mtHEAD, "HEAD"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A host the no_proxy lines take is reached directly: it never sees the
// proxy's credentials.
TEST(WebProxyCredentials, BypassedHostNeverSeesThem) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok").close();
    ASSERT_TRUE(server.start());
    // The proxy's port refuses: only the bypass can succeed.
    TWebProxy dispatcher;
    proxyWithCredentials(dispatcher, testsupport::freeTcpPort(), "user", "secret");
    dispatcher.setNoProxy({"127.0.0.1:" + std::to_string(server.port())});
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, server.baseUrl() + "/a.htm");
    EXPECT_FALSE(web.UseProxy());
    EXPECT_EQ(web.StatusText(), "200 OK");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("GET /a.htm HTTP/1.0\r\n", 0), 0u);
    EXPECT_EQ(server.requests()[0].find("Proxy-Authorization"), std::string::npos)
        << server.requests()[0];
}

// A later retrieval through a proxy given no credentials sends none: nothing
// is left over from the earlier one.
TEST(WebProxyCredentials, AnotherProxyListSendsNone) {
    ScriptedServer proxy;
    proxy.send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok").close();
    ASSERT_TRUE(proxy.start());
    TWebProxy withCredentials;
    proxyWithCredentials(withCredentials, proxy.port(), "user", "secret");
    TWebProxy without;
    without.Proxies().Http = "127.0.0.1";
    without.Proxies().HttpPort = proxy.port();
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setProxyDispatcher(&withCredentials);
    fetch(web, "http://127.0.0.9:8123/one.htm");
    web.setProxyDispatcher(&without);
    fetch(web, "http://127.0.0.9:8123/two.htm");
    ASSERT_EQ(proxy.requests().size(), 2u);
    EXPECT_EQ(linesStartingWith(proxy.requests()[0], "Proxy-Authorization:"), 1);
    EXPECT_EQ(linesStartingWith(proxy.requests()[1], "Proxy-Authorization:"), 0)
        << proxy.requests()[1];
}

struct RefusalRow {
    const char* name;
    bool withCredentials;
    const char* reason;
};

class ProxyRefusal : public ::testing::TestWithParam<RefusalRow> {};

// A 407 is the proxy's challenge: it is never answered with the site's
// credentials (no dialog, no second request), and the retrieval says why.
TEST_P(ProxyRefusal, SaysWhyAndAsksNobody) {
    ScriptedServer proxy;
    proxy
        .send("HTTP/1.0 407 Proxy Authentication Required\r\n"
              "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 6\r\n\r\ndenied")
        .close();
    ASSERT_TRUE(proxy.start());
    TWebProxy dispatcher;
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = proxy.port();
    if (GetParam().withCredentials)
        dispatcher.Proxies().HttpCredentials = http::BasicCredentials{"user", "wrong"};
    TWeb web;
    webtest::configureLikeEngine(web);
    int asked = 0;
    web.AuthorizationDialog = [&](TWeb*, const std::string&, const std::string&, std::string& user,
                                  std::string& password) {
        ++asked;
        user = "site";
        password = "site";
        return true;
    };
    web.setProxyDispatcher(&dispatcher);
    fetch(web, "http://127.0.0.9:8123/a.htm");
    EXPECT_EQ(web.proxyRefusal(), GetParam().reason);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(proxy.connections(), 1);
    EXPECT_EQ(web.StatusText(), "407 Proxy Authentication Required");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProxyRefusal,
    ::testing::Values(
        RefusalRow{"NoCredentialsGiven", false,
                   "the proxy wants a user name and password (407 Proxy Authentication Required)"},
        RefusalRow{"CredentialsRefused", true,
                   "the proxy refused the user name and password (407 Proxy Authentication "
                   "Required)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Own401Row {
    const char* name;
    bool withCredentials;
    const char* head;  // the 401's head after the status line
    bool proxysRefusal;
};

class ProxyOwn401 : public ::testing::TestWithParam<Own401Row> {};

// A 401 from the proxy itself (no Via) to a request with proxy credentials is
// the proxy refusing them; a 401 it passed on (Via), or one to a request
// without proxy credentials, is the site's challenge and asks the dialog.
TEST_P(ProxyOwn401, IsTheProxysRefusalOnlyWhenItsOwn) {
    const Own401Row& row = GetParam();
    ScriptedServer proxy;
    proxy.send(std::string("HTTP/1.0 401 Unauthorized\r\n") + row.head +
               "Content-Length: 0\r\n\r\n")
        .close();
    ASSERT_TRUE(proxy.start());
    TWebProxy dispatcher;
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = proxy.port();
    if (row.withCredentials)
        dispatcher.Proxies().HttpCredentials = http::BasicCredentials{"user", "wrong"};
    TWeb web;
    webtest::configureLikeEngine(web);
    int asked = 0;
    web.AuthorizationDialog = [&](TWeb*, const std::string&, const std::string&, std::string&,
                                  std::string&) {
        ++asked;
        return false;  // cancelled: the retrieval ends with the 401
    };
    web.setProxyDispatcher(&dispatcher);
    fetch(web, "http://127.0.0.9:8123/a.htm");
    EXPECT_EQ(web.StatusText(), "401 Unauthorized");
    if (row.proxysRefusal) {
        EXPECT_EQ(web.proxyRefusal(),
                  "the proxy refused the user name and password (401 Unauthorized)");
        EXPECT_EQ(asked, 0);
    } else {
        EXPECT_EQ(web.proxyRefusal(), "");
        EXPECT_EQ(asked, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProxyOwn401,
    ::testing::Values(
        Own401Row{"OwnWithCredentials", true, "WWW-Authenticate: Basic realm=\"Proxy\"\r\n", true},
        Own401Row{"ForwardedWithCredentials", true,
                  "Via: 1.1 proxy\r\nWWW-Authenticate: Basic realm=\"Site\"\r\n", false},
        Own401Row{"LowerCaseViaIsForwarded", true,
                  "via: 1.0 p\r\nWWW-Authenticate: Basic realm=\"Site\"\r\n", false},
        Own401Row{"WithoutProxyCredentials", false,
                  "WWW-Authenticate: Basic realm=\"Site\"\r\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct ViaRow {
    const char* name;
    std::vector<std::string> lines;
    bool forwarded;
};

class ViaLines : public ::testing::TestWithParam<ViaRow> {};

TEST_P(ViaLines, TellAForwardedResponse) {
    EXPECT_EQ(http::TResponseHead::read(GetParam().lines).forwardedByProxy, GetParam().forwarded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViaLines,
    ::testing::Values(
        ViaRow{"Via", {"HTTP/1.0 200 OK", "Via: 1.1 proxy"}, true},
        ViaRow{"AnyCase", {"HTTP/1.0 200 OK", "Server: x", "VIA : 1.0 p"}, true},
        ViaRow{"None", {"HTTP/1.0 401 Unauthorized", "Server: tinyproxy"}, false},
        ViaRow{"NameMustBeWhole", {"HTTP/1.0 200 OK", "X-Via: 1.1 p", "Vias: 2"}, false},
        ViaRow{"StatusLineIsNoHeader", {"Via: 1.1 p"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A server reached directly that answers 407 is no proxy of ours: no proxy
// reason; its authenticate header is a challenge like any other.
TEST(WebProxyCredentials, DirectServer407IsNoProxyRefusal) {
    ScriptedServer server;
    server
        .send("HTTP/1.0 407 Proxy Authentication Required\r\n"
              "Proxy-Authenticate: Basic realm=\"x\"\r\nContent-Length: 0\r\n\r\n")
        .close();
    ASSERT_TRUE(server.start());
    TWeb web;
    webtest::configureLikeEngine(web);
    int asked = 0;
    web.AuthorizationDialog = [&](TWeb*, const std::string&, const std::string&, std::string&,
                                  std::string&) {
        ++asked;
        return false;
    };
    fetch(web, server.baseUrl() + "/a.htm");
    EXPECT_TRUE(web.proxyRefusal().empty());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(web.StatusText(), "407 Proxy Authentication Required");
}

// tinyproxy with BasicAuth in front of nginx: the right credentials pass,
// wrong ones and none are refused with the reason.
class CredentialsAgainstTinyproxy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        proxy = new testsupport::TinyproxyServer();
        proxy->requireCredentials("user", "pa.ss-9");
        started = nginx->start() && proxy->start();
        if (started) nginx->put("locked/p.htm", "behind the proxy's password");
    }
    static void TearDownTestSuite() {
        delete proxy;
        delete nginx;
    }
    void SetUp() override { ASSERT_TRUE(started) << nginx->error() << proxy->error(); }

    static testsupport::NginxServer* nginx;
    static testsupport::TinyproxyServer* proxy;
    static bool started;
};

testsupport::NginxServer* CredentialsAgainstTinyproxy::nginx = nullptr;
testsupport::TinyproxyServer* CredentialsAgainstTinyproxy::proxy = nullptr;
bool CredentialsAgainstTinyproxy::started = false;

struct TinyproxyCredentialRow {
    const char* name;
    std::optional<http::BasicCredentials> credentials;
    const char* status;
    const char* refusal;
};

class TinyproxyCredentials : public CredentialsAgainstTinyproxy,
                             public ::testing::WithParamInterface<TinyproxyCredentialRow> {};

TEST_P(TinyproxyCredentials, PassOrAreRefused) {
    const TinyproxyCredentialRow& row = GetParam();
    TWebProxy dispatcher;
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = proxy->port();
    dispatcher.Proxies().HttpCredentials = row.credentials;
    TWeb web;
    webtest::configureLikeEngine(web);
    webtest::EventLog log;
    log.attach(web);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, nginx->baseUrl() + "/locked/p.htm");
    EXPECT_EQ(web.StatusText().substr(0, 3), row.status);
    EXPECT_EQ(web.proxyRefusal(), row.refusal);
    if (std::string(row.status) == "200") EXPECT_EQ(log.body, "behind the proxy's password");
    else EXPECT_EQ(log.body.find("behind the proxy's password"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TinyproxyCredentials,
    ::testing::Values(
        TinyproxyCredentialRow{"Right", http::BasicCredentials{"user", "pa.ss-9"}, "200", ""},
        // tinyproxy refuses wrong credentials with a 401 of its own.
        TinyproxyCredentialRow{"WrongPassword", http::BasicCredentials{"user", "pa.ss-8"}, "401",
                               "the proxy refused the user name and password (401 "
                               "Unauthorized)"},
        TinyproxyCredentialRow{"None", std::nullopt, "407",
                               "the proxy wants a user name and password (407 Proxy "
                               "Authentication Required)"}),
    [](const auto& info) { return std::string(info.param.name); });

// https:// through tinyproxy's CONNECT tunnel: the credentials go with the
// CONNECT alone; the server inside the tunnel never sees them.
struct TunnelCredentialRow {
    const char* name;
    std::optional<http::BasicCredentials> credentials;
    const char* failure;  // empty: the page arrives
};

class TunnelCredentials : public ::testing::TestWithParam<TunnelCredentialRow> {};

TEST_P(TunnelCredentials, GoToTheProxyAlone) {
    const TunnelCredentialRow& row = GetParam();
    const testsupport::CertificateKit& kit = testsupport::sharedCertificateKit();
    ASSERT_TRUE(kit.ready()) << kit.error();
    testsupport::TlsScriptedServer server(kit);
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nsecret").close();
    ASSERT_TRUE(server.start()) << server.error();
    testsupport::TinyproxyServer proxy;
    proxy.allowConnectTo(server.port()).requireCredentials("user", "pa.ss-9");
    ASSERT_TRUE(proxy.start()) << proxy.error();
    TWebProxy dispatcher;
    dispatcher.Proxies().Security = "127.0.0.1";
    dispatcher.Proxies().SecurityPort = proxy.port();
    dispatcher.Proxies().SecurityCredentials = row.credentials;
    // An http proxy with credentials of its own, which https:// never uses.
    dispatcher.Proxies().Http = "127.0.0.1";
    dispatcher.Proxies().HttpPort = testsupport::freeTcpPort();
    dispatcher.Proxies().HttpCredentials = http::BasicCredentials{"http", "other"};
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setTlsContext(platform::TlsContext::create(platform::TlsSettings{kit.caFile()}));
    webtest::EventLog log;
    log.attach(web);
    web.setProxyDispatcher(&dispatcher);
    fetch(web, server.baseUrl() + "/p.htm");
    EXPECT_EQ(web.tlsFailure(), row.failure);
    EXPECT_TRUE(web.proxyRefusal().empty());
    if (*row.failure == '\0') {
        EXPECT_EQ(web.StatusText(), "200 OK");
        EXPECT_EQ(log.body, "secret");
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].rfind("GET /p.htm HTTP/1.0\r\n", 0), 0u);
        EXPECT_EQ(server.requests()[0].find("Authorization"), std::string::npos)
            << server.requests()[0];
        EXPECT_TRUE(contains(proxy.log(), "CONNECT localhost:" + std::to_string(server.port())))
            << proxy.log();
    } else {
        EXPECT_EQ(log.body, "");
        EXPECT_TRUE(server.requests().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TunnelCredentials,
    ::testing::Values(
        TunnelCredentialRow{"Right", http::BasicCredentials{"user", "pa.ss-9"}, ""},
        TunnelCredentialRow{"WrongPassword", http::BasicCredentials{"user", "nope"},
                            "the proxy refused the user name and password (401 Unauthorized)"},
        TunnelCredentialRow{"None", std::nullopt,
                            "the proxy wants a user name and password (407 Proxy Authentication "
                            "Required)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The proxy list the engine hands its component: each proxy with the
// credentials its own address carried, and none made up for the other.
struct ListRow {
    const char* name;
    http::ProxyVariables variables;
    const char* http;  // "host:port user:password", "host:port" without credentials, "" none
    const char* https;
};

namespace {

std::string describe(const std::string& host, int port,
                     const std::optional<http::BasicCredentials>& credentials) {
    if (host.empty()) return "";
    std::string text = host + ":" + std::to_string(port);
    if (credentials) text += " " + credentials->user + ":" + credentials->password;
    return text;
}

}  // namespace

class ProxyListOfEnvironment : public ::testing::TestWithParam<ListRow> {};

TEST_P(ProxyListOfEnvironment, CarriesEachProxysCredentials) {
    http::EnvironmentProxies environment;
    std::string error;
    ASSERT_TRUE(environment.read(GetParam().variables, error)) << error;
    const http::TProxies list = http::ProxiesOf(environment);
    EXPECT_EQ(describe(list.Http, list.HttpPort, list.HttpCredentials), GetParam().http);
    EXPECT_EQ(describe(list.Security, list.SecurityPort, list.SecurityCredentials),
              GetParam().https);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProxyListOfEnvironment,
    ::testing::Values(
        ListRow{"None", {}, "", ""},
        ListRow{"HttpWithout", {{"http_proxy", "http://p:3128/"}}, "p:3128", ""},
        ListRow{"HttpWithDecodedPassword", {{"http_proxy", "http://ann:pa%40ss@p:3128/"}},
                "p:3128 ann:pa@ss", ""},
        ListRow{"UserWithoutPassword", {{"http_proxy", "http://ann@p:3128"}}, "p:3128 ann:", ""},
        ListRow{"EachItsOwn",
                {{"http_proxy", "http://a:1@p:3128/"}, {"https_proxy", "http://b:2@q:8080/"}},
                "p:3128 a:1", "q:8080 b:2"},
        ListRow{"OnlyTheHttpsProxyHasThem",
                {{"http_proxy", "p:3128"}, {"HTTPS_PROXY", "http://b:2@[::1]:8080"}}, "p:3128",
                "::1:8080 b:2"}),
    [](const auto& info) { return std::string(info.param.name); });
