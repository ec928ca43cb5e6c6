// IPv6 in the HTTP component: bracketed hosts, every address of a host tried
// in turn until one takes the connection, IPv6 entries in the host cache.
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "http/HostCache.h"
#include "http/Web.h"
#include "http/Webproxy.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"

using http::THostCache;
using http::TWeb;
using platform::IpAddress;
using testsupport::ScriptedServer;
using webtest::EventLog;

#define SKIP_WITHOUT_IPV6_LOOPBACK()                                                     \
    if (!testsupport::haveIpv6Loopback())                                                \
    GTEST_SKIP() << "this machine has no IPv6 loopback (::1 cannot be bound); the IPv6 " \
                    "paths are not exercised here"

namespace {

const std::string kPage = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";

IpAddress address(const std::string& text) { return *IpAddress::parse(text); }

std::vector<std::string> texts(const std::vector<IpAddress>& addresses) {
    std::vector<std::string> out;
    for (const auto& a : addresses) out.push_back(a.text());
    return out;
}

// The entry number of 127.0.0.200: its bytes read little-endian, negative.
constexpr const char* k127_0_0_200 = "-939523969";
// 127.0.0.1 the same way.
constexpr const char* k127_0_0_1 = "16777343";

}  // namespace

// ---------------------------------------------------------------- host cache

struct CacheRow {
    const char* name;
    std::vector<std::pair<std::string, std::string>> added;  // name, address text
    std::vector<std::string> entries;                        // afterwards
    std::vector<std::string> addressesOfHost;                // addresses("host")
};

class HostCacheIpv6 : public ::testing::TestWithParam<CacheRow> {};

TEST_P(HostCacheIpv6, EntriesAndTheAddressesOfAName) {
    const CacheRow& row = GetParam();
    THostCache cache;
    for (const auto& [name, text] : row.added) cache.add(name, address(text));
    EXPECT_EQ(cache.entries(), row.entries);
    EXPECT_EQ(texts(cache.addresses("host")), row.addressesOfHost);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostCacheIpv6,
    ::testing::Values(
        CacheRow{"Ipv4StaysASignedNumber",
                 {{"host", "127.0.0.1"}},
                 {"host|16777343"},
                 {"127.0.0.1"}},
        CacheRow{"Ipv4WithAHighLastByteIsNegative",
                 {{"host", "127.0.0.200"}},
                 {std::string("host|") + k127_0_0_200},
                 {"127.0.0.200"}},
        CacheRow{"Ipv6IsKeptAsItsText", {{"host", "::1"}}, {"host|::1"}, {"::1"}},
        CacheRow{"Ipv6TextIsTheShortLowerCaseForm",
                 {{"host", "2001:DB8:0:0:0:0:0:1"}},
                 {"host|2001:db8::1"},
                 {"2001:db8::1"}},
        CacheRow{"BothFamiliesIpv6TriedFirst",
                 {{"host", "127.0.0.1"}, {"host", "::1"}},
                 {"host|16777343", "host|::1"},
                 {"::1", "127.0.0.1"}},
        CacheRow{"SameAddressKeptOnce",
                 {{"host", "::1"}, {"host", "0:0:0:0:0:0:0:1"}},
                 {"host|::1"},
                 {"::1"}},
        CacheRow{"ALongerNameIsAnotherHost",
                 {{"hostile", "::1"}, {"host", "127.0.0.1"}},
                 {"hostile|::1", "host|16777343"},  // sorted: "i" comes before "|"
                 {"127.0.0.1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostCacheIpv6Entries, TheIpv4LookupPassesOverIpv6Entries) {
    THostCache cache;
    cache.add("host", address("127.0.0.1"));
    cache.add("host", address("::1"));
    std::uint32_t found = 0;
    ASSERT_TRUE(cache.find("host", found));
    EXPECT_EQ(found, 0x0100007Fu);
    THostCache only6;
    only6.add("six", address("::1"));
    EXPECT_FALSE(only6.find("six", found));
}

TEST(HostCacheIpv6Entries, KeptListsWithBrokenEntriesStillRead) {
    THostCache cache;
    cache.entries() = {"host|16777343", "host|::zz", "host|::1", "other|::2"};
    EXPECT_EQ(texts(cache.addresses("host")), (std::vector<std::string>{"::1", "127.0.0.1"}));
}

TEST(HostCacheIpv6Entries, KeepOnlyLeavesTheNameOneAddressAndOtherNamesAlone) {
    THostCache cache;
    cache.entries() = {"hostile|::1", "host|16777343", "host|::1"};
    cache.keepOnly("host", address("127.0.0.1"));
    EXPECT_EQ(cache.entries(), (std::vector<std::string>{"hostile|::1", "host|16777343"}));
}

// ---------------------------------------------------------------- host:port

struct OriginRow {
    const char* name;
    std::string url;
    std::string webHost;  // set after the URL when not empty
    std::string origin;
    std::string shownHost;  // WebHost afterwards
    std::string shownUrl;   // URL afterwards
};

class OriginHostAndPort : public ::testing::TestWithParam<OriginRow> {};

TEST_P(OriginHostAndPort, PortFollowsTheBrackets) {
    const OriginRow& row = GetParam();
    TWeb web;
    web.setURL(row.url);
    if (!row.webHost.empty()) web.setWebHost(row.webHost);
    EXPECT_EQ(web.originHostAndPort(), row.origin);
    EXPECT_EQ(web.WebHost(), row.shownHost);
    EXPECT_EQ(web.URL(), row.shownUrl);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OriginHostAndPort,
    ::testing::Values(
        OriginRow{"Ipv6WithPort", "http://[::1]:8080/a.htm", "", "[::1]:8080", "[::1]",
                  "http://[::1]:8080/a.htm"},
        OriginRow{"Ipv6DefaultPort", "http://[::1]/", "", "[::1]:80", "[::1]", "http://[::1]/"},
        OriginRow{"Ipv6Https", "https://[2001:db8::1]/x/", "", "[2001:db8::1]:443",
                  "[2001:db8::1]", "https://[2001:db8::1]/x/"},
        OriginRow{"Ipv4Unchanged", "http://127.0.0.1:81/", "", "127.0.0.1:81", "127.0.0.1",
                  "http://127.0.0.1:81/"},
        OriginRow{"NameUnchanged", "http://host.test/", "", "host.test:80", "host.test",
                  "http://host.test/"},
        OriginRow{"WebHostBracketed", "http://host.test:8080/a.htm", "[::1]", "[::1]:8080",
                  "[::1]", "http://[::1]:8080/a.htm"},
        OriginRow{"WebHostBareIpv6GetsBrackets", "http://host.test:8080/a.htm", "::1",
                  "[::1]:8080", "[::1]", "http://[::1]:8080/a.htm"},
        OriginRow{"WebHostName", "http://[::1]:8080/a.htm", "host.test", "host.test:8080",
                  "host.test", "http://host.test:8080/a.htm"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- every address in turn

struct FallbackRow {
    const char* name;
    std::vector<std::string> cached;  // values after "dual.test|"
    bool serverOnIpv6;
    std::string resolved;                  // the address OnResolved names
    std::vector<std::string> cacheAfter;   // values after "dual.test|"
};

class WebEveryAddress : public ::testing::TestWithParam<FallbackRow> {};

// The name's addresses come from a host cache given to the component, so the
// rows need no name server: only one of them has a listener.
TEST_P(WebEveryAddress, ARefusedAddressMovesOnToTheNext) {
    const FallbackRow& row = GetParam();
    if (row.serverOnIpv6) SKIP_WITHOUT_IPV6_LOOPBACK();
    ScriptedServer server;
    if (row.serverOnIpv6) server.onIpv6Loopback();
    server.send(kPage).close();
    ASSERT_TRUE(server.start());
    THostCache cache;
    for (const auto& value : row.cached) cache.entries().push_back("dual.test|" + value);
    std::sort(cache.entries().begin(), cache.entries().end());
    TWeb web;
    web.setHostCache(cache);
    EventLog log;
    log.attach(web);
    web.setURL("http://dual.test:" + std::to_string(server.port()) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(), "Resolved dual.test " + row.resolved +
                                ", Connect, Prepare, Response 2 0 OK, Info, Data, Disconnect");
    EXPECT_EQ(log.body, "hello");
    EXPECT_EQ(web.socketError(), 0);
    EXPECT_EQ(server.connections(), 1);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].find("Host: dual.test\r\n"), std::string::npos);
    std::vector<std::string> after;
    for (const auto& e : cache.entries()) after.push_back(e.substr(e.find('|') + 1));
    EXPECT_EQ(after, row.cacheAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebEveryAddress,
    ::testing::Values(
        // The cache keeps the address that answered.
        FallbackRow{"Ipv6RefusedThenIpv4", {"::1", k127_0_0_1}, false, "::1", {k127_0_0_1}},
        FallbackRow{"Ipv4RefusedThenIpv4", {k127_0_0_200, k127_0_0_1}, false, "127.0.0.200",
                    {k127_0_0_1}},
        FallbackRow{"ThreeAddressesTheLastAnswers",
                    {"::1", k127_0_0_200, k127_0_0_1},
                    false,
                    "::1",
                    {k127_0_0_1}},
        // The first address answers: nothing else is tried, the list stays.
        FallbackRow{"Ipv6AnswersFirst", {"::1", k127_0_0_1}, true, "::1", {k127_0_0_1, "::1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebEveryAddressFails, TheRetrievalEndsAtOnceWithTheLastReason) {
    const std::uint16_t port = testsupport::freeTcpPort();
    THostCache cache;
    cache.entries() = {std::string("dual.test|") + k127_0_0_200,
                       std::string("dual.test|") + k127_0_0_1, "dual.test|::1"};
    TWeb web;
    web.setHostCache(cache);
    EventLog log;
    log.attach(web);
    web.setURL("http://dual.test:" + std::to_string(port) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(), "Resolved dual.test ::1, Error 10061");
    EXPECT_EQ(web.socketError(), 10061);
    EXPECT_EQ(web.LastError(), "[10061] Connection refused");
    // Nothing answered: the list is left as it was.
    EXPECT_EQ(cache.entries().size(), 3u);
}

TEST(WebEveryAddressFails, ExceptionModeKeepsTheTextWithItsCode) {
    const std::uint16_t port = testsupport::freeTcpPort();
    THostCache cache;
    cache.entries() = {std::string("dual.test|") + k127_0_0_1, "dual.test|::1"};
    TWeb web;
    web.setHostCache(cache);
    web.setErrorMode(http::emException);
    web.setURL("http://dual.test:" + std::to_string(port) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.LastError(), "[10061] Connection refused, Code: 10061");
}

// A real lookup: where this machine's hosts file gives localhost both
// addresses, a server on one of them is reached whichever comes first.
TEST(WebEveryAddressLookup, LocalhostWithBothAddressesReachesAnIpv4OnlyServer) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    bool v4 = false, v6 = false;
    if (::getaddrinfo("localhost", nullptr, &hints, &found) == 0) {
        for (addrinfo* a = found; a; a = a->ai_next) {
            v4 = v4 || a->ai_family == AF_INET;
            v6 = v6 || a->ai_family == AF_INET6;
        }
        ::freeaddrinfo(found);
    }
    if (!v4 || !v6)
        GTEST_SKIP() << "localhost does not resolve to both ::1 and 127.0.0.1 here";
    ScriptedServer server;
    server.send(kPage).close();
    ASSERT_TRUE(server.start());
    THostCache cache;
    TWeb web;
    web.setHostCache(cache);
    EventLog log;
    log.attach(web);
    web.setURL("http://localhost:" + std::to_string(server.port()) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "200 OK") << log.joined();
    EXPECT_EQ(log.body, "hello");
    EXPECT_EQ(cache.entries(), std::vector<std::string>{"localhost|16777343"});
}

// ---------------------------------------------------------------- literal IPv6 hosts

TEST(WebIpv6Literal, BracketedHostIsFetchedWithoutLookupAndSentInBrackets) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    ScriptedServer server;
    server.onIpv6Loopback().send(kPage).close();
    ASSERT_TRUE(server.start());
    TWeb web;
    webtest::configureLikeEngine(web);
    EventLog log;
    log.attach(web);
    web.setURL(server.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(),
              "Resolved  ::1, Connect, Prepare, Response 2 0 OK, Info, Data, Disconnect");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /a.htm HTTP/1.0\r\n"
              "Host: [::1]\r\n"
              "User-Agent: tectonix' dope fly downloader\r\n"
              "Accept: */*\r\n"
              "\r\n");
    EXPECT_TRUE(TWeb::HostCache().end() ==
                std::find_if(TWeb::HostCache().begin(), TWeb::HostCache().end(),
                             [](const std::string& e) { return e.rfind("::1|", 0) == 0; }));
}

TEST(WebIpv6Literal, RefusedIpv6AddressEndsWithItsReason) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    const std::uint16_t port = testsupport::freeTcpPort(true);
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://[::1]:" + std::to_string(port) + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.joined(), "Resolved  ::1, Error 10061");
    EXPECT_EQ(web.LastError(), "[10061] Connection refused");
}

// ---------------------------------------------------------------- proxies at IPv6 addresses

class WebIpv6Proxy : public ::testing::TestWithParam<const char*> {};

TEST_P(WebIpv6Proxy, ProxyAtAnIpv6AddressIsConnectedToWithoutLookup) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    ScriptedServer proxy;
    proxy.onIpv6Loopback().send(kPage).close();
    ASSERT_TRUE(proxy.start());
    TWeb web;
    EventLog log;
    log.attach(web);
    web.setURL("http://far.test:8080/a/b.htm");
    web.setProxy(GetParam());
    web.setProxyPort(proxy.port());
    web.setUseProxy(true);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_FALSE(log.saw("Resolving ::1")) << log.joined();
    EXPECT_TRUE(log.saw("Resolved  ::1")) << log.joined();
    EXPECT_EQ(log.body, "hello");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].substr(0, proxy.requests()[0].find("\r\n")),
              "GET http://far.test:8080/a/b.htm HTTP/1.0");
}

INSTANTIATE_TEST_SUITE_P(Table, WebIpv6Proxy, ::testing::Values("::1", "[::1]"),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Bare" : "Bracketed");
                         });

TEST(WebIpv6Proxy, NoProxyEntryForTheIpv6HostBypassesTheProxy) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    ScriptedServer proxy;
    proxy.send("HTTP/1.0 502 Bad Gateway\r\n\r\n").close();
    ASSERT_TRUE(proxy.start());
    ScriptedServer origin;
    origin.onIpv6Loopback().send(kPage).close();
    ASSERT_TRUE(origin.start());
    http::TWebProxy list;
    http::TProxies proxies;
    proxies.Http = "127.0.0.1";
    proxies.HttpPort = proxy.port();
    list.setProxies(proxies);
    http::NoProxyList noProxy;
    std::string error;
    ASSERT_TRUE(noProxy.parse("[::1]:" + std::to_string(origin.port()), error)) << error;
    list.setNoProxyHosts(noProxy);
    TWeb web;
    web.setProxyDispatcher(&list);
    EventLog log;
    log.attach(web);
    web.setURL(origin.baseUrl() + "/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(log.body, "hello") << log.joined();
    EXPECT_EQ(origin.connections(), 1);
    EXPECT_EQ(proxy.connections(), 0);
}

// ---------------------------------------------------------------- nginx on [::1]

namespace {

std::string apr1Hash(const std::string& password) {
    QProcess p;
    p.start("openssl", {"passwd", "-apr1", QString::fromStdString(password)});
    p.waitForFinished(10000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().toStdString();
}

}  // namespace

TEST(WebIpv6Nginx, PagesAndCredentialsOfASiteOnIpv6Loopback) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    QTemporaryDir passwords;
    const std::string file = passwords.path().toStdString() + "/htpasswd";
    testsupport::writeFile(file, "alice:" + apr1Hash("s3cret") + "\n");
    const std::string hostLog = passwords.path().toStdString() + "/host.log";
    testsupport::NginxServer nginx("    access_log " + hostLog + " harvex_host;\n" +
                                   "    location /members/ { auth_basic \"Members\"; "
                                   "auth_basic_user_file " +
                                   file + "; }\n");
    nginx.listenOnIpv6Loopback();
    ASSERT_TRUE(nginx.start()) << nginx.error();
    const std::string body = webtest::randomBytes(70000, 6);
    nginx.put("index.html", body);
    nginx.put("members/a.htm", "page a");

    TWeb web;
    webtest::configureLikeEngine(web);
    EventLog log;
    log.attach(web);
    web.setURL(nginx.baseUrl() + "/index.html");
    ASSERT_EQ(nginx.baseUrl(), "http://[::1]:" + std::to_string(nginx.port()));
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "200 OK") << log.joined();
    EXPECT_TRUE(log.body == body);
    // The Host header as nginx read it: the address in brackets, without the
    // port, as every host is sent.
    const std::string hosts = testsupport::readFile(hostLog);
    EXPECT_EQ(hosts.substr(0, hosts.find('\n')), "[::1] \"GET /index.html HTTP/1.0\" 200") << hosts;

    TWeb::CredentialCache().clear();
    web.AuthorizationDialog = [](TWeb*, const std::string&, const std::string& host,
                                 std::string& user, std::string& password) {
        EXPECT_EQ(host, "[::1]");
        user = "alice";
        password = "s3cret";
        return true;
    };
    log = {};
    log.attach(web);
    web.Cancel();
    web.setURL(nginx.baseUrl() + "/members/a.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.StatusText(), "200 OK") << log.joined();
    EXPECT_EQ(log.body, "page a");
    ASSERT_EQ(TWeb::CredentialCache().size(), 1u);
    EXPECT_EQ(TWeb::CredentialCache()[0],
              TWeb::credentialKey("Members", "[::1]:" + std::to_string(nginx.port())) +
                  "|alice\x04s3cret");
    TWeb::CredentialCache().clear();
}
