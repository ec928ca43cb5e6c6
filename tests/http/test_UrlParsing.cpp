#include <gtest/gtest.h>

#include <random>

#include "http/Web.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/RowName.h"

using http::TWeb;

struct UrlCase {
    const char* url;
    const char* storedUrl;
    const char* host;
    int port;
    const char* path;
    const char* name;
};

class UrlParsing : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParsing, SplitsIntoParts) {
    const UrlCase& c = GetParam();
    TWeb web;
    std::vector<int> errors;
    web.OnError = [&](TWeb*, int code) { errors.push_back(code); };
    web.setURL(c.url);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(web.URL(), c.storedUrl);
    EXPECT_EQ(web.WebHost(), c.host);
    EXPECT_EQ(web.WebPort(), c.port);
    EXPECT_EQ(web.DocumentPath(), c.path);
    EXPECT_EQ(web.DocumentName(), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlParsing,
    ::testing::Values(
        UrlCase{"http:/host/page.htm", "http://host/page.htm", "host", 80, "/", "page.htm"},
        UrlCase{"HTTP://Host/A.htm", "HTTP://Host/A.htm", "Host", 80, "/", "A.htm"},
        UrlCase{"http://host", "http://host/", "host", 80, "/", ""},
        UrlCase{"http://host:8080/x/y.htm", "http://host:8080/x/y.htm", "host", 8080, "/x/",
                "y.htm"},
        UrlCase{"http://host//a///b.htm", "http://host//a///b.htm", "host", 80, "/a/", "b.htm"},
        UrlCase{"http://host/cgi/run?x=a/b", "http://host/cgi/run?x=a/b", "host", 80,
                "/cgi/run?x=a/", "b"},
        UrlCase{"  http://host/a.htm#top \t\r\n", "http://host/a.htm#top", "host", 80, "/",
                "a.htm#top"},
        UrlCase{"ftp://files.test/pub/", "ftp://files.test/pub/", "files.test", 80, "/pub/", ""},
        UrlCase{"https://host/a.htm", "https://host/a.htm", "host", 443, "/", "a.htm"},
        UrlCase{"HTTPS://Host:8443/x/y.htm", "HTTPS://Host:8443/x/y.htm", "Host", 8443, "/x/",
                "y.htm"},
        UrlCase{"https:/host/one-slash.htm", "https://host/one-slash.htm", "host", 443, "/",
                "one-slash.htm"},
        UrlCase{"https://host", "https://host/", "host", 443, "/", ""},
        // An IPv6 literal keeps its brackets in the host text (the Host header);
        // its colons are never read as a port.
        UrlCase{"http://[::1]:8080/a/b.html", "http://[::1]:8080/a/b.html", "[::1]", 8080, "/a/",
                "b.html"},
        UrlCase{"https://[2001:db8::1]/", "https://[2001:db8::1]/", "[2001:db8::1]", 443, "/", ""},
        UrlCase{"http://[::ffff:127.0.0.1]", "http://[::ffff:127.0.0.1]/", "[::ffff:127.0.0.1]",
                80, "/", ""}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

TEST(UrlParsing, FileSchemeGivesLocalPathAndKeepsTheText) {
    TWeb web;
    web.setURL("file:///srv/dir/index.htm");
    EXPECT_EQ(web.WebService(), http::svFILE);
    EXPECT_EQ(web.URL(), "file:///srv/dir/index.htm");
    EXPECT_EQ(web.DocumentPath(), "/srv/dir/");
    EXPECT_EQ(web.DocumentName(), "index.htm");
}

TEST(UrlParsing, DottedHostRule) {
    EXPECT_TRUE(http::isDottedHost("10.0.0.1"));
    EXPECT_TRUE(http::isDottedHost("10.0.0.1."));
    EXPECT_TRUE(http::isDottedHost("host1"));
    EXPECT_FALSE(http::isDottedHost("host.test"));
    EXPECT_FALSE(http::isDottedHost("..."));
    EXPECT_FALSE(http::isDottedHost(""));
    EXPECT_EQ(http::dottedText(http::dottedAddress("127.0.0.1")), "127.0.0.1");
    EXPECT_EQ(http::dottedAddress("host1"), 0u);
    EXPECT_EQ(http::dottedAddress("1.2.3.256"), 0u);
    EXPECT_EQ(http::dottedAddress("1.2.3"), 0u);
}

struct ErrorCase {
    const char* url;
    std::vector<int> codes;
    bool conversionError;
};

class UrlErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(UrlErrors, ReportedInHandlerMode) {
    const ErrorCase& c = GetParam();
    TWeb web;
    std::vector<int> codes;
    web.OnError = [&](TWeb*, int code) { codes.push_back(code); };
    if (c.conversionError) {
        EXPECT_THROW(web.setURL(c.url), http::EConvertError);
    } else {
        EXPECT_NO_THROW(web.setURL(c.url));
    }
    EXPECT_EQ(codes, c.codes);
}

INSTANTIATE_TEST_SUITE_P(Table, UrlErrors,
                         ::testing::Values(ErrorCase{"http://host:80a/x", {14}, true},
                                           ErrorCase{"http://host:8a0b/x", {14, 14}, true},
                                           ErrorCase{"http://host:70000/x", {14}, true},
                                           ErrorCase{"http://host:/x", {}, true},
                                           ErrorCase{"mailto:someone@host.test", {11}, false},
                                           ErrorCase{"hostonly", {12}, false},
                                           ErrorCase{"http://", {13}, false},
                                           // Malformed brackets: no host to look up.
                                           ErrorCase{"http://[::1/", {15}, false},
                                           ErrorCase{"http://[zz]/", {15}, false},
                                           ErrorCase{"http://[::1]x/", {15}, false},
                                           ErrorCase{"https://[]/", {15}, false},
                                           ErrorCase{"http://[::1]:8a/", {14}, true},
                                           ErrorCase{"http://[::1]:/", {}, true}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

struct SecureCase {
    const char* url;
    bool secure;
    int port;
    const char* afterPort8080;  // the URL rebuilt with port 8080
    const char* afterPortDefault;  // and again with the scheme's default port
};

class UrlSecurity : public ::testing::TestWithParam<SecureCase> {};

TEST_P(UrlSecurity, HttpsIsSecureOnItsOwnDefaultPort) {
    const SecureCase& c = GetParam();
    TWeb web;
    std::vector<int> errors;
    web.OnError = [&](TWeb*, int code) { errors.push_back(code); };
    web.setURL(c.url);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(web.Secure(), c.secure);
    EXPECT_EQ(web.WebService(), http::svHTTP);
    EXPECT_EQ(web.WebPort(), c.port);
    web.setWebPort(8080);
    EXPECT_EQ(web.URL(), c.afterPort8080);
    web.setWebPort(c.secure ? 443 : 80);
    EXPECT_EQ(web.URL(), c.afterPortDefault);
    EXPECT_EQ(web.Secure(), c.secure) << "rebuilding keeps the scheme";
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlSecurity,
    ::testing::Values(SecureCase{"http://host/a.htm", false, 80, "http://host:8080/a.htm",
                                 "http://host/a.htm"},
                      SecureCase{"https://host/a.htm", true, 443, "https://host:8080/a.htm",
                                 "https://host/a.htm"},
                      SecureCase{"https://host:80/a.htm", true, 80, "https://host:8080/a.htm",
                                 "https://host/a.htm"},
                      SecureCase{"https://[::1]:8443/d/", true, 8443, "https://[::1]:8080/d/",
                                 "https://[::1]/d/"}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

TEST(UrlParsing, SecureIsClearedByTheNextUrl) {
    TWeb web;
    web.setURL("https://host/a.htm");
    ASSERT_TRUE(web.Secure());
    web.setURL("http://host/a.htm");
    EXPECT_FALSE(web.Secure());
    web.setURL("https://host/a.htm");
    web.setURL("");
    EXPECT_FALSE(web.Secure());
    EXPECT_EQ(web.WebPort(), 80);
    web.setURL("https://host/a.htm");
    web.setURL("ftp://host/a.htm");
    EXPECT_FALSE(web.Secure());
}

// An IPv6 address needs no lookup, as a dotted one does not: the bare address
// is what the connection goes to, and no name server is asked.
TEST(UrlParsing, BracketedHostIsConnectedToAsTheBareAddress) {
    for (const std::string url : {"http://[::1]:1/a.htm", "https://[::1]/a.htm"}) {
        TWeb web;
        std::vector<std::string> lookedUp, resolved;
        web.OnResolving = [&](TWeb*, const std::string& host) { lookedUp.push_back(host); };
        web.OnResolved = [&](TWeb* w, const std::string& host, const std::string& address) {
            resolved.push_back(host + "|" + address);
            w->Cancel();  // nothing is connected to
        };
        web.setURL(url);
        EXPECT_EQ(web.WebHost(), "[::1]") << url;
        web.Retrieve();
        ASSERT_TRUE(webtest::waitForEnd(web)) << url;
        EXPECT_TRUE(lookedUp.empty()) << url;
        EXPECT_EQ(resolved, std::vector<std::string>{"|::1"}) << url;
    }
}

TEST(UrlParsing, UnsupportedSchemeClearsUrlAndNamesTheScheme) {
    TWeb web;
    web.setURL("mailto:x@host.test");
    EXPECT_EQ(web.URL().find("mailto"), std::string::npos);
    EXPECT_EQ(web.WebService(), http::svHTTP);
    EXPECT_EQ(web.LastError(), "Unsupported Web Service (mailto)");
}

TEST(UrlParsing, ExceptionModeRaisesWebErrorWithCode) {
    TWeb web;
    web.setErrorMode(http::emException);
    try {
        web.setURL("http://host:80a/");
        FAIL() << "no exception";
    } catch (const http::EWebError& e) {
        EXPECT_STREQ(e.what(), "Invalid Port Specified, Code: 14");
        EXPECT_EQ(e.code(), 14);
    }
}

TEST(UrlParsing, EmptyUrlResetsTheParts) {
    TWeb web;
    web.setURL("http://host:81/a/b.htm");
    web.setURL("   ");
    EXPECT_EQ(web.URL(), "");
    EXPECT_EQ(web.WebHost(), "");
    EXPECT_EQ(web.WebPort(), 80);
    EXPECT_EQ(web.DocumentPath(), "/");
    EXPECT_EQ(web.DocumentName(), "");
}

TEST(UrlParts, SettersRebuildTheUrl) {
    TWeb web;
    web.setURL("http://host/a/b.htm");
    web.setWebPort(8080);
    EXPECT_EQ(web.URL(), "http://host:8080/a/b.htm");
    web.setDocumentPath("docs");
    EXPECT_EQ(web.DocumentPath(), "/docs/");
    EXPECT_EQ(web.URL(), "http://host:8080/docs/b.htm");
    web.setDocumentName("c.htm");
    web.setWebHost("other.test");
    web.setWebService(http::svGOPHER);
    EXPECT_EQ(web.URL(), "gopher://other.test:8080/docs/c.htm");
    web.setDocumentPath("");
    EXPECT_EQ(web.DocumentPath(), "/");
    web.setWebHost("");
    EXPECT_EQ(web.URL(), "");
}

TEST(UrlParts, DocumentNameWithSlashIsRejectedAndCleared) {
    TWeb web;
    std::vector<int> codes;
    web.OnError = [&](TWeb*, int code) { codes.push_back(code); };
    web.setURL("http://host/a/b.htm");
    web.setDocumentName("x/y.htm");
    EXPECT_EQ(codes, std::vector<int>{20});
    EXPECT_EQ(web.DocumentName(), "");
    EXPECT_EQ(web.LastError(), "Invalid Document Name");
}

TEST(WebProperties, BufferSizeIsClamped) {
    TWeb web;
    for (auto [given, stored] : std::vector<std::pair<int, int>>{
             {100, 1024}, {1024, 1024}, {4000, 4000}, {8192, 8192}, {65536, 8192}}) {
        web.setBufferSize(given);
        EXPECT_EQ(web.BufferSize(), stored) << given;
    }
}

// A retrieval that stays under way: a server that accepts and never answers.
class GuardedProperties : public ::testing::Test {
protected:
    void SetUp() override {
        server.stall();
        ASSERT_TRUE(server.start());
        web.setURL(server.baseUrl() + "/a.htm");
        web.Retrieve();
        ASSERT_TRUE(web.Retrieving());
    }
    testsupport::ScriptedServer server;
    TWeb web;
};

TEST_F(GuardedProperties, HandlerModeCancelsReportsNineAndStoresTheValue) {
    std::vector<int> codes;
    web.OnError = [&](TWeb*, int code) { codes.push_back(code); };
    web.setURL("http://other.test/b.htm");
    EXPECT_EQ(codes, std::vector<int>{9});
    EXPECT_FALSE(web.Retrieving());
    EXPECT_EQ(web.URL(), "http://other.test/b.htm");
    EXPECT_EQ(web.DocumentName(), "b.htm");
    // The text of the report was cleared by the new URL.
    EXPECT_EQ(web.LastError(), "");
}

TEST_F(GuardedProperties, ExceptionModeRefusesTheValue) {
    web.setErrorMode(http::emException);
    try {
        web.setUseProxy(true);
        FAIL() << "no exception";
    } catch (const http::EWebError& e) {
        EXPECT_STREQ(e.what(), "Cannot change Proxy property while retrieving, Code: 9");
    }
    EXPECT_FALSE(web.UseProxy());
    EXPECT_FALSE(web.Retrieving());
}

TEST_F(GuardedProperties, EveryGuardedSetterNamesItsProperty) {
    std::vector<std::string> texts;
    web.OnError = [&](TWeb* w, int) { texts.push_back(w->LastError()); };
    struct Setter {
        const char* name;
        std::function<void()> assign;
    };
    std::vector<Setter> setters = {
        {"BufferName", [&] { web.setBufferName(webtest::tempPath("guard-buffer.bin")); }},
        {"BufferSize", [&] { web.setBufferSize(2048); }},
        {"ProxyPort", [&] { web.setProxyPort(3128); }},
        {"RequestMode", [&] { web.setRequestMode(http::mdRequest); }},
        {"StreamMode", [&] { web.setStreamMode(http::smFile); }},
        {"TimeOut", [&] { web.setTimeOut(5); }},
        {"WebPort", [&] { web.setWebPort(81); }},
    };
    for (auto& s : setters) {
        web.Cancel();
        texts.clear();
        web.setURL(server.baseUrl() + "/a.htm");
        web.Retrieve();
        ASSERT_TRUE(web.Retrieving());
        s.assign();
        EXPECT_EQ(texts, std::vector<std::string>{std::string("Cannot change ") + s.name +
                                                  " property while retrieving"});
        EXPECT_FALSE(web.Retrieving());
    }
    // Plain properties are not guarded.
    web.Retrieve();
    texts.clear();
    web.setAccept("text/html");
    web.setUserAgent("x");
    EXPECT_TRUE(texts.empty());
    EXPECT_TRUE(web.Retrieving());
    web.Cancel();
}

// Any text may be assigned: the parse reports, never crashes, and leaves the
// component usable.
TEST(UrlParsing, RandomTextsNeverBreakTheComponent) {
    std::mt19937 gen(99);
    const char alphabet[] = "http:/ftpfile|.:?#@80a\\~";
    TWeb web;
    int reports = 0;
    web.OnError = [&](TWeb*, int) { ++reports; };
    for (int round = 0; round < 3000; ++round) {
        std::string text(gen() % 40, ' ');
        for (auto& c : text) c = alphabet[gen() % (sizeof alphabet - 1)];
        try {
            web.setURL(text);
        } catch (const http::EConvertError&) {
        }
        EXPECT_FALSE(web.Retrieving());
    }
    EXPECT_GT(reports, 0);
    web.setURL("http://host/a.htm");
    EXPECT_EQ(web.DocumentName(), "a.htm");
}
